#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"

namespace plat {

namespace {

Rect onWindow(const View& v) { return Rect{v.convertPoint(v.bounds().origin, nullptr), v.bounds().size}; }

bool isBar(const View& v) {
    return dynamic_cast<const TabBar*>(&v) || dynamic_cast<const Toolbar*>(&v) || dynamic_cast<const NavigationBar*>(&v);
}

// Widens `inset` by the room a shown bar in `tree` takes at the top or bottom edge of `area`.
// A bar that covers the area whole, or only its middle, is not one the content scrolls past.
void addBarsOver(const View& tree, const Rect& area, EdgeInsets& inset) {
    if (tree.isHidden() || tree.alpha() <= 0.01) return;
    if (isBar(tree)) {
        const Rect bar = onWindow(tree);
        if (!bar.intersects(area)) return;
        if (bar.minY() > area.minY() && bar.maxY() >= area.maxY() - 0.5) {
            inset.bottom = std::max(inset.bottom, area.maxY() - bar.minY());
        } else if (bar.minY() <= area.minY() + 0.5 && bar.maxY() < area.maxY()) {
            inset.top = std::max(inset.top, bar.maxY() - area.minY());
        }
        return;
    }
    for (const auto& sub : tree.subviews()) addBarsOver(*sub, area, inset);
}

}  // namespace

EdgeInsets ScrollView::barInset() const {
    EdgeInsets inset;
    const Rect area = onWindow(*this);
    // Bars drawn above this view: those after its branch in each superview, up to the
    // screen that holds it (the window's other screens are not drawn over it but instead of it).
    for (const View* branch = this; branch->superview() && !dynamic_cast<const Window*>(branch->superview());
         branch = branch->superview()) {
        const auto& siblings = branch->superview()->subviews();
        auto it = std::find_if(siblings.begin(), siblings.end(), [&](const auto& s) { return s.get() == branch; });
        if (it == siblings.end()) continue;
        for (++it; it != siblings.end(); ++it) addBarsOver(**it, area, inset);
    }
    return inset;
}

EdgeInsets ScrollView::adjustedContentInset() const {
    const EdgeInsets bars = barInset();
    return {inset_.top + bars.top, inset_.left, inset_.bottom + bars.bottom, inset_.right};
}

void ScrollView::setContentOffset(Point offset, bool animated) {
    lastAnimated_ = animated;
    Rect b = bounds();
    if (b.origin == offset) return;
    b.origin = offset;
    // Moving the bounds' origin keeps the frame where it is.
    Rect f = frame();
    setBounds(b);
    setFrame(f);
    if (auto d = scrollDelegate()) d->scrollViewDidScroll(*this);
}

void ScrollView::scrollRectToVisible(const Rect& rect, bool animated) {
    Point o = contentOffset();
    Size view = bounds().size;
    const EdgeInsets in = adjustedContentInset();
    if (rect.minX() < o.x) o.x = rect.minX();
    else if (rect.maxX() > o.x + view.width) o.x = rect.maxX() - view.width;
    // Shown means clear of the bars drawn over the view's edges.
    if (rect.minY() < o.y + in.top) o.y = rect.minY() - in.top;
    else if (rect.maxY() > o.y + view.height - in.bottom) o.y = rect.maxY() - view.height + in.bottom;
    setContentOffset(o, animated);
}

bool ScrollView::userScroll(Point offset) {
    if (!scrollEnabled_ || !acceptsTouches()) return false;
    Size view = bounds().size;
    const EdgeInsets in = adjustedContentInset();
    double maxX = std::max(-in.left, contentSize_.width + in.right - view.width);
    double maxY = std::max(-in.top, contentSize_.height + in.bottom - view.height);
    offset.x = std::clamp(offset.x, -in.left, maxX);
    offset.y = std::clamp(offset.y, -in.top, maxY);
    if (paging_) {
        if (view.width > 0) offset.x = std::round(offset.x / view.width) * view.width;
        if (view.height > 0) offset.y = std::round(offset.y / view.height) * view.height;
    }
    setContentOffset(offset, false);
    if (auto d = scrollDelegate()) d->scrollViewDidEndDecelerating(*this);
    return true;
}

}  // namespace plat
