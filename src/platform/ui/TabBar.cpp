#include "platform/ui/TabBar.h"

#include <algorithm>
#include <vector>

#include "platform/ui/FittedText.h"

namespace plat {

namespace {

// The least room between two titles, and between a title and the screen's sides.
constexpr double kTitleGap = 3, kTitleMargin = 4;

}  // namespace

bool TabBar::tapItem(std::size_t index) {
    auto list = items();
    if (index >= list.size() || !acceptsTouches() || !list[index].enabled || !tapHandler_) return false;
    auto handler = tapHandler_;
    handler(index);
    return true;
}

std::string TabBar::describeLine() const {
    std::string s = "TabBar";
    auto list = items();
    for (std::size_t i = 0; i < list.size(); ++i) {
        s += " [" + list[i].title;
        if (!list[i].badgeValue.empty()) s += " (" + list[i].badgeValue + ")";
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
    auto list = items();
    if (list.empty()) return;
    const std::size_t n = list.size();
    double w = rect.width() / static_cast<double>(n);
    Font f = Font::system(10);
    // The room a short title leaves free on either side of it, which a long neighbour may use.
    std::vector<double> needed, spare;
    for (const auto& item : list) {
        needed.push_back(item.title.empty() ? 0 : f.widthOf(item.title) + 2);
        spare.push_back(std::max(0.0, (w - needed.back()) / 2 - kTitleGap));
    }
    for (std::size_t i = 0; i < n; ++i) {
        Rect cell{w * static_cast<double>(i), 0, w, rect.height()};
        bool selected = static_cast<long>(i) == selected_;
        auto image = selected && list[i].selectedImage ? list[i].selectedImage : list[i].image;
        if (image) ctx.drawImage(image, Rect{cell.midX() - 15, 4, 30, 30});
        Color c = selected ? Color::blue() : Color::gray();
        // Long titles (translations) take what their neighbours leave free, keep the screen's
        // margin at the ends of the bar, then shrink and end in an ellipsis, rather than run
        // into the next one.
        const double left = std::max(rect.x() + kTitleMargin, cell.x() - (i > 0 ? spare[i - 1] : 0));
        const double right = std::min(rect.maxX() - kTitleMargin, cell.maxX() + (i + 1 < n ? spare[i + 1] : 0));
        const double width = std::max(0.0, std::min(needed[i], right - left));
        const double x = std::max(left, std::min(cell.midX() - width / 2, right - width));
        FittedText::draw(ctx, list[i].title, Rect{x, rect.height() - 14, width, 12}, f, c, TextAlignment::Center, 0.6);
    }
}

}  // namespace plat
