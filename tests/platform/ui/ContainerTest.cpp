#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ui/Application.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutCheck.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SocialComposer.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/ViewSearch.h"
#include "platform/ui/Window.h"

namespace {

using namespace plat;

class Counting : public ViewController {
public:
    explicit Counting(std::string name) { setTitle(std::move(name)); }
    int appeared = 0, disappeared = 0;
    void viewDidAppear(bool) override { ++appeared; }
    void viewDidDisappear(bool) override { ++disappeared; }
};

class ContainerTest : public qxtest::AppTest {
protected:
    std::shared_ptr<Counting> screen(const std::string& name) { return std::make_shared<Counting>(name); }
    Window window;
};

TEST_F(ContainerTest, PoppingToTheRootSkipsTheScreensInBetween) {
    auto root = screen("Root"), mid = screen("Mid"), top = screen("Top");
    auto nav = std::make_shared<NavigationController>(root);
    window.setRootViewController(nav);
    window.makeKeyAndVisible();
    nav->pushViewController(mid, true);
    nav->pushViewController(top, false);
    EXPECT_FALSE(nav->lastTransitionAnimated());
    EXPECT_EQ(mid->disappeared, 1);
    auto popped = nav->popToRootViewController(true);
    ASSERT_EQ(popped.size(), 2u);
    EXPECT_EQ(popped.back(), top);
    EXPECT_EQ(mid->disappeared, 1);  // it was not on screen
    EXPECT_EQ(top->disappeared, 1);
    EXPECT_EQ(root->appeared, 2);
    EXPECT_EQ(mid->parentViewController(), nullptr);
    EXPECT_EQ(mid->navigationController(), nullptr);
    nav->pushViewController(mid, false);
    nav->pushViewController(mid, false);  // already on the stack: refused
    EXPECT_EQ(nav->viewControllers().size(), 2u);
}

TEST_F(ContainerTest, TheBackButtonIsTitledAfterThePreviousScreenAndPops) {
    auto root = screen("History"), details = screen("Details");
    auto nav = std::make_shared<NavigationController>(root);
    window.setRootViewController(nav);
    window.makeKeyAndVisible();
    nav->pushViewController(details, true);
    auto& bar = nav->navigationBar();
    EXPECT_EQ(bar.backButtonTitle(), "History");
    root->navigationItem().setBackBarButtonItem(BarButtonItem::withTitle("Sets"));
    EXPECT_EQ(bar.backButtonTitle(), "Sets");
    details->navigationItem().setHidesBackButton(true);
    EXPECT_FALSE(bar.tapBack());
    details->navigationItem().setHidesBackButton(false);
    EXPECT_TRUE(bar.tapBack());
    EXPECT_EQ(nav->topViewController(), root);

    nav->setNavigationBarHidden(true, true);
    EXPECT_TRUE(bar.isHidden());
    EXPECT_EQ(root->view()->convertPoint({0, 0}, nullptr).y, 0);
    nav->setNavigationBarHidden(false);
    EXPECT_EQ(root->view()->convertPoint({0, 0}, nullptr).y, NavigationBar::kHeight);
}

class RefusingDelegate : public TabBarControllerDelegate {
public:
    std::vector<std::string> told;
    bool shouldSelectViewController(TabBarController&, ViewController& s) override { return s.title() != "Locked"; }
    void didSelectViewController(TabBarController&, ViewController& s) override { told.push_back(s.title()); }
};

TEST_F(ContainerTest, TabTapsAskTheDelegateButSelectingFromCodeDoesNot) {
    auto tabs = std::make_shared<TabBarController>();
    auto delegate = std::make_shared<RefusingDelegate>();
    tabs->setDelegate(delegate);
    EXPECT_EQ(tabs->selectedIndex(), -1);
    window.setRootViewController(tabs);
    window.makeKeyAndVisible();
    EXPECT_EQ(window.visibleViewController(), tabs.get());  // no tabs yet: the container itself

    auto a = screen("A"), locked = screen("Locked"), c = screen("C");
    tabs->setViewControllers({a, locked, c});
    EXPECT_EQ(tabs->selectedIndex(), 0);
    EXPECT_EQ(a->appeared, 1);
    EXPECT_FALSE(tabs->tapTab(1));
    EXPECT_FALSE(tabs->tapTab(7));
    EXPECT_TRUE(tabs->tabBar().tapItem(2));
    EXPECT_EQ(delegate->told, (std::vector<std::string>{"C"}));
    tabs->setSelectedIndex(1);
    EXPECT_EQ(delegate->told.size(), 1u);
    EXPECT_EQ(tabs->selectedViewController(), locked);

    // New tab lists keep the selected screen when it stays.
    tabs->setViewControllers({c, locked});
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_EQ(a->disappeared, 1);
}

// A screen laid out for the whole screen, as an interface file lays it out: its own navigation
// bar over the top of a list of rows that runs down under the tab bar.
class ListScreen : public ViewController {
public:
    static constexpr double kRow = 44;
    static constexpr int kRows = 30;

    void loadView() override {
        const Rect screen = Screen::bounds();
        auto root = std::make_shared<View>(screen);
        root->setBackgroundColor(Color::white());
        list = std::make_shared<ScrollView>(Rect{0, 20, screen.width(), screen.height() - 20});
        list->setContentSize(Size{screen.width(), kRows * kRow});
        for (int i = 0; i < kRows; ++i) {
            auto row = std::make_shared<Label>(Rect{15, i * kRow, 200, kRow}, "Row " + std::to_string(i + 1));
            list->addSubview(row);
            last = row;
        }
        root->addSubview(list);
        root->addSubview(std::make_shared<NavigationBar>(Rect{0, 0, screen.width(), NavigationBar::kHeight}));
        setView(root);
    }

    std::shared_ptr<ScrollView> list;
    std::shared_ptr<Label> last;
};

TEST_F(ContainerTest, AListEndsAboveTheBarsDrawnOverItsEdges) {
    auto tabs = std::make_shared<TabBarController>();
    auto screen = std::make_shared<ListScreen>();
    tabs->setViewControllers({screen});
    window.setRootViewController(tabs);
    window.makeKeyAndVisible();
    const Rect list = screen->list->convertRect(screen->list->bounds(), nullptr);
    const Rect bar = tabs->tabBar().convertRect(tabs->tabBar().bounds(), nullptr);
    const EdgeInsets inset = screen->list->adjustedContentInset();
    EXPECT_DOUBLE_EQ(inset.bottom, list.maxY() - bar.minY());
    EXPECT_DOUBLE_EQ(inset.top, NavigationBar::kHeight - 20);
    EXPECT_EQ(screen->list->contentInset(), EdgeInsets{});  // the screen's own inset is untouched

    // A row partly under the tab bar is one a finger brings out: no fault while the list goes on.
    auto problems = LayoutCheck::run(window);
    EXPECT_TRUE(problems.empty()) << LayoutCheck::report(problems);

    // Scrolled to its end, the last row stands whole above the tab bar; to its top, the first
    // row below the navigation bar.
    ASSERT_TRUE(screen->list->userScroll(Point{0, 1e9}));
    EXPECT_LE(screen->last->convertRect(screen->last->bounds(), nullptr).maxY(), bar.minY());
    problems = LayoutCheck::run(window);
    EXPECT_TRUE(problems.empty()) << LayoutCheck::report(problems);
    ASSERT_TRUE(screen->list->userScroll(Point{0, -1e9}));
    EXPECT_DOUBLE_EQ(screen->list->contentOffset().y, -inset.top);

    // Asked to show a row, the list brings it clear of the tab bar.
    screen->list->scrollRectToVisible(Rect{0, 10 * ListScreen::kRow, 10, ListScreen::kRow}, false);
    EXPECT_DOUBLE_EQ(screen->list->contentOffset().y, 11 * ListScreen::kRow - list.height() + inset.bottom);

    // A bar that is hidden covers nothing.
    tabs->tabBar().setHidden(true);
    EXPECT_DOUBLE_EQ(screen->list->adjustedContentInset().bottom, 0);
}

TEST_F(ContainerTest, ChildScreensAppearWithTheirParent) {
    auto parent = screen("Details"), page = screen("Page");
    window.setRootViewController(parent);
    window.makeKeyAndVisible();
    parent->addChildViewController(page);
    EXPECT_EQ(page->appeared, 1);
    EXPECT_EQ(page->parentViewController(), parent.get());
    EXPECT_EQ(page->window(), &window);
    auto modal = screen("Modal");
    parent->presentViewController(modal, false);
    EXPECT_EQ(page->disappeared, 1);
    modal->dismissViewController(false);
    EXPECT_EQ(page->appeared, 2);
    page->removeFromParentViewController();
    EXPECT_EQ(page->disappeared, 2);
    EXPECT_TRUE(parent->childViewControllers().empty());
}

TEST_F(ContainerTest, PresentationNeedsAShownPresenterAndDismissalSomethingToDismiss) {
    auto tabs = std::make_shared<TabBarController>();
    auto a = screen("A"), b = screen("B");
    tabs->setViewControllers({a, b});
    window.setRootViewController(tabs);
    window.makeKeyAndVisible();
    qxtest::LogCapture log;
    EXPECT_FALSE(b->presentViewController(screen("Sheet"), true));  // b's tab is not shown
    EXPECT_TRUE(log.contains("not on screen"));
    a->dismissViewController(true);
    EXPECT_TRUE(log.contains("nothing to dismiss"));

    // A screen made without a window can present: the relation is kept, nothing appears.
    auto loose = screen("Loose");
    auto sheet = screen("Sheet");
    EXPECT_TRUE(loose->presentViewController(sheet, false));
    EXPECT_EQ(sheet->appeared, 0);
    EXPECT_TRUE(sheet->isViewLoaded());
    EXPECT_FALSE(a->presentViewController(sheet, false));  // already presented by another
}

TEST_F(ContainerTest, ANewRootScreenReplacesTheOldOneOnScreen) {
    auto first = screen("First"), second = screen("Second");
    window.setRootViewController(first);
    EXPECT_EQ(first->appeared, 0);  // not shown before makeKeyAndVisible
    window.makeKeyAndVisible();
    EXPECT_TRUE(window.isKeyWindow());
    window.setRootViewController(second);
    EXPECT_EQ(first->disappeared, 1);
    EXPECT_EQ(second->appeared, 1);
    EXPECT_EQ(window.subviews().front(), second->view());
    EXPECT_EQ(Application::shared().keyWindow(), &window);
}

TEST(ApplicationTest, OpeningURLsFollowsTheSettingAndIsRecorded) {
    auto& app = Application::shared();
    app.reset();
    EXPECT_FALSE(app.openURL("no scheme"));
    EXPECT_TRUE(app.openURL("http://example.org/share?text=hi"));
    app.setCanOpenURL([](const std::string& url) { return url.rfind("mailto:", 0) == 0; });
    EXPECT_FALSE(app.openURL("http://example.org"));
    EXPECT_TRUE(app.canOpenURL("mailto:a@b.c"));
    EXPECT_EQ(app.openedURLs(), (std::vector<std::string>{"http://example.org/share?text=hi"}));
    LocalNotification n;
    n.alertBody = "Dose rate alarm";
    n.applicationIconBadgeNumber = 3;
    app.presentLocalNotificationNow(n);
    app.scheduleLocalNotification(n);
    app.cancelAllLocalNotifications();
    EXPECT_EQ(app.presentedLocalNotifications().size(), 1u);
    EXPECT_TRUE(app.scheduledLocalNotifications().empty());
    EXPECT_EQ(app.applicationIconBadgeNumber(), 3);
}

TEST_F(ContainerTest, ComposeSheetsRecordThePostAndRefuseChangesOnceShown) {
    SocialComposer::setAvailable(SocialService::Facebook, false);
    EXPECT_EQ(SocialComposer::make(SocialService::Facebook), nullptr);
    auto sheet = SocialComposer::make(SocialService::Twitter);
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->setInitialText("12.03.2024 0.12 uSv/h"));
    EXPECT_TRUE(sheet->addURL("http://example.org"));
    std::vector<ComposeResult> results;
    sheet->setCompletion([&](ComposeResult r) { results.push_back(r); });
    auto root = screen("Root");
    window.setRootViewController(root);
    window.makeKeyAndVisible();
    root->presentViewController(sheet, true);
    EXPECT_FALSE(sheet->setInitialText("changed"));
    EXPECT_TRUE(tapText(window, "Post"));
    EXPECT_FALSE(sheet->cancel());
    EXPECT_EQ(results, (std::vector<ComposeResult>{ComposeResult::Done}));
    ASSERT_EQ(SocialComposer::posts().size(), 1u);
    EXPECT_EQ(SocialComposer::posts()[0].text, "12.03.2024 0.12 uSv/h");
    EXPECT_EQ(SocialComposer::posts()[0].urls, (std::vector<std::string>{"http://example.org"}));
}

TEST_F(ContainerTest, AComposeSheetScrollsALongTextAndShowsItsPicturesAsPictures) {
    auto sheet = SocialComposer::make(SocialService::Facebook);
    ASSERT_NE(sheet, nullptr);
    std::string text = "Waypoints:";
    for (int i = 0; i < 20; ++i) text += "\nDec 7, 2026, 9:0" + std::to_string(i % 10) + ":00 AM 0.10 \u00B5Sv/h (47.3779, 8.5402)";
    sheet->setInitialText(text);
    sheet->addURL("https://example.org");
    auto logo = Image::named("logo.jpg");
    sheet->addImage(logo);
    auto root = screen("Root");
    window.setRootViewController(root);
    window.makeKeyAndVisible();
    root->presentViewController(sheet, false);
    auto& view = *sheet->view();
    view.updateForInspection();
    auto* picture = findFirst<ImageView>(view);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->image(), logo);
    EXPECT_TRUE(findAllByText(view, "[image logo.jpg]").empty());
    EXPECT_FALSE(findAllByText(view, "https://example.org").empty());
    // The text runs on below its box, where a finger brings its last line.
    auto* body = findFirst<TextView>(view);
    ASSERT_NE(body, nullptr);
    body->updateForInspection();
    const double end = body->contentSize().height - body->bounds().height();
    ASSERT_GT(end, 0);
    ASSERT_TRUE(body->userScroll(Point{0, 1e9}));
    EXPECT_DOUBLE_EQ(body->contentOffset().y, end);
    // Made narrower (a sheet turned or laid out anew), the text wraps into more lines at once.
    const double tall = body->contentSize().height;
    Rect narrower = body->frame();
    narrower.size.width /= 2;
    body->setFrame(narrower);
    EXPECT_GT(body->contentSize().height, tall);
}

}  // namespace
