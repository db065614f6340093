#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

namespace plat {

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
    if (rect.minX() < o.x) o.x = rect.minX();
    else if (rect.maxX() > o.x + view.width) o.x = rect.maxX() - view.width;
    if (rect.minY() < o.y) o.y = rect.minY();
    else if (rect.maxY() > o.y + view.height) o.y = rect.maxY() - view.height;
    setContentOffset(o, animated);
}

bool ScrollView::userScroll(Point offset) {
    if (!scrollEnabled_ || !acceptsTouches()) return false;
    Size view = bounds().size;
    double maxX = std::max(-inset_.left, contentSize_.width + inset_.right - view.width);
    double maxY = std::max(-inset_.top, contentSize_.height + inset_.bottom - view.height);
    offset.x = std::clamp(offset.x, -inset_.left, maxX);
    offset.y = std::clamp(offset.y, -inset_.top, maxY);
    if (paging_) {
        if (view.width > 0) offset.x = std::round(offset.x / view.width) * view.width;
        if (view.height > 0) offset.y = std::round(offset.y / view.height) * view.height;
    }
    setContentOffset(offset, false);
    if (auto d = scrollDelegate()) d->scrollViewDidEndDecelerating(*this);
    return true;
}

}  // namespace plat
