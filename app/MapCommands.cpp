#include <charconv>
#include <cmath>

#include "CommandGroups.h"
#include "CommandRegistry.h"
#include "CommandSupport.h"
#include "Driver.h"
#include "platform/map/MapView.h"

namespace qx::app {

namespace {

// The front-most map a finger can reach.
plat::MapView* shownMap(const ScreenLookup& lookup) {
    plat::MapView* found = nullptr;
    const ScreenElements& all = lookup.elements();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Element& e = all.at(i);
        if (!e.shown || e.covered) continue;
        if (auto* map = dynamic_cast<plat::MapView*>(e.view)) found = map;
    }
    return found;
}

std::optional<double> number(const Word& word) {
    double v = 0;
    const auto* end = word.text.data() + word.text.size();
    auto [ptr, ec] = std::from_chars(word.text.data(), end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Spreading two fingers: a factor above 1 brings the map closer, below 1 takes it away; the
// centre stays where it is.
Outcome pinch(Driver& driver, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 1, 1, "pinch FACTOR")) return *bad;
    const auto factor = number(args[0]);
    if (!factor || *factor <= 0) return Outcome::failure("pinch needs a factor above 0: " + args[0].text);
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    plat::MapView* map = shownMap(lookup);
    if (!map) return Outcome::failure("no map on screen");
    plat::CoordinateRegion region = map->region();
    region.span.latitudeDelta /= *factor;
    region.span.longitudeDelta /= *factor;
    map->setRegion(region, true);
    return Outcome::success();
}

// Dragging the map with one finger by so many points; the map stops following the user, as a
// drag does on a phone.
Outcome pan(Driver& driver, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 2, 2, "pan DX DY")) return *bad;
    const auto dx = number(args[0]), dy = number(args[1]);
    if (!dx || !dy) return Outcome::failure("pan needs two numbers of points");
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    plat::MapView* map = shownMap(lookup);
    if (!map) return Outcome::failure("no map on screen");
    map->setUserTrackingMode(plat::UserTrackingMode::None, true);
    const plat::Rect b = map->bounds();
    const plat::Point centre{b.width() / 2 - *dx, b.height() / 2 - *dy};
    map->setCenterCoordinate(map->convertPointToCoordinate(centre), true);
    return Outcome::success();
}

}  // namespace

void registerMapCommands(CommandRegistry& registry) {
    registry.add({"pinch", "FACTOR", "zoom the map on screen in (above 1) or out (below 1)", pinch});
    registry.add({"pan", "DX DY", "drag the map on screen by so many points", pan});
}

}  // namespace qx::app
