#include "platform/ui/ViewController.h"

#include "platform/foundation/Log.h"
#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"

namespace plat {

ViewController::ViewController() : navigationItem_(std::make_shared<NavigationItem>()) {}

ViewController::ViewController(std::string interfaceName) : ViewController() {
    interfaceName_ = std::move(interfaceName);
}

ViewController::~ViewController() {
    if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
    for (auto& c : children_) c->parent_ = nullptr;
    if (presented_) presented_->presenting_ = nullptr;
}

std::shared_ptr<View> ViewController::makeScreenView() { return std::make_shared<View>(Screen::bounds()); }

void ViewController::loadView() {
    if (!interfaceName_.empty()) {
        if (auto v = Interface::load(interfaceName_, &outlets_)) {
            setView(v);
            return;
        }
    }
    setView(makeScreenView());
}

void ViewController::loadViewIfNeeded() {
    if (view_ || loading_) return;
    loading_ = true;
    loadView();
    if (!view_) setView(makeScreenView());
    loading_ = false;
    viewDidLoad();
}

std::shared_ptr<View> ViewController::view() {
    loadViewIfNeeded();
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
    if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
    view_ = std::move(view);
    if (view_) view_->setViewController(this);
}

void ViewController::setTitle(std::string title) {
    title_ = std::move(title);
    navigationItem_->setTitle(title_);
    tabBarItem_.title = title_;
}

ViewController* ViewController::rootOfTree() {
    ViewController* vc = this;
    while (true) {
        if (vc->parent_) {
            vc = vc->parent_;
        } else if (vc->presenting_) {
            vc = vc->presenting_;
        } else {
            return vc;
        }
    }
}

Window* ViewController::window() const {
    ViewController* root = const_cast<ViewController*>(this)->rootOfTree();
    for (Window* w : Window::allWindows()) {
        if (w->rootViewController().get() == root) return w;
    }
    return nullptr;
}

std::vector<ViewController*> ViewController::shownChildren() const {
    std::vector<ViewController*> out;
    for (const auto& c : children_) out.push_back(c.get());
    return out;
}

namespace {

ViewController* findPresentation(ViewController* vc) {
    if (vc->presentedViewController()) return vc->presentedViewController()->coveringScreen();
    for (ViewController* child : vc->shownChildren()) {
        if (ViewController* c = findPresentation(child)) return c;
    }
    return nullptr;
}

}  // namespace

ViewController* ViewController::coveringScreen() {
    ViewController* c = findPresentation(this);
    return c ? c : this;
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
    bool changes = appearing ? !isOnScreen()
                             : (appearState_ == AppearState::Appeared || appearState_ == AppearState::Appearing);
    if (!changes) return;
    auto keep = weak_from_this().lock();
    pendingAnimated_ = animated;
    if (appearing) {
        loadViewIfNeeded();
        appearState_ = AppearState::Appearing;
        viewWillAppear(animated);
    } else {
        appearState_ = AppearState::Disappearing;
        viewWillDisappear(animated);
    }
    for (ViewController* child : shownChildren()) child->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition() {
    auto keep = weak_from_this().lock();
    if (appearState_ == AppearState::Appearing) {
        appearState_ = AppearState::Appeared;
        viewDidAppear(pendingAnimated_);
    } else if (appearState_ == AppearState::Disappearing) {
        appearState_ = AppearState::Disappeared;
        viewDidDisappear(pendingAnimated_);
    } else {
        return;
    }
    for (ViewController* child : shownChildren()) child->endAppearanceTransition();
}

void ViewController::swapShown(ViewController* from, ViewController* to, bool animated,
                               const std::function<void()>& place) {
    if (from == to) {
        if (place) place();
        return;
    }
    if (to) to->loadViewIfNeeded();
    if (from) from->beginAppearanceTransition(false, animated);
    if (to) to->beginAppearanceTransition(true, animated);
    if (place) place();
    if (from) from->endAppearanceTransition();
    if (to) to->endAppearanceTransition();
}

bool ViewController::presentViewController(const std::shared_ptr<ViewController>& screen, bool animated,
                                           std::function<void()> completion) {
    if (!screen || screen.get() == this) return false;
    if (presented_) {
        Log::line("ViewController::presentViewController: already presenting a screen; not presented");
        return false;
    }
    if (screen->presenting_ || screen->parent_ || screen->window()) {
        Log::line("ViewController::presentViewController: the screen is already shown elsewhere; not presented");
        return false;
    }
    Window* w = window();
    bool shown = w && w->isShowing();
    if (shown && !isOnScreen()) {
        Log::line("ViewController::presentViewController: the presenting screen is not on screen; not presented");
        return false;
    }
    ViewController* oldCover = shown ? w->coveringScreen() : nullptr;
    presented_ = screen;
    screen->presenting_ = this;
    screen->presentedAnimated_ = animated;
    screen->dismissedAnimated_ = false;
    screen->loadViewIfNeeded();
    if (shown && presented_ == screen) swapShown(oldCover, screen.get(), animated, [w] { w->updateContent(); });
    if (completion) completion();
    return true;
}

std::vector<std::shared_ptr<ViewController>> ViewController::presentationChainAbove() {
    std::vector<std::shared_ptr<ViewController>> chain;
    for (auto p = presented_; p; p = p->presented_) chain.push_back(p);
    return chain;
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion) {
    if (!presented_) {
        if (presenting_) {
            presenting_->dismissViewController(animated, std::move(completion));
        } else {
            Log::line("ViewController::dismissViewController: nothing to dismiss");
        }
        return;
    }
    auto chain = presentationChainAbove();  // keeps them alive through the events
    Window* w = window();
    bool shown = w && w->isShowing();
    ViewController* oldCover = shown ? w->coveringScreen() : nullptr;
    for (auto& vc : chain) {
        vc->dismissedAnimated_ = animated;
        if (vc->presenting_) vc->presenting_->presented_.reset();
        vc->presenting_ = nullptr;
    }
    if (shown) swapShown(oldCover, w->coveringScreen(), animated, [w] { w->updateContent(); });
    if (completion) completion();
}

void ViewController::adoptChild(const std::shared_ptr<ViewController>& child) {
    if (child->parent_ && child->parent_ != this) child->parent_->dropChild(child.get());
    if (child->parent_ == this) return;
    child->parent_ = this;
    children_.push_back(child);
}

void ViewController::dropChild(ViewController* child) {
    for (auto it = children_.begin(); it != children_.end(); ++it) {
        if (it->get() == child) {
            auto keep = *it;
            children_.erase(it);
            child->parent_ = nullptr;
            return;
        }
    }
}

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child) {
    if (!child || child.get() == this || child->parent_ == this) return;
    if (child->presenting_) {
        Log::line("ViewController::addChildViewController: the screen is presented; not added");
        return;
    }
    if (child->parent_) child->removeFromParentViewController();
    child->willMoveToParentViewController(this);
    adoptChild(child);
    if (isOnScreen()) {
        child->beginAppearanceTransition(true, false);
        child->endAppearanceTransition();
    }
    child->didMoveToParentViewController(this);
}

void ViewController::removeFromParentViewController() {
    if (!parent_) return;
    auto keep = shared_from_this();
    willMoveToParentViewController(nullptr);
    if (isOnScreen()) {
        beginAppearanceTransition(false, false);
        endAppearanceTransition();
    }
    if (parent_) parent_->dropChild(this);
    didMoveToParentViewController(nullptr);
}

NavigationController* ViewController::navigationController() {
    for (ViewController* vc = parent_; vc; vc = vc->parent_) {
        if (auto* nav = dynamic_cast<NavigationController*>(vc)) return nav;
    }
    return nullptr;
}

TabBarController* ViewController::tabBarController() {
    for (ViewController* vc = parent_; vc; vc = vc->parent_) {
        if (auto* tab = dynamic_cast<TabBarController*>(vc)) return tab;
    }
    return nullptr;
}

void ViewController::describeInto(DescriptionWriter& out) {
    view()->describeInto(out);
}

std::string ViewController::describe() {
    DescriptionWriter out;
    describeInto(out);
    return out.text();
}

}  // namespace plat
