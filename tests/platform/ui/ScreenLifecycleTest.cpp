#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"

namespace {

using plat::ViewController;

// Records every lifecycle call of every screen in one shared journal.
class Journal {
public:
    std::vector<std::string> lines;
    std::string take() {
        std::string s;
        for (auto& l : lines) s += l + "\n";
        lines.clear();
        return s;
    }
};

class Probe : public ViewController {
public:
    Probe(std::string name, Journal& j) : name_(std::move(name)), journal_(j) { setTitle(name_); }
    void viewDidLoad() override { journal_.lines.push_back(name_ + " load"); }
    void viewWillAppear(bool) override { journal_.lines.push_back(name_ + " willAppear"); }
    void viewDidAppear(bool) override { journal_.lines.push_back(name_ + " didAppear"); }
    void viewWillDisappear(bool) override { journal_.lines.push_back(name_ + " willDisappear"); }
    void viewDidDisappear(bool) override { journal_.lines.push_back(name_ + " didDisappear"); }

private:
    std::string name_;
    Journal& journal_;
};

class ScreenLifecycleTest : public qxtest::AppTest {
protected:
    std::shared_ptr<Probe> probe(const std::string& name) { return std::make_shared<Probe>(name, journal); }
    Journal journal;
    plat::Window window;
};

TEST_F(ScreenLifecycleTest, PresentAndDismissRunEventsInOrder) {
    auto a = probe("A");
    window.setRootViewController(a);
    window.makeKeyAndVisible();
    EXPECT_EQ(journal.take(), "A load\nA willAppear\nA didAppear\n");

    auto b = probe("B");
    bool done = false;
    EXPECT_TRUE(a->presentViewController(b, true, [&] { done = true; }));
    EXPECT_TRUE(done);
    EXPECT_EQ(journal.take(), "B load\nA willDisappear\nB willAppear\nA didDisappear\nB didAppear\n");
    EXPECT_EQ(b->presentingViewController(), a.get());
    EXPECT_EQ(window.visibleViewController(), b.get());
    EXPECT_TRUE(b->wasPresentedAnimated());
    EXPECT_TRUE(b->view()->isDescendantOf(&window));
    EXPECT_FALSE(a->view()->isDescendantOf(&window));

    b->dismissViewController(false);
    EXPECT_EQ(journal.take(), "B willDisappear\nA willAppear\nB didDisappear\nA didAppear\n");
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(b->presentingViewController(), nullptr);
    EXPECT_FALSE(b->wasDismissedAnimated());
    EXPECT_EQ(window.visibleViewController(), a.get());
}

TEST_F(ScreenLifecycleTest, PushPopAndTabSwitchReachOnlyTheShownScreen) {
    auto tabs = std::make_shared<plat::TabBarController>();
    auto r = probe("R");
    auto nav = std::make_shared<plat::NavigationController>(r);
    auto other = probe("O");
    tabs->setViewControllers({nav, other});
    window.setRootViewController(tabs);
    window.makeKeyAndVisible();
    EXPECT_EQ(journal.take(), "R load\nR willAppear\nR didAppear\n");

    auto d = probe("D");
    nav->pushViewController(d, true);
    EXPECT_EQ(journal.take(), "D load\nR willDisappear\nD willAppear\nR didDisappear\nD didAppear\n");
    EXPECT_EQ(d->navigationController(), nav.get());
    EXPECT_EQ(window.visibleViewController(), d.get());

    EXPECT_TRUE(tabs->tapTab(1));
    EXPECT_EQ(journal.take(), "O load\nD willDisappear\nO willAppear\nD didDisappear\nO didAppear\n");
    EXPECT_EQ(window.visibleViewController(), other.get());

    tabs->setSelectedIndex(0);
    journal.take();
    EXPECT_EQ(nav->popViewController(false), d);
    EXPECT_EQ(journal.take(), "D willDisappear\nR willAppear\nD didDisappear\nR didAppear\n");
    EXPECT_EQ(nav->popViewController(false), nullptr);  // the root stays
}

TEST_F(ScreenLifecycleTest, VisibleScreenFollowsTabsNavigationAndPresentedScreens) {
    auto tabs = std::make_shared<plat::TabBarController>();
    auto root = probe("Root");
    auto nav = std::make_shared<plat::NavigationController>(root);
    tabs->setViewControllers({probe("First"), nav});
    tabs->setSelectedIndex(1);
    window.setRootViewController(tabs);
    window.makeKeyAndVisible();
    EXPECT_EQ(window.visibleViewController(), root.get());

    auto pushed = probe("Pushed");
    nav->pushViewController(pushed, false);
    auto modal = probe("Modal");
    ASSERT_TRUE(window.visibleViewController()->presentViewController(modal, true));
    auto modal2 = probe("Modal2");
    ASSERT_TRUE(window.visibleViewController()->presentViewController(modal2, true));
    EXPECT_EQ(window.visibleViewController(), modal2.get());
    EXPECT_EQ(window.coveringScreen(), modal2.get());

    // Dismissing the lower one takes the whole chain above it away.
    modal->presentingViewController()->dismissViewController(true);
    EXPECT_EQ(window.visibleViewController(), pushed.get());
    EXPECT_EQ(pushed->appearState(), plat::AppearState::Appeared);
    EXPECT_EQ(modal2->appearState(), plat::AppearState::Disappeared);
}

TEST_F(ScreenLifecycleTest, RefusesASecondPresentationWithoutRunningItsCompletion) {
    auto a = probe("A");
    window.setRootViewController(a);
    window.makeKeyAndVisible();
    ASSERT_TRUE(a->presentViewController(probe("B"), false));
    bool ran = false;
    qxtest::LogCapture log;
    EXPECT_FALSE(a->presentViewController(probe("C"), false, [&] { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_TRUE(log.contains("already presenting"));
    EXPECT_EQ(a->presentedViewController()->title(), "B");
}

}  // namespace
