#include "ShellTestFixture.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "shell/AppWindow.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/TabBarController.h"
#include "shell/VNBaseViewController.h"

using qx::Tab;
using qx::TabBarController;
using qx::VNBaseViewController;

namespace {

class TabBarTest : public ShellTest {};

TEST_F(TabBarTest, StartTabFollowsTheStartScreenPreference) {
    for (unsigned start : {0u, 1u, 2u, 3u}) {
        settings().setStartScreen(start);
        auto tabs = TabBarController::make();
        EXPECT_EQ(tabs->selectedIndex(), static_cast<long>(start));
    }
    settings().setStartScreen(9);
    EXPECT_EQ(TabBarController::make()->selectedIndex(), 0) << "an unknown start screen shows the dashboard";
}

TEST_F(TabBarTest, RegisteredMakersFillTheirTabsAndTheOthersShowTheirTitle) {
    auto history = std::make_shared<VNBaseViewController>();
    qx::TabScreens::registerFactory(Tab::history, [history] { return history; });
    auto tabs = TabBarController::make();
    ASSERT_EQ(tabs->viewControllers().size(), 5u);
    EXPECT_EQ(tabs->screenForTab(Tab::history), history);
    EXPECT_EQ(tabs->screenForTab(Tab::worldMap)->title(), "World Map");
    EXPECT_EQ(tabs->screenForTab(Tab::history)->navigationController(), tabs->viewControllers()[2].get());

    std::vector<std::string> titles;
    for (const auto& item : tabs->tabBar().items()) titles.push_back(item.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Dashboard", "Track", "History", "World Map", "Settings"}));

    useLanguage("de");
    titles.clear();
    for (const auto& item : tabs->tabBar().items()) titles.push_back(item.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Übersicht", "Track", "Verlauf", "Weltkarte", "Einstellungen"}));
    tabs->view();
    tabs->setSelectedIndex(static_cast<long>(Tab::settings));
    EXPECT_EQ(tabs->screenForTab(Tab::settings)->title(), "Einstellungen");
    useLanguage("en");
    EXPECT_EQ(tabs->screenForTab(Tab::settings)->title(), "Settings");
}

class VisibleScreenTest : public ShellTest {};

TEST_F(VisibleScreenTest, FollowsTabsStacksAndPresentedScreens) {
    auto dashboard = std::make_shared<VNBaseViewController>();
    qx::TabScreens::registerFactory(Tab::dashboard, [dashboard] { return dashboard; });
    EXPECT_EQ(qx::visibleViewController(), nullptr) << "nothing before launch";
    auto app = std::make_shared<qx::KestrelAppDelegate>();
    app->applicationDidFinishLaunching();
    drain();
    auto& tabs = *app->tabBarController();

    EXPECT_EQ(qx::visibleViewController(), dashboard.get());

    auto pushed = std::make_shared<VNBaseViewController>();
    dashboard->navigationController()->pushViewController(pushed, false);
    EXPECT_EQ(qx::visibleViewController(), pushed.get());

    auto modal = std::make_shared<VNBaseViewController>();
    ASSERT_TRUE(qx::visibleViewController()->presentViewController(modal, true));
    EXPECT_EQ(qx::visibleViewController(), modal.get());
    auto modalOnModal = std::make_shared<VNBaseViewController>();
    ASSERT_TRUE(qx::visibleViewController()->presentViewController(modalOnModal, true));
    EXPECT_EQ(qx::visibleViewController(), modalOnModal.get());

    qx::visibleViewController()->dismissViewController(true);
    EXPECT_EQ(qx::visibleViewController(), modal.get());
    modal->dismissViewController(true);
    EXPECT_EQ(qx::visibleViewController(), pushed.get());

    tabs.setSelectedIndex(static_cast<long>(Tab::track));
    EXPECT_EQ(qx::visibleViewController(), tabs.screenForTab(Tab::track).get());
}

class BaseScreenTest : public ShellTest {};

TEST_F(BaseScreenTest, BackButtonRunsTheInstalledBlockOnly) {
    auto screen = std::make_shared<VNBaseViewController>();
    screen->setTitle("Filter");
    ASSERT_TRUE(screen->navBar());
    EXPECT_EQ(screen->navItem().title(), "Filter");
    EXPECT_EQ(screen->navItem().leftBarButtonItem(), nullptr) << "no way back without a block";
    screen->onBack();  // nothing to run, nothing happens

    int closed = 0;
    screen->setOnBackBlock([&] { ++closed; });
    ASSERT_EQ(screen->navItem().leftBarButtonItem(), screen->backButton());
    EXPECT_EQ(screen->backButton()->title(), "Back");
    EXPECT_TRUE(screen->backButton()->press());
    EXPECT_EQ(closed, 1);
}

TEST_F(BaseScreenTest, BackBlockMayReleaseTheScreen) {
    auto presenter = std::make_shared<VNBaseViewController>();
    plat::Window window;
    window.setRootViewController(presenter);
    window.makeKeyAndVisible();
    std::weak_ptr<VNBaseViewController> weak;
    {
        auto shown = std::make_shared<VNBaseViewController>();
        weak = shown;
        shown->setOnBackBlock([presenter] { presenter->dismissViewController(true); });
        presenter->presentViewController(shown, true);
    }
    auto back = weak.lock()->backButton();
    EXPECT_TRUE(back->press());
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(back->press()) << "the button of a gone screen does nothing";
}

class TitledScreen : public VNBaseViewController {
public:
    int titled = 0;
    void initTitles() override {
        VNBaseViewController::initTitles();
        ++titled;
        setTitle(qx::Language::get("History"));
    }
};

TEST_F(BaseScreenTest, LanguageSwitchRetitlesLoadedScreensUntilTheyGo) {
    auto screen = std::make_shared<TitledScreen>();
    useLanguage("ru");
    EXPECT_EQ(screen->titled, 0) << "a screen observes once its view is loaded";
    screen->view();
    useLanguage("fr");
    EXPECT_EQ(screen->titled, 1);
    EXPECT_EQ(screen->backButton()->title(), "Retour");
    EXPECT_EQ(screen->navItem().title(), "Historique");

    const auto observers = plat::NotificationCenter::defaultCenter().observerCount(qx::kVNLanguageDidSwitchedNotification);
    screen.reset();
    EXPECT_EQ(plat::NotificationCenter::defaultCenter().observerCount(qx::kVNLanguageDidSwitchedNotification),
              observers - 1);
    useLanguage("en");
}

}  // namespace
