#pragma once
// The stores the World Map benchmarks read (and the screen they open on them), each written the way an earlier version wrote its
// file (no map grid), so that the first World Map on it builds the grid:
//  - even: points spread over the whole world, a reading each, one in a hundred an alarm;
//  - crowded: as a person's readings are: most on walks within a few kilometres of home,
//    20,000 at home itself, fewer in two other cities and on trips, long tracks across the
//    180th meridian and to both poles, an alarm in ten thousand.
// Generated once into a cache folder (QX_WORLDMAP_STORES, by default /tmp/qx-worldmap-stores)
// and kept for later runs.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>

#include "StoreWriter.h"
#include "maps/WorldMapController.h"
#include "model/Settings.h"
#include "platform/foundation/DataFolder.h"
#include "platform/map/MapView.h"
#include "platform/map/Location.h"
#include "store/Store.h"

namespace worldmapstores {

enum class Kind { even, crowded };

inline constexpr plat::Coordinate2D kHome{48.137, 11.575};

inline std::filesystem::path cacheRoot() {
    const char* env = std::getenv("QX_WORLDMAP_STORES");
    return env && *env ? std::filesystem::path(env) : std::filesystem::temp_directory_path() / "qx-worldmap-stores";
}

// Writes `count` points, asking `place` for each one's position and dose rate: a day set per
// thousand points, each point with its reading ten seconds after the one before.
inline void writeOldStore(const std::filesystem::path& file, std::int64_t count,
                          const std::function<void(std::int64_t i, double& lat, double& lon, double& der)>& place) {
    const double day0 = 1.6e9;
    qxbench::StoreWriter writer(file, day0);
    for (std::int64_t i = 0; i < count; ++i) {
        qxbench::StoreWriter::Point point;
        place(i, point.latitude, point.longitude, point.der);
        point.date = day0 + 10.0 * static_cast<double>(i);
        writer.add(point);
    }
}

inline void fillEven(const std::filesystem::path& file, std::int64_t count) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> lat(-60, 72), lon(-180, 180), der(0.05, 0.5), alarm(1, 10), chance(0, 1);
    writeOldStore(file, count, [&](std::int64_t, double& la, double& lo, double& d) {
        la = lat(rng);
        lo = lon(rng);
        d = chance(rng) < 0.01 ? alarm(rng) : der(rng);
    });
}

// Walks of a few hundred to a few thousand readings, a few metres apart, turning gently and
// kept within `radiusKm` of `centre`.
class Walker {
public:
    explicit Walker(std::mt19937& rng) : rng_(rng) {}
    void start(const plat::Coordinate2D& centre, double radiusKm) {
        centre_ = centre;
        radiusKm_ = radiusKm;
        std::normal_distribution<double> around(0, radiusKm / 3);
        std::uniform_real_distribution<double> unit(0, 1);
        at_ = {centre.latitude + around(rng_) / 111.0, centre.longitude + around(rng_) / kmPerDegreeLon()};
        heading_ = unit(rng_) * 2 * M_PI;
        left_ = 300 + static_cast<int>(unit(rng_) * 2700);
        stepKm_ = (unit(rng_) < 0.5 ? 0.004 : unit(rng_) < 0.5 ? 0.008 : 0.015);
    }
    bool walking() const { return left_ > 0; }
    plat::Coordinate2D next() {
        std::normal_distribution<double> turn(0, 0.15), jitter(0, 0.00003);
        heading_ += turn(rng_);
        at_.latitude += std::cos(heading_) * stepKm_ / 111.0;
        at_.longitude += std::sin(heading_) * stepKm_ / kmPerDegreeLon();
        const double dy = (at_.latitude - centre_.latitude) * 111.0;
        const double dx = (at_.longitude - centre_.longitude) * kmPerDegreeLon();
        if (dx * dx + dy * dy > radiusKm_ * radiusKm_) heading_ += M_PI;
        --left_;
        return {at_.latitude + jitter(rng_), at_.longitude + jitter(rng_)};
    }

private:
    double kmPerDegreeLon() const { return 111.0 * std::cos(centre_.latitude * M_PI / 180.0); }
    std::mt19937& rng_;
    plat::Coordinate2D centre_{}, at_{};
    double radiusKm_ = 1, heading_ = 0, stepKm_ = 0.01;
    int left_ = 0;
};

// The places and dose rates of the crowded store's points, one call per point in order.
using Places = std::function<void(std::int64_t i, double& lat, double& lon, double& der)>;
inline Places crowdedPlaces(std::int64_t count) {
    struct State {
        std::mt19937 rng{13};
        Walker walker{rng};
        plat::Coordinate2D trip{};
    };
    // Long tracks: across the 180th meridian twice, and to either pole.
    struct Leg {
        plat::Coordinate2D from, to;
    };
    static constexpr Leg kLegs[] = {{{55, 170}, {58, 190}}, {{-20, 175}, {-15, 195}}, {{70, 20}, {89.9, 20}},
                                    {{-60, -60}, {-89.9, -60}}};
    constexpr double kHomeShare = 0.55, kSecondShare = 0.16, kThirdShare = 0.08, kTracksShare = 0.04;
    auto state = std::make_shared<State>();
    const std::int64_t atHome = std::min<std::int64_t>(20000, count / 20);
    return [state, count, atHome](std::int64_t i, double& lat, double& lon, double& d) {
        std::uniform_real_distribution<double> unit(0, 1), der(0.08, 0.3), alarm(1, 10);
        std::mt19937& rng = state->rng;
        d = unit(rng) < 0.0001 ? alarm(rng) : der(rng);
        const double share = static_cast<double>(i) / static_cast<double>(count);
        plat::Coordinate2D at;
        if (i < atHome) {
            at = {kHome.latitude + (unit(rng) - 0.5) * 2e-6, kHome.longitude + (unit(rng) - 0.5) * 2e-6};
        } else if (share < kTracksShare) {
            const std::int64_t perLeg = (static_cast<std::int64_t>(kTracksShare * count) - atHome) / 4 + 1;
            const std::int64_t k = (i - atHome) / perLeg, j = (i - atHome) % perLeg;
            const Leg& leg = kLegs[std::min<std::int64_t>(k, 3)];
            const double f = static_cast<double>(j) / static_cast<double>(perLeg);
            at = {leg.from.latitude + (leg.to.latitude - leg.from.latitude) * f,
                  std::remainder(leg.from.longitude + (leg.to.longitude - leg.from.longitude) * f, 360.0)};
        } else {
            Walker& walker = state->walker;
            if (!walker.walking()) {
                const double r = share - kTracksShare;
                if (r < kHomeShare) walker.start(kHome, 5);
                else if (r < kHomeShare + kSecondShare) walker.start({48.208, 16.372}, 8);
                else if (r < kHomeShare + kSecondShare + kThirdShare) walker.start({47.37, 8.54}, 8);
                else {
                    if (unit(rng) < 0.05 || state->trip.latitude == 0)
                        state->trip = {-40 + unit(rng) * 100, -180 + unit(rng) * 360};
                    walker.start(state->trip, 10);
                }
            }
            at = walker.next();
        }
        lat = at.latitude;
        lon = at.longitude;
    };
}

inline void fillCrowded(const std::filesystem::path& file, std::int64_t count) {
    writeOldStore(file, count, crowdedPlaces(count));
}

inline std::string name(Kind kind) { return kind == Kind::even ? "even" : "crowded"; }

// The data folder of a store of `count` points as an earlier version wrote it, made once.
inline std::filesystem::path storeFolder(Kind kind, std::int64_t count) {
    const auto dir = cacheRoot() / (kind == Kind::even ? std::to_string(count) : name(kind) + "-" + std::to_string(count));
    const auto done = dir / "generated";
    if (!std::filesystem::exists(done)) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const auto t = std::chrono::steady_clock::now();
        (kind == Kind::even ? fillEven : fillCrowded)(dir / qx::Store::kFileName, count);
        std::cout << "generated an older " << name(kind) << " store of " << count << " waypoints in "
                  << std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count() << " s\n";
        std::ofstream(done) << count << "\n";
    }
    return dir;
}

// A World Map screen showing the whole world, with no filter but the dose-rate floor of 0.
inline std::shared_ptr<qx::WorldMapController> worldScreen() {
    auto& settings = qx::Settings::sharedSettings();
    settings.setWMDistanceOn(false);
    settings.setWMAlertsOnly(false);
    settings.setWMTimeFromOn(false);
    settings.setWMTimeToOn(false);
    settings.setWMthresholdValue(0);
    auto screen = qx::WorldMapController::make();
    auto map = screen->mapView();
    map->setUserTrackingMode(plat::UserTrackingMode::None, false);
    map->setVisibleMapRect(plat::MapRect::world(), false);
    return screen;
}

}  // namespace worldmapstores
