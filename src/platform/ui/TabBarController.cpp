#include "platform/ui/TabBarController.h"

#include <algorithm>

#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"

namespace plat {

TabBarController::TabBarController()
    : tabBar_(std::make_shared<TabBar>(Rect{0, Screen::bounds().height() - TabBar::kHeight,
                                            Screen::bounds().width(), TabBar::kHeight})) {
    tabBar_->setTapHandler([this](std::size_t i) { tapTab(i); });
    tabBar_->setItemsSource([this] {
        std::vector<TabBarItem> items;
        for (const auto& vc : childViewControllers()) {
            // A navigation stack without a tab item of its own shows its root screen's.
            auto* nav = dynamic_cast<NavigationController*>(vc.get());
            const TabBarItem& own = vc->tabBarItem();
            bool bare = own.title.empty() && !own.image;
            if (nav && bare && !nav->viewControllers().empty()) {
                items.push_back(nav->viewControllers().front()->tabBarItem());
            } else {
                items.push_back(own);
            }
        }
        return items;
    });
}

TabBarController::~TabBarController() {
    tabBar_->setTapHandler({});
    tabBar_->setItemsSource({});
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const {
    if (selected_ < 0 || static_cast<std::size_t>(selected_) >= childViewControllers().size()) return nullptr;
    return childViewControllers()[static_cast<std::size_t>(selected_)];
}

std::vector<ViewController*> TabBarController::shownChildren() const {
    auto sel = selectedViewController();
    if (!sel) return {};
    return {sel.get()};
}

void TabBarController::loadView() {
    auto root = makeScreenView();
    container_ = std::make_shared<View>(Rect{0, 0, root->bounds().width(), root->bounds().height() - TabBar::kHeight});
    // A container sized again (the tab bar's room taken off) sizes the shown screen with it.
    container_->setStretchesWithSuperview(true);
    root->addSubview(container_);
    tabBar_->setFrame(Rect{0, root->bounds().height() - TabBar::kHeight, root->bounds().width(), TabBar::kHeight});
    root->addSubview(tabBar_);
    setView(root);
    placeSelectedView();
}

void TabBarController::placeSelectedView() {
    if (!isViewLoaded()) return;
    container_->removeAllSubviews();
    if (auto sel = selectedViewController()) {
        auto v = sel->view();
        v->setFrame(container_->bounds());
        v->setStretchesWithSuperview(true);
        container_->addSubview(v);
    }
}

void TabBarController::syncBar() { tabBar_->setSelectedIndex(selected_); }

void TabBarController::select(ViewController* from, long index, bool animated) {
    selected_ = index;
    auto to = selectedViewController();
    auto place = [this] {
        syncBar();
        placeSelectedView();
    };
    if (isOnScreen()) {
        swapShown(from, to.get(), animated, place);
    } else {
        place();
    }
}

void TabBarController::setViewControllers(std::vector<std::shared_ptr<ViewController>> screens, bool animated) {
    std::erase(screens, nullptr);
    auto from = selectedViewController();
    for (auto& vc : std::vector<std::shared_ptr<ViewController>>(childViewControllers())) dropChild(vc.get());
    for (auto& vc : screens) adoptChild(vc);
    // Keep the selected screen when it stays, else the first.
    auto it = std::find(screens.begin(), screens.end(), from);
    long index = it != screens.end() ? it - screens.begin() : (screens.empty() ? -1 : 0);
    select(from.get(), index, animated);
}

void TabBarController::setSelectedIndex(long index) {
    if (index < 0 || static_cast<std::size_t>(index) >= childViewControllers().size()) return;
    select(selectedViewController().get(), index, false);
}

void TabBarController::setSelectedViewController(const ViewController* screen) {
    const auto& list = childViewControllers();
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& vc) { return vc.get() == screen; });
    if (it != list.end()) select(selectedViewController().get(), it - list.begin(), false);
}

bool TabBarController::tapTab(std::size_t index) {
    if (index >= childViewControllers().size()) return false;
    auto screen = childViewControllers()[index];
    auto delegate = delegate_.lock();
    if (delegate && !delegate->shouldSelectViewController(*this, *screen)) return false;
    select(selectedViewController().get(), static_cast<long>(index), false);
    if (delegate) delegate->didSelectViewController(*this, *screen);
    return true;
}

}  // namespace plat
