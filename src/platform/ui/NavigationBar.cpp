#include "platform/ui/UiText.h"
#include "platform/ui/NavigationBar.h"

#include <algorithm>

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>
#include "platform/ui/Screen.h"

namespace plat {

NavigationBar::NavigationBar() : NavigationBar(Rect{0, 0, Screen::bounds().width(), kHeight}) {}

NavigationBar::NavigationBar(const Rect& frame) : View(frame) {}

void NavigationBar::setItems(std::vector<NavigationItemPtr> items, bool animated) {
    std::erase(items, nullptr);
    items_ = std::move(items);
    lastAnimated_ = animated;
    setNeedsDisplay();
}

void NavigationBar::pushNavigationItem(NavigationItemPtr item, bool animated) {
    if (!item) return;
    items_.push_back(std::move(item));
    lastAnimated_ = animated;
    setNeedsDisplay();
}

NavigationItemPtr NavigationBar::popNavigationItem(bool animated) {
    if (items_.empty()) return nullptr;
    auto top = items_.back();
    items_.pop_back();
    lastAnimated_ = animated;
    setNeedsDisplay();
    return top;
}

std::string NavigationBar::backButtonTitle() const {
    auto top = topItem();
    auto back = backItem();
    if (!top || !back || top->hidesBackButton() || top->leftBarButtonItem()) return {};
    if (back->backBarButtonItem() && !back->backBarButtonItem()->title().empty()) return back->backBarButtonItem()->title();
    return back->title().empty() ? uiText("Back") : back->title();
}

bool NavigationBar::tapBack() {
    if (backButtonTitle().empty() || !acceptsTouches()) return false;
    if (backHandler_) {
        auto handler = backHandler_;
        handler();
    } else {
        popNavigationItem(true);
    }
    return true;
}

void NavigationBar::updateForInspection() {
    // Mirror the top item's buttons as subviews: left items, then right items.
    std::vector<BarButtonItemPtr> left, right;
    if (auto top = topItem()) {
        left = top->leftBarButtonItems();
        right = top->rightBarButtonItems();
    }
    std::vector<BarButtonItemPtr> wanted = left;
    wanted.insert(wanted.end(), right.begin(), right.end());
    if (wanted != shownItems_) {
        for (auto& v : std::vector<ViewPtr>(subviews())) {
            if (dynamic_cast<BarItemView*>(v.get())) v->removeFromSuperview();
        }
        for (auto& item : shownItems_) {
            if (item->customView() && item->customView()->superview() == this) item->customView()->removeFromSuperview();
        }
        shownItems_ = wanted;
        itemViews_.clear();
        for (auto& item : shownItems_) {
            ViewPtr view = item->customView();
            if (!view) view = std::make_shared<BarItemView>(item, Rect{});
            addSubview(view);
            itemViews_.push_back(view);
        }
    }
    placeItems(left.size());
}

double NavigationBar::itemWidth(const BarButtonItem& item, const View& view) const {
    if (item.customView()) return view.frame().width();
    if (item.width() > 0) return item.width();
    if (item.image() && item.displayText() == item.image()->name()) return std::max(32.0, item.image()->size().width + 12);
    // Room for the title, within a third of the bar: a longer title is shrunk to fit.
    const double text = BarItemView::titleFont(item).widthOf(item.displayText()) + 16;
    return std::clamp(std::ceil(text), 44.0, std::floor(bounds().width() / 3));
}

void NavigationBar::placeItems(std::size_t leftCount) {
    // Left items from the left edge inwards, right items from the right edge inwards.
    constexpr double kMargin = 6, kGap = 4;
    double x = kMargin + backButtonWidth();
    double rightX = bounds().width() - kMargin;
    for (std::size_t i = 0; i < itemViews_.size(); ++i) {
        const bool onLeft = i < leftCount;
        // Right items are laid from the outermost (the first) inwards.
        const std::size_t k = onLeft ? i : itemViews_.size() - 1 - (i - leftCount);
        auto& view = itemViews_[k];
        const double w = itemWidth(*shownItems_[k], *view);
        const double h = shownItems_[k]->customView() ? view->frame().height() : 32;
        const double y = (bounds().height() - h) / 2;
        if (k < leftCount) {
            view->setFrame(Rect{x, y, w, h});
            x += w + kGap;
        } else {
            rightX -= w;
            view->setFrame(Rect{rightX, y, w, h});
            rightX -= kGap;
        }
    }
    titleRoom_ = Rect{x + kGap, 0, std::max(0.0, rightX - x - kGap), bounds().height()};
}

double NavigationBar::backButtonWidth() const {
    const std::string back = backButtonTitle();
    if (back.empty()) return 0;
    return std::min(std::ceil(Font::system(17).widthOf("\u2039 " + back)) + 8, std::floor(bounds().width() / 3));
}

Rect NavigationBar::besideCoveringViews(Rect room) const {
    // A screen may lay buttons of its own over the bar (a share button at its right end): the
    // title keeps to the room beside them.
    constexpr double kGap = 4;
    if (!superview()) return room;
    const auto& siblings = superview()->subviews();
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](const auto& v) { return v.get() == this; });
    if (it == siblings.end()) return room;
    double left = room.minX(), right = room.maxX();
    for (++it; it != siblings.end(); ++it) {
        const View& v = **it;
        if (v.isHidden() || v.alpha() <= 0.01) continue;
        const Rect over = v.frame().offsetBy(-frame().x(), -frame().y());
        if (over.intersection(bounds()).isEmpty()) continue;
        if (over.midX() < bounds().midX()) {
            left = std::max(left, over.maxX() + kGap);
        } else {
            right = std::min(right, over.minX() - kGap);
        }
    }
    return Rect{left, room.y(), std::max(0.0, right - left), room.height()};
}

std::string NavigationBar::displayText() const {
    auto top = topItem();
    return top ? top->title() : std::string{};
}

std::string NavigationBar::describeLine() const {
    std::string s = "NavigationBar " + DescriptionWriter::quoted(displayText());
    std::string back = backButtonTitle();
    if (!back.empty()) s += " [< " + back + "]";
    return s;
}

void NavigationBar::drawRect(DrawingContext& ctx, const Rect& rect) {
    if (barImage_) {
        ctx.drawImage(barImage_, rect);
    } else if (!backgroundColor()) {
        ctx.setFillColor(barTintColor_.value_or(barStyle_ == BarStyle::Default ? Color::rgba(0.97, 0.97, 0.97)
                                                                              : Color::rgba(0.1, 0.1, 0.1)));
        ctx.fillRect(rect);
    }
    const Font f = Font::boldSystem(17);
    const std::string back = backButtonTitle();
    if (!back.empty()) {
        ctx.drawText("\u2039 " + back, Rect{6, (rect.height() - f.lineHeight()) / 2, backButtonWidth(), f.lineHeight()},
                     Font::system(17), tintColor_.value_or(Color::rgba(0, 122 / 255.0, 1)), TextAlignment::Left, 0.6);
    }
    std::string title = displayText();
    if (title.empty()) return;
    // Centred on the bar when the buttons leave room for that, else centred in the room
    // between them, shrunk a little and then cut with an ellipsis.
    const Rect room = besideCoveringViews(titleRoom_.isEmpty() ? rect : titleRoom_);
    Label label(Rect{}, title);
    label.setFont(f);
    label.setAdjustsFontSizeToFitWidth(true);
    label.setMinimumScaleFactor(0.8);
    label.setTextAlignment(TextAlignment::Center);
    double width = std::min(std::ceil(f.widthOf(title)), room.width());
    double x = std::clamp(rect.midX() - width / 2, room.minX(), room.maxX() - width);
    label.setTextColor(barStyle_ == BarStyle::Default ? Color::black() : Color::white());
    ctx.saveState();
    ctx.translate(x, 0);
    label.drawRect(ctx, Rect{0, 0, width, rect.height()});
    ctx.restoreState();
}

}  // namespace plat
