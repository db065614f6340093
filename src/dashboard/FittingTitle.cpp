#include "dashboard/FittingTitle.h"

namespace qx {

namespace {
constexpr double kSmallestTitleSize = 11;
}  // namespace

void setFittingTitle(plat::Button& button, const std::string& title, double size) {
    button.setTitle(title);
    plat::Font font = button.titleLabel().font();
    font.size = size;
    const double room = button.frame().width() - 10;
    // Measured widths are an estimate that some scripts' letters exceed, hence the allowance.
    while (font.size > kSmallestTitleSize && font.widthOf(title) * 1.15 > room) font.size -= 0.5;
    button.titleLabel().setFont(font);
}

}  // namespace qx
