#pragma once

#include <memory>
#include <vector>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/ViewController.h"

namespace plat {

// A stack of screens under a navigation bar. The top screen is shown and gets the appearance
// events; pushing and popping take effect at once, the animation flag is kept.
class NavigationController : public ViewController {
public:
    NavigationController();
    explicit NavigationController(std::shared_ptr<ViewController> root);
    ~NavigationController() override;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return childViewControllers(); }
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> screens, bool animated = false);
    std::shared_ptr<ViewController> topViewController() const;
    // What this stack shows: the screen it presents, else its top screen.
    ViewController* visibleViewController() const;

    void pushViewController(const std::shared_ptr<ViewController>& screen, bool animated);
    // Pops the top screen; the root screen is never popped (nullptr then).
    std::shared_ptr<ViewController> popViewController(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewController(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToViewController(const ViewController* screen, bool animated);

    NavigationBar& navigationBar() { return *bar_; }
    const std::shared_ptr<NavigationBar>& navigationBarPtr() const { return bar_; }
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    bool lastTransitionAnimated() const { return lastAnimated_; }

    void loadView() override;
    std::vector<ViewController*> shownChildren() const override;
    std::string kindName() const override { return "NavigationController"; }

private:
    // Swaps the shown screen from `from` to the new top, with the appearance events.
    void transition(ViewController* from, bool animated);
    void placeTopView();
    void syncBar(bool animated);

    std::shared_ptr<NavigationBar> bar_;
    std::shared_ptr<View> container_;
    bool barHidden_ = false;
    bool lastAnimated_ = false;
};

}  // namespace plat
