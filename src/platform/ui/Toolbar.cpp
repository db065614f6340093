#include "platform/ui/Toolbar.h"

#include <algorithm>
#include <cmath>

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
    // share what is left.
    const double gap = 8;
    double fixed = gap;
    int flexible = 0;
    for (auto& item : items_) {
        if (item->systemItem() == SystemItem::FlexibleSpace) {
            ++flexible;
        } else {
            fixed += itemWidth(*item) + gap;
        }
    }
    double flex = flexible ? std::max(0.0, (bounds().width() - fixed) / flexible) : 0;
    double x = gap;
    std::size_t viewIndex = 0;
    for (auto& item : items_) {
        if (item->systemItem() == SystemItem::FlexibleSpace) {
            x += flex;
            continue;
        }
        const double w = itemWidth(*item);
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
