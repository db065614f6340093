#include "platform/ui/Toolbar.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/graphics/Font.h"

namespace plat {

void Toolbar::setItems(std::vector<BarButtonItemPtr> items, bool animated) {
    std::erase(items, nullptr);
    items_ = std::move(items);
    lastAnimated_ = animated;
    removeAllSubviews();
    for (auto& item : items_) {
        if (item->isSpace()) continue;
        if (item->customView()) {
            addSubview(item->customView());
        } else {
            addSubview(std::make_shared<BarItemView>(item, Rect{}));
        }
    }
    setNeedsLayout();
    layoutIfNeeded();
}

void Toolbar::fitItemsToTitles() {
    for (auto& item : items_) {
        if (item->isSpace() || item->customView() || item->image() || item->title().empty()) continue;
        const Font font = item->style() == BarButtonStyle::Done ? Font::boldSystem(17) : Font::system(17);
        item->setWidth(std::max(kDefaultItemWidth, std::ceil(font.widthOf(item->title())) + 4));
    }
    setNeedsLayout();
    layoutIfNeeded();
}

double Toolbar::itemWidth(const BarButtonItem& item) {
    if (item.customView()) return item.customView()->frame().width();
    if (item.width() > 0) return item.width();
    if (item.isSpace() || item.image() || item.title().empty()) return kDefaultItemWidth;
    // A title wider than the usual button widens it, so that it stays on the button.
    return std::max(kDefaultItemWidth, std::ceil(BarItemView::titleFont(item).widthOf(item.title())) + 8);
}

void Toolbar::layoutSubviews() {
    // Items keep their widths (60 points, or their titles' width, unless set); flexible spaces
    // share what is left. Items wider than the usual button give up their extra width when
    // the bar is too narrow for all of them (their titles then shrink or end in an ellipsis),
    // so that none is pushed off the screen.
    const double gap = 8;
    double fixed = gap, extra = 0;
    int flexible = 0;
    std::vector<double> widths;
    for (auto& item : items_) {
        widths.push_back(item->systemItem() == SystemItem::FlexibleSpace ? 0 : itemWidth(*item));
        if (item->systemItem() == SystemItem::FlexibleSpace) {
            ++flexible;
        } else {
            fixed += widths.back() + gap;
            extra += std::max(0.0, widths.back() - kDefaultItemWidth);
        }
    }
    if (const double over = fixed - bounds().width(); over > 0 && extra > 0) {
        const double keep = std::max(0.0, 1 - over / extra);
        for (auto& w : widths) {
            if (w > kDefaultItemWidth) w = kDefaultItemWidth + (w - kDefaultItemWidth) * keep;
        }
    }
    double flex = flexible ? std::max(0.0, (bounds().width() - fixed) / flexible) : 0;
    double x = gap;
    std::size_t viewIndex = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto& item = items_[i];
        if (item->systemItem() == SystemItem::FlexibleSpace) {
            x += flex;
            continue;
        }
        const double w = widths[i];
        if (!item->isSpace() && viewIndex < subviews().size()) {
            auto& v = subviews()[viewIndex++];
            double h = item->customView() ? v->frame().height() : bounds().height() - 12;
            v->setFrame(Rect{x, (bounds().height() - h) / 2, w, h});
        }
        x += w + gap;
    }
}

void Toolbar::drawRect(DrawingContext& ctx, const Rect& rect) {
    if (backgroundColor()) return;
    ctx.setFillColor(barStyle_ == BarStyle::Default ? Color::rgba(0.97, 0.97, 0.97) : Color::rgba(0.1, 0.1, 0.1));
    ctx.fillRect(rect);
}

}  // namespace plat
