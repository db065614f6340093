#include "platform/ui/TabBar.h"

namespace plat {

bool TabBar::tapItem(std::size_t index) {
    if (index >= items_.size() || !acceptsTouches() || !items_[index].enabled || !tapHandler_) return false;
    auto handler = tapHandler_;
    handler(index);
    return true;
}

std::string TabBar::describeLine() const {
    std::string s = "TabBar";
    for (std::size_t i = 0; i < items_.size(); ++i) {
        s += " [" + items_[i].title;
        if (!items_[i].badgeValue.empty()) s += " (" + items_[i].badgeValue + ")";
        if (static_cast<long>(i) == selected_) s += " *";
        s += "]";
    }
    return s;
}

void TabBar::drawRect(DrawingContext& ctx, const Rect& rect) {
    if (!backgroundColor()) {
        ctx.setFillColor(Color::rgba(0.97, 0.97, 0.97));
        ctx.fillRect(rect);
    }
    if (items_.empty()) return;
    double w = rect.width() / static_cast<double>(items_.size());
    Font f = Font::system(10);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        Rect cell{w * static_cast<double>(i), 0, w, rect.height()};
        if (items_[i].image) ctx.drawImage(items_[i].image, Rect{cell.midX() - 15, 4, 30, 30});
        Color c = static_cast<long>(i) == selected_ ? Color::blue() : Color::gray();
        ctx.drawText(items_[i].title, Rect{cell.x(), rect.height() - 14, w, 12}, f, c, TextAlignment::Center);
    }
}

}  // namespace plat
