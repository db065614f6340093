#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/ViewController.h"

namespace qx {

// The base of the application's screens: a navigation bar of its own at the top (the screens
// sit in navigation stacks whose bar is hidden, or are presented on their own), a localised
// back button that runs the block its presenter installed, and texts that are read again on
// every language switch.
class VNBaseViewController : public plat::ViewController {
public:
    using BackBlock = std::function<void()>;
    static constexpr double kNavBarHeight = plat::NavigationBar::kHeight;

    VNBaseViewController();
    // A screen built from the interface file of that name; an outlet "navBar" there is used as
    // the screen's bar.
    explicit VNBaseViewController(std::string interfaceName);
    ~VNBaseViewController() override;

    // The screen's own bar and its one item (the screen's navigation item, so the title follows
    // setTitle). Asking for the bar loads the view.
    std::shared_ptr<plat::NavigationBar> navBar();
    plat::NavigationItem& navItem() { return navigationItem(); }
    const plat::BarButtonItemPtr& backButton() const { return backButton_; }

    // Installed by the presenter to close the screen. The back button is on the bar while a
    // block is set.
    const BackBlock& onBackBlock() const { return onBackBlock_; }
    void setOnBackBlock(BackBlock block);
    // The back button's action: runs the block when one is set.
    void onBack();

    // Reads the screen's texts again (the base: the back button's title).
    virtual void initTitles();
    // Runs on every language switch once the view is loaded.
    virtual void languageDidSwitch();

    void viewDidLoad() override;

protected:
    // The area below the bar, in the view's coordinates.
    plat::Rect contentFrame();

private:
    void placeBackButton();

    std::shared_ptr<plat::NavigationBar> navBar_;
    plat::BarButtonItemPtr backButton_;
    BackBlock onBackBlock_;
    plat::ObserverToken languageObserver_;
};

}  // namespace qx
