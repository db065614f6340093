#include "platform/ui/TabBar.h"

#include <algorithm>

#include "platform/ui/FittedText.h"

namespace plat {

namespace {

// How far a title may reach into its neighbours' cells, and how far the titles keep from the
// screen's sides.
constexpr double kTitleOverlap = 4, kTitleMargin = 4;

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
    double w = rect.width() / static_cast<double>(list.size());
    Font f = Font::system(10);
    for (std::size_t i = 0; i < list.size(); ++i) {
        Rect cell{w * static_cast<double>(i), 0, w, rect.height()};
        bool selected = static_cast<long>(i) == selected_;
        auto image = selected && list[i].selectedImage ? list[i].selectedImage : list[i].image;
        if (image) ctx.drawImage(image, Rect{cell.midX() - 15, 4, 30, 30});
        Color c = selected ? Color::blue() : Color::gray();
        // Long titles (translations) shrink, then end in an ellipsis, rather than run into the
        // next one. Centred, a title may take a little of its neighbours' room, but it keeps
        // the screen's margin at the ends of the bar.
        const double titleWidth = std::min(f.widthOf(list[i].title) + 2, w + 2 * kTitleOverlap);
        const double titleX = std::clamp(cell.midX() - titleWidth / 2, rect.x() + kTitleMargin,
                                         std::max(rect.x() + kTitleMargin, rect.maxX() - kTitleMargin - titleWidth));
        FittedText::draw(ctx, list[i].title, Rect{titleX, rect.height() - 14, std::min(titleWidth, rect.width() - 2 * kTitleMargin), 12},
                         f, c, TextAlignment::Center, 0.6);
    }
}

}  // namespace plat
