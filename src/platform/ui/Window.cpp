#include "platform/ui/Window.h"

#include <algorithm>

#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"

namespace plat {

namespace {

std::vector<Window*>& windows() {
    static std::vector<Window*> list;
    return list;
}

Window*& key() {
    static Window* w = nullptr;
    return w;
}

ViewController* visibleFrom(ViewController* vc) {
    if (!vc) return nullptr;
    if (auto* nav = dynamic_cast<NavigationController*>(vc)) {
        ViewController* next = nav->visibleViewController();
        return next && next != nav ? visibleFrom(next) : nav;
    }
    if (auto* tab = dynamic_cast<TabBarController*>(vc)) {
        ViewController* next = tab->selectedViewController().get();
        return next ? visibleFrom(next) : tab;
    }
    if (vc->presentedViewController()) return visibleFrom(vc->presentedViewController().get());
    // A page of a screen (a child) may have presented a screen of its own, which is then on top.
    for (ViewController* child : vc->shownChildren()) {
        if (ViewController* cover = child->coveringScreen(); cover != child) return visibleFrom(cover);
    }
    return vc;
}

}  // namespace

Window::Window() : Window(Screen::bounds()) {}

Window::Window(const Rect& frame) : View(frame) {
    // Whatever a screen leaves unpainted shows the page colour, never a see-through picture.
    setBackgroundColor(Color::white());
    windows().push_back(this);
}

Window::~Window() {
    std::erase(windows(), this);
    if (key() == this) key() = nullptr;
}

Window* Window::keyWindow() { return key(); }

const std::vector<Window*>& Window::allWindows() { return windows(); }

void Window::setRootViewController(std::shared_ptr<ViewController> root) {
    if (root == root_) return;
    ViewController* oldCover = showing_ && root_ ? root_->coveringScreen() : nullptr;
    auto old = root_;  // alive until its events ran
    root_ = std::move(root);
    ViewController* newCover = showing_ && root_ ? root_->coveringScreen() : nullptr;
    ViewController::swapShown(oldCover, newCover, false, [this] { updateContent(); });
}

void Window::makeKeyAndVisible() {
    key() = this;
    setHidden(false);
    if (showing_) return;
    showing_ = true;
    ViewController::swapShown(nullptr, coveringScreen(), false, [this] { updateContent(); });
}

ViewController* Window::coveringScreen() const { return root_ ? root_->coveringScreen() : nullptr; }

ViewController* Window::visibleViewController() const { return visibleFrom(root_.get()); }

void Window::updateContent() {
    std::shared_ptr<View> wanted;
    if (ViewController* cover = coveringScreen()) wanted = cover->view();
    auto current = content_.lock();
    if (current == wanted) return;
    if (current && current->superview() == this) current->removeFromSuperview();
    content_ = wanted;
    if (wanted) {
        wanted->setFrame(bounds());
        insertSubview(wanted, 0);
    }
}

View* Window::frontmostOverlay() const {
    auto content = content_.lock();
    for (auto it = subviews().rbegin(); it != subviews().rend(); ++it) {
        if (*it == content) break;
        if ((*it)->isEffectivelyVisible() && (*it)->isModalOverlay()) return it->get();
    }
    return nullptr;
}

}  // namespace plat
