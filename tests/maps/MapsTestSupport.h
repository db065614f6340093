#pragma once

#include "../store/StoreTestSupport.h"
#include "maps/TrackPath.h"
#include "model/Settings.h"
#include "store/Track.h"

namespace mapstest {

const plat::Coordinate2D kBerlin{52.52, 13.405};

// A store with dose-rate thresholds of 0.3 and 1.2 µSv/h.
class MapsTest : public qxtest::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        auto& threshold = qx::Settings::sharedSettings().DERthreshold();
        threshold.firstThreshold->setValue(kFirst);
        threshold.secondThreshold->setValue(kSecond);
        day = makeSet(main(), plat::Date::now());
    }
    void TearDown() override {
        qx::TrackPath::setCurrentTrackPath(nullptr);
        StoreTest::TearDown();
    }

    // A positioned waypoint with its reading.
    std::shared_ptr<qx::Waypoint> point(double der, plat::Coordinate2D at, double secondsFromNow = 0,
                                        const char* name = nullptr,
                                        const std::shared_ptr<qx::Track>& track = nullptr) {
        auto w = addPoint(main(), track ? nullptr : day, der, plat::Date::now().addingTimeInterval(secondsFromNow),
                          name, track);
        w->setLatitude(at.latitude);
        w->setLongitude(at.longitude);
        return w;
    }

    static constexpr double kFirst = 0.3, kSecond = 1.2;
    std::shared_ptr<qx::Set> day;
};

}  // namespace mapstest
