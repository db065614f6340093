#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Interface.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/View.h"

namespace plat {

class NavigationController;
class TabBarController;
class Window;

enum class TransitionStyle { CoverVertical, FlipHorizontal, CrossDissolve, PartialCurl };
enum class PresentationStyle { FullScreen, PageSheet, FormSheet, CurrentContext };
enum class AppearState { Disappeared, Appearing, Appeared, Disappearing };

// A screen: its view (made on first use), its lifecycle, title and bar items, the screens it
// presents and its child screens.
//
// Lifecycle: viewDidLoad runs once, when the view is first asked for. Appearing and
// disappearing run when the screen comes on or leaves the window: on a presentation or
// dismissal, a push or pop, a tab switch or a new root screen, in the order
// old.viewWillDisappear, new.viewWillAppear, old.viewDidDisappear, new.viewDidAppear.
// Containers pass the events on to the child that is shown. Animations are not played: they
// take effect at once and only their flags are kept.
//
// Ownership: a screen owns the screen it presents and its children; the presenting screen and
// the parent are plain pointers, cleared when the relation ends or either side goes away.
class ViewController : public std::enable_shared_from_this<ViewController> {
public:
    ViewController();
    // A screen whose view is built from the interface file of that name.
    explicit ViewController(std::string interfaceName);
    virtual ~ViewController();
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // The view, loaded on first use (loadView, then viewDidLoad).
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    // Replaces the view without running viewDidLoad (used by loadView overrides).
    void setView(std::shared_ptr<View> view);
    const std::string& interfaceName() const { return interfaceName_; }
    // The outlets of the interface file the view was built from.
    const Outlets& outlets() const { return outlets_; }
    template <class T>
    std::shared_ptr<T> outlet(const std::string& name) const {
        return outlets_.get<T>(name);
    }
    // The outlet once the view is loaded: what a screen's accessors hand out before it is shown.
    template <class T>
    std::shared_ptr<T> loadedOutlet(const std::string& name) {
        view();
        return outlets_.get<T>(name);
    }

    // Title; setting it also titles the navigation item and the tab bar item.
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    NavigationItem& navigationItem() { return *navigationItem_; }
    const NavigationItemPtr& navigationItemPtr() const { return navigationItem_; }
    TabBarItem& tabBarItem() { return tabBarItem_; }
    const TabBarItem& tabBarItem() const { return tabBarItem_; }
    bool hidesBottomBarWhenPushed() const { return hidesBottomBar_; }
    void setHidesBottomBarWhenPushed(bool hides) { hidesBottomBar_ = hides; }

    // Modal presentation. Presenting is refused (with a log line, completion not run) when this
    // screen already presents one or the screen is already presented or contained elsewhere.
    bool presentViewController(const std::shared_ptr<ViewController>& screen, bool animated,
                               std::function<void()> completion = {});
    // Dismisses the screen this one presents (with everything it presents in turn), or, when
    // it presents nothing, this screen from its presenter.
    void dismissViewController(bool animated, std::function<void()> completion = {});
    const std::shared_ptr<ViewController>& presentedViewController() const { return presented_; }
    ViewController* presentingViewController() const { return presenting_; }
    TransitionStyle modalTransitionStyle() const { return transitionStyle_; }
    void setModalTransitionStyle(TransitionStyle style) { transitionStyle_ = style; }
    PresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(PresentationStyle style) { presentationStyle_ = style; }
    // Animation flags of the last presentation and dismissal of this screen.
    bool wasPresentedAnimated() const { return presentedAnimated_; }
    bool wasDismissedAnimated() const { return dismissedAnimated_; }

    // Child screens. Adding runs willMoveToParent, the child's appearance when this screen is
    // shown, then didMoveToParent; removing mirrors it. The child's view is the caller's to
    // place.
    ViewController* parentViewController() const { return parent_; }
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return children_; }
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(ViewController* parent) { (void)parent; }
    virtual void didMoveToParentViewController(ViewController* parent) { (void)parent; }
    // The nearest enclosing navigation or tab bar controller among the parents (a presented
    // screen is in none).
    NavigationController* navigationController();
    TabBarController* tabBarController();

    // Lifecycle hooks.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewDidAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual void viewDidDisappear(bool animated) { (void)animated; }

    AppearState appearState() const { return appearState_; }
    bool isOnScreen() const { return appearState_ == AppearState::Appeared || appearState_ == AppearState::Appearing; }
    // Runs the will- or did- half of an appearance change on this screen and the children it
    // shows; containers and the window call these.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    // The children that are on screen while this screen is: all children by default; a
    // navigation controller's top screen, a tab bar controller's selected one.
    virtual std::vector<ViewController*> shownChildren() const;
    // Replaces the shown screen `from` by `to` (either may be null; nothing when equal):
    // loads `to`, runs the will- halves, `place` (which puts the views in place), then the
    // did- halves.
    static void swapShown(ViewController* from, ViewController* to, bool animated, const std::function<void()>& place);

    // The window this screen's tree belongs to (through parents and presenters), if any.
    Window* window() const;
    // The top-most screen covering the window from this one: what it presents, or what a
    // shown child presents, recursively.
    ViewController* coveringScreen();

    // Inspection.
    virtual std::string kindName() const { return "Screen"; }
    std::string describe();
    virtual void describeInto(class DescriptionWriter& out);

    template <class T>
    std::shared_ptr<T> sharedAs() {
        return std::dynamic_pointer_cast<T>(shared_from_this());
    }

protected:
    // For containers: adopt or drop a child without the appearance events of
    // addChildViewController (the container runs them itself).
    void adoptChild(const std::shared_ptr<ViewController>& child);
    void dropChild(ViewController* child);
    // A view the size of the screen (the default loadView's).
    static std::shared_ptr<View> makeScreenView();
    void setPresentedAnimated(bool animated) { presentedAnimated_ = animated; }

private:
    friend class Window;
    void loadViewIfNeeded();
    ViewController* rootOfTree();
    std::vector<std::shared_ptr<ViewController>> presentationChainAbove();

    std::string interfaceName_;
    std::shared_ptr<View> view_;
    Outlets outlets_;
    std::string title_;
    NavigationItemPtr navigationItem_;
    TabBarItem tabBarItem_;
    bool hidesBottomBar_ = false;
    std::shared_ptr<ViewController> presented_;
    ViewController* presenting_ = nullptr;
    TransitionStyle transitionStyle_ = TransitionStyle::CoverVertical;
    PresentationStyle presentationStyle_ = PresentationStyle::FullScreen;
    bool presentedAnimated_ = false;
    bool dismissedAnimated_ = false;
    ViewController* parent_ = nullptr;
    std::vector<std::shared_ptr<ViewController>> children_;
    AppearState appearState_ = AppearState::Disappeared;
    bool pendingAppearing_ = false;
    bool pendingAnimated_ = false;
    bool loading_ = false;
};

using ViewControllerPtr = std::shared_ptr<ViewController>;

}  // namespace plat
