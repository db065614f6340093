#include "platform/ui/NavigationController.h"

#include "platform/foundation/Log.h"
#include <algorithm>

namespace plat {

NavigationController::NavigationController() : bar_(std::make_shared<NavigationBar>()) {
    bar_->setBackHandler([this] { popViewController(true); });
}

NavigationController::NavigationController(std::shared_ptr<ViewController> root) : NavigationController() {
    if (root) setViewControllers({std::move(root)}, false);
}

NavigationController::~NavigationController() { bar_->setBackHandler({}); }

std::shared_ptr<ViewController> NavigationController::topViewController() const {
    return childViewControllers().empty() ? nullptr : childViewControllers().back();
}

ViewController* NavigationController::visibleViewController() const {
    if (presentedViewController()) return presentedViewController().get();
    return topViewController().get();
}

std::vector<ViewController*> NavigationController::shownChildren() const {
    auto top = topViewController();
    if (!top) return {};
    return {top.get()};
}

void NavigationController::loadView() {
    auto root = makeScreenView();
    container_ = std::make_shared<View>(root->bounds());
    // A container sized again (the tab bar's room taken off) sizes the shown screen with it.
    container_->setStretchesWithSuperview(true);
    root->addSubview(container_);
    bar_->setFrame(Rect{0, 0, root->bounds().width(), NavigationBar::kHeight});
    root->addSubview(bar_);
    setView(root);
    placeTopView();
}

void NavigationController::placeTopView() {
    if (!isViewLoaded()) return;
    auto root = view();
    double top = barHidden_ ? 0 : NavigationBar::kHeight;
    bar_->setHidden(barHidden_);
    container_->setFrame(Rect{0, top, root->bounds().width(), root->bounds().height() - top});
    container_->removeAllSubviews();
    if (auto screen = topViewController()) {
        auto v = screen->view();
        v->setFrame(container_->bounds());
        v->setStretchesWithSuperview(true);
        container_->addSubview(v);
    }
}

void NavigationController::syncBar(bool animated) {
    std::vector<NavigationItemPtr> items;
    for (const auto& vc : childViewControllers()) items.push_back(vc->navigationItemPtr());
    bar_->setItems(std::move(items), animated);
}

void NavigationController::transition(ViewController* from, bool animated) {
    lastAnimated_ = animated;
    syncBar(animated);
    ViewController* to = topViewController().get();
    if (isOnScreen()) {
        swapShown(from, to, animated, [this] { placeTopView(); });
    } else {
        placeTopView();
    }
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& screen, bool animated) {
    if (!screen) return;
    if (screen->parentViewController() == this || screen->presentingViewController() || screen.get() == this) {
        Log::line("NavigationController::pushViewController: the screen is already shown; not pushed");
        return;
    }
    auto from = topViewController();
    screen->willMoveToParentViewController(this);
    adoptChild(screen);
    transition(from.get(), animated);
    screen->didMoveToParentViewController(this);
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated) {
    const auto& stack = childViewControllers();
    if (stack.size() < 2) return nullptr;
    auto popped = popToViewController(stack[stack.size() - 2].get(), animated);
    return popped.empty() ? nullptr : popped.back();
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewController(const ViewController* screen,
                                                                                       bool animated) {
    std::vector<std::shared_ptr<ViewController>> popped;
    const auto& stack = childViewControllers();
    auto it = std::find_if(stack.begin(), stack.end(), [&](const auto& vc) { return vc.get() == screen; });
    if (it == stack.end()) return popped;
    popped.assign(it + 1, stack.end());
    if (popped.empty()) return popped;
    for (auto& vc : popped) {
        vc->willMoveToParentViewController(nullptr);
        dropChild(vc.get());
    }
    // The leaving screen disappears after it left the stack: shownChildren no longer names it.
    transition(popped.back().get(), animated);
    for (auto& vc : popped) vc->didMoveToParentViewController(nullptr);
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewController(bool animated) {
    if (childViewControllers().empty()) return {};
    return popToViewController(childViewControllers().front().get(), animated);
}

void NavigationController::setViewControllers(std::vector<std::shared_ptr<ViewController>> screens, bool animated) {
    std::erase(screens, nullptr);
    auto from = topViewController();
    for (auto& vc : std::vector<std::shared_ptr<ViewController>>(childViewControllers())) dropChild(vc.get());
    for (auto& vc : screens) adoptChild(vc);
    transition(from.get(), animated);
}

void NavigationController::setNavigationBarHidden(bool hidden, bool animated) {
    barHidden_ = hidden;
    lastAnimated_ = animated;
    placeTopView();
}

}  // namespace plat
