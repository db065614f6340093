#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "history/HistoryTableCell.h"
#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "store/Context.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qxtest {

// A fresh store and preferences in the test's data folder; the interface in English.
class HistoryTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        qx::Settings::resetShared();
        qx::Store::closeDefaultStore();
        switchLanguage("en");
    }
    void TearDown() override {
        drain();
        qx::Store::closeDefaultStore();
        switchLanguage("en");
        AppTest::TearDown();
    }

    static void switchLanguage(const std::string& code) {
        qx::Settings::sharedSettings().setLanguage(code);
        qx::Language::setCurrentLanguage();
    }

    static plat::Date today() { return qx::DateStrings::beginningOfDay(plat::Date::now()); }
    static plat::Date at(double hours) { return plat::Date(today().timeIntervalSince1970() + hours * 3600); }

    qx::Context& main() { return qx::Store::defaultStore().mainContext(); }

    std::shared_ptr<qx::Set> makeSet(plat::Date day) {
        auto s = main().insertNew<qx::Set>();
        s->setDate(day);
        return s;
    }

    // A reading with its waypoint, in the set (outside tracks) or in the track.
    std::shared_ptr<qx::Waypoint> addPoint(const std::shared_ptr<qx::Set>& set, double der, double de,
                                           plat::Date date, const std::shared_ptr<qx::Track>& track = nullptr,
                                           const char* device = "VN2450") {
        auto m = main().insertNew<qx::Measurement>();
        m->setDate(date);
        m->setDer(der);
        m->setDe(de);
        m->setDeviceName(std::string(device));
        auto w = main().insertNew<qx::Waypoint>();
        m->setWaypoint(w);
        if (set) set->addMeasurementsObject(m);
        if (track) {
            track->addWaypointsObject(w);
        } else if (set) {
            set->addWaypointsObject(w);
        }
        return w;
    }

    void save() { ASSERT_TRUE(main().save()); }

    static plat::Color derColor(double v) { return qx::Settings::sharedSettings().derColor(v); }
    static plat::Color deColor(double v) { return qx::Settings::sharedSettings().deColor(v); }
};

// An owner that records what its rows tell it; `implements` chooses whether it answers yes to
// the optional operations.
class RecordingOwner : public qx::HistoryTableCellDelegate {
public:
    explicit RecordingOwner(bool implements) : implements_(implements) {}
    bool implementsCellDidBeginEdit() const override { return implements_; }
    void cellDidBeginEdit(qx::HistoryTableCell& cell) override { began.push_back(&cell); }
    bool implementsCellDidChecked() const override { return implements_; }
    void cellDidChecked(qx::HistoryTableCell& cell, bool checked) override { checks.emplace_back(&cell, checked); }

    std::vector<qx::HistoryTableCell*> began;
    std::vector<std::pair<qx::HistoryTableCell*, bool>> checks;

private:
    bool implements_;
};

}  // namespace qxtest
