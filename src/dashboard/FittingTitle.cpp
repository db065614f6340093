#include "dashboard/FittingTitle.h"

#include <algorithm>

namespace qx {

namespace {

constexpr double kSmallestTitleSize = 11;

// The largest size from `size` down that fits the title in the button's width.
double fittingSize(const plat::Button& button, const std::string& title, double size) {
    plat::Font font = button.titleLabel().font();
    font.size = size;
    const double room = button.frame().width() - 10;
    // Measured widths are an estimate that some scripts' letters exceed, hence the allowance.
    while (font.size > kSmallestTitleSize && font.widthOf(title) * 1.15 > room) font.size -= 0.5;
    return font.size;
}

void applyTitle(plat::Button& button, const std::string& title, double size) {
    button.setTitle(title);
    plat::Font font = button.titleLabel().font();
    font.size = size;
    button.titleLabel().setFont(font);
}

}  // namespace

void setFittingTitle(plat::Button& button, const std::string& title, double size) {
    applyTitle(button, title, fittingSize(button, title, size));
}

void setFittingTitles(const std::vector<std::pair<plat::Button*, std::string>>& titled, double size) {
    double common = size;
    for (const auto& [button, title] : titled)
        if (button) common = std::min(common, fittingSize(*button, title, size));
    for (const auto& [button, title] : titled)
        if (button) applyTitle(*button, title, common);
}

}  // namespace qx
