#include "platform/ui/UiText.h"
#include "platform/ui/NavigationBar.h"

#include <algorithm>

#include "platform/ui/DescriptionWriter.h"
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
    std::vector<BarButtonItemPtr> wanted;
    if (auto top = topItem()) {
        wanted = top->leftBarButtonItems();
        wanted.insert(wanted.end(), top->rightBarButtonItems().begin(), top->rightBarButtonItems().end());
    }
    if (wanted == shownItems_) return;
    for (auto& v : std::vector<ViewPtr>(subviews())) {
        if (dynamic_cast<BarItemView*>(v.get())) v->removeFromSuperview();
    }
    shownItems_ = wanted;
    double x = 8;
    for (auto& item : shownItems_) {
        double w = item->width() > 0 ? item->width() : 60;
        if (item->customView()) {
            addSubview(item->customView());
        } else {
            addSubview(std::make_shared<BarItemView>(item, Rect{x, 6, w, 32}));
        }
        x += w + 8;
    }
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
    std::string title = displayText();
    if (!title.empty()) {
        Font f = Font::boldSystem(17);
        // The title is centred between the bar's buttons, keeping clear of both by the same
        // distance, and shrinks when the room left is too narrow.
        const Rect b = bounds();
        double left = b.minX(), right = b.maxX();
        for (const auto& v : subviews()) {
            if (v->isHidden()) continue;
            const Rect vf = v->frame();
            if (vf.midX() < b.midX()) {
                left = std::max(left, vf.maxX());
            } else {
                right = std::min(right, vf.minX());
            }
        }
        const double margin = left > b.minX() || right < b.maxX() ? 6 : 0;
        const double half = std::max(0.0, std::min(b.midX() - left, right - b.midX()) - margin);
        ctx.drawText(title, Rect{b.midX() - half, (rect.height() - f.lineHeight()) / 2, 2 * half, f.lineHeight()}, f,
                     barStyle_ == BarStyle::Default ? Color::black() : Color::white(), TextAlignment::Center, 0.5);
    }
}

}  // namespace plat
