#include "ContactSheet.h"

#include <algorithm>

#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace qx::app {

namespace {

constexpr int kColumns = 8;
constexpr double kGap = 16;
constexpr double kCaption = 28;

}  // namespace

namespace {

bool isWithin(const plat::ViewController* screen, const plat::ViewController* container) {
    for (; screen; screen = screen->parentViewController()) {
        if (screen == container) return true;
    }
    return false;
}

// A screen's title, else the title its bar shows, else the name of the tab it is in; a panel
// laid over the whole screen (a picker with its own bar) names it first.
std::string titleOf(plat::ViewController& screen) {
    if (screen.isViewLoaded() && !screen.view()->subviews().empty()) {
        const auto& top = screen.view()->subviews().back();
        if (!top->isHidden() && top->frame() == screen.view()->bounds() && !top->displayText().empty()) {
            return top->displayText();
        }
    }
    for (plat::ViewController* s = &screen; s; s = s->parentViewController()) {
        if (!s->title().empty()) return s->title();
        if (!s->navigationItem().title().empty()) return s->navigationItem().title();
        if (!s->tabBarItem().title.empty()) return s->tabBarItem().title;
    }
    return screen.kindName();
}

}  // namespace

std::string ContactSheet::screenName(plat::Window& window) {
    if (plat::View* overlay = window.frontmostOverlay(); overlay && !overlay->displayText().empty()) {
        return overlay->displayText();
    }
    plat::ViewController* shown = window.visibleViewController();
    // A screen presented over the tabs (the mail composer) covers the tab's screen.
    if (plat::ViewController* cover = window.coveringScreen(); cover && !isWithin(shown, cover)) shown = cover;
    if (!shown) return "no screen";
    return titleOf(*shown);
}

void ContactSheet::addScreen(plat::Window& window, const std::string& prefix) {
    add(window.renderImage(), prefix + screenName(window));
}

void ContactSheet::add(plat::PixelImage picture, std::string caption) {
    tiles_.push_back({std::move(picture), std::move(caption)});
}

bool ContactSheet::writePng(const std::filesystem::path& path, std::string& error) const {
    if (tiles_.empty()) {
        error = "no screens to draw";
        return false;
    }
    double tileWidth = 0, tileHeight = 0;
    for (const auto& tile : tiles_) {
        tileWidth = std::max(tileWidth, tile.picture.size().width);
        tileHeight = std::max(tileHeight, tile.picture.size().height);
    }
    const int columns = std::min<int>(kColumns, static_cast<int>(tiles_.size()));
    const int rows = (static_cast<int>(tiles_.size()) + columns - 1) / columns;
    const plat::Size sheet{kGap + columns * (tileWidth + kGap), kGap + rows * (tileHeight + kCaption + kGap)};
    plat::DrawingContext ctx;
    ctx.setFillColor(plat::Color::fromBytes(48, 48, 48));
    ctx.fillRect({{0, 0}, sheet});
    const plat::Font font = plat::Font::boldSystem(15);
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        const double x = kGap + static_cast<double>(i % columns) * (tileWidth + kGap);
        const double y = kGap + static_cast<double>(i / columns) * (tileHeight + kCaption + kGap);
        const plat::Rect caption{x, y, tileWidth, kCaption};
        ctx.drawText(tiles_[i].caption, caption, font, plat::Color::white(), plat::TextAlignment::Left, 0.6);
        // A screen drawn with holes in it shows them in black, as most viewers would.
        const plat::Rect picture{plat::Point{x, y + kCaption}, tiles_[i].picture.size()};
        ctx.setFillColor(plat::Color::black());
        ctx.fillRect(picture);
        ctx.drawImage(plat::Image::withPixels(tiles_[i].picture), picture);
    }
    std::string why;
    if (!ctx.writePng(path, sheet, 1, &why)) {
        error = "cannot write " + path.string() + ": " + why;
        return false;
    }
    return true;
}

}  // namespace qx::app
