#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace plat {

class ScrollView;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(ScrollView&) {}
    // After a scroll by the person came to rest (paging screens read their page here).
    virtual void scrollViewDidEndDecelerating(ScrollView&) {}
};

// A view whose content is larger than its bounds; the content offset is the bounds' origin.
// Content scrolled out of the bounds is not drawn: a scroll view clips to them.
class ScrollView : public View {
public:
    ScrollView() { setClipsToBounds(true); }
    explicit ScrollView(const Rect& frame) : View(frame) { setClipsToBounds(true); }

    Size contentSize() const { return contentSize_; }
    void setContentSize(Size s) { contentSize_ = s; }
    Point contentOffset() const { return bounds().origin; }
    // Moves the visible part; tells the delegate it scrolled.
    void setContentOffset(Point offset, bool animated = false);
    // The room the screen sets around the content.
    const EdgeInsets& contentInset() const { return inset_; }
    void setContentInset(const EdgeInsets& in) { inset_ = in; }
    // The content inset with the room taken by bars (tab bar, toolbar, navigation bar) drawn
    // over the view's top or bottom edge: scrolled to its end, the content's last row stands
    // above a tab bar rather than under it. Worked out from the views on screen when asked.
    EdgeInsets adjustedContentInset() const;
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool on) { scrollEnabled_ = on; }
    bool isPagingEnabled() const { return paging_; }
    void setPagingEnabled(bool on) { paging_ = on; }
    bool showsVerticalScrollIndicator() const { return showsV_; }
    void setShowsVerticalScrollIndicator(bool on) { showsV_ = on; }
    bool showsHorizontalScrollIndicator() const { return showsH_; }
    void setShowsHorizontalScrollIndicator(bool on) { showsH_ = on; }
    bool bounces() const { return bounces_; }
    void setBounces(bool on) { bounces_ = on; }
    // Scrolls just enough to show the rectangle (content coordinates).
    void scrollRectToVisible(const Rect& rect, bool animated);
    bool lastScrollAnimated() const { return lastAnimated_; }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> d) { scrollDelegate_ = std::move(d); }
    std::shared_ptr<ScrollViewDelegate> scrollDelegate() const { return scrollDelegate_.lock(); }

    // A scroll by the person: the offset is kept within the content (and on a page boundary
    // when paging), the delegate hears it scrolled and came to rest. False when scrolling is off.
    bool userScroll(Point offset);

    std::string kindName() const override { return "ScrollView"; }

private:
    // The room bars drawn above this view take at its top and bottom edges.
    EdgeInsets barInset() const;

    Size contentSize_;
    EdgeInsets inset_;
    bool scrollEnabled_ = true, paging_ = false, showsV_ = true, showsH_ = true, bounces_ = true;
    bool lastAnimated_ = false;
    std::weak_ptr<ScrollViewDelegate> scrollDelegate_;
};

}  // namespace plat
