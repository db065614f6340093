#pragma once

#include <memory>
#include <vector>

#include "platform/ui/TabBar.h"
#include "platform/ui/ViewController.h"

namespace plat {

class TabBarController;

class TabBarControllerDelegate {
public:
    virtual ~TabBarControllerDelegate() = default;
    // Asked before a tab that the person tapped is selected.
    virtual bool shouldSelectViewController(TabBarController& tabs, ViewController& screen) {
        (void)tabs;
        (void)screen;
        return true;
    }
    // Told after a tab that the person tapped was selected (also when it was already).
    virtual void didSelectViewController(TabBarController& tabs, ViewController& screen) {
        (void)tabs;
        (void)screen;
    }
};

// Screens side by side under a tab bar; the selected one is shown and gets the appearance
// events. Selecting from code does not ask the delegate; a tap on a tab does.
class TabBarController : public ViewController {
public:
    TabBarController();
    ~TabBarController() override;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return childViewControllers(); }
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> screens, bool animated = false);
    std::shared_ptr<ViewController> selectedViewController() const;
    void setSelectedViewController(const ViewController* screen);
    // -1 when there are no screens.
    long selectedIndex() const { return selected_; }
    // An index outside the screens changes nothing.
    void setSelectedIndex(long index);
    // The person taps a tab: the delegate is asked, then the tab is selected and the delegate
    // told. False when the tab does not exist or the delegate refused.
    bool tapTab(std::size_t index);

    void setDelegate(std::weak_ptr<TabBarControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    TabBar& tabBar() { return *tabBar_; }

    void loadView() override;
    std::vector<ViewController*> shownChildren() const override;
    std::string kindName() const override { return "TabBarController"; }

private:
    void select(ViewController* from, long index, bool animated);
    void placeSelectedView();
    void syncBar();

    std::shared_ptr<TabBar> tabBar_;
    std::shared_ptr<View> container_;
    long selected_ = -1;
    std::weak_ptr<TabBarControllerDelegate> delegate_;
};

}  // namespace plat
