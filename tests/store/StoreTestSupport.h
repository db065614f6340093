#pragma once

#include "TestEnvironment.h"
#include "model/Settings.h"
#include "store/Context.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qxtest {

// A fresh store in the test's data folder, closed again afterwards.
class StoreTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        qx::Settings::resetShared();
        qx::Store::closeDefaultStore();
    }
    void TearDown() override {
        drain();
        qx::Store::closeDefaultStore();
        AppTest::TearDown();
    }

    qx::Store& store() { return qx::Store::defaultStore(); }
    qx::Context& main() { return store().mainContext(); }

    // A waypoint with its reading, in `set` or `track`, made in `c`.
    static std::shared_ptr<qx::Waypoint> addPoint(qx::Context& c, const std::shared_ptr<qx::Set>& set, double der,
                                                  plat::Date date, const char* name = nullptr,
                                                  const std::shared_ptr<qx::Track>& track = nullptr) {
        auto m = c.insertNew<qx::Measurement>();
        m->setDate(date);
        m->setDer(der);
        auto w = c.insertNew<qx::Waypoint>();
        if (name) w->setName(std::string(name));
        m->setWaypoint(w);
        if (set) set->addMeasurementsObject(m);
        if (track) {
            track->addWaypointsObject(w);
        } else if (set) {
            set->addWaypointsObject(w);
        }
        return w;
    }

    static std::shared_ptr<qx::Set> makeSet(qx::Context& c, plat::Date day) {
        auto s = c.insertNew<qx::Set>();
        s->setDate(day);
        return s;
    }
};

}  // namespace qxtest
