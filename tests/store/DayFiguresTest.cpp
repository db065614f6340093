#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <map>
#include <set>

#include "StoreTestSupport.h"
#include "model/DeviceModels.h"

using namespace qx;

namespace qxtest {

namespace {

// What a day's row shows, worked out here from the objects themselves: every reading of the
// day's measurements, points and tracks' points once.
struct Shown {
    double min = std::numeric_limits<double>::infinity();
    double max = 0;
    double dose = 0;
    std::int64_t alarms = 0;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
    return out << "min " << s.min << " max " << s.max << " dose " << s.dose << " alarms " << s.alarms;
}

bool measuresDose(const std::shared_ptr<Measurement>& m) {
    return m->deviceName() && DeviceModels::nameReportsDose(*m->deviceName());
}

Shown expected(Set& day, double threshold) {
    std::map<std::int64_t, std::shared_ptr<Measurement>> readings;
    auto add = [&](const std::shared_ptr<Measurement>& m) {
        if (m) readings[m->objectID().row] = m;
    };
    for (const auto& m : day.measurements()) add(m);
    for (const auto& w : day.waypoints()) add(w->measurement());
    Shown shown;
    for (const auto& t : day.tracks()) {
        const auto points = t->waypoints();
        for (const auto& w : points) add(w->measurement());
        if (!points.empty() && points.back()->measurement() && measuresDose(points.back()->measurement()))
            shown.dose = std::max(shown.dose, t->de());
    }
    std::optional<double> lowDose, highDose;
    for (const auto& [row, m] : readings) {
        shown.min = std::min(shown.min, m->der());
        shown.max = std::max(shown.max, m->der());
        if (!measuresDose(m)) continue;
        lowDose = std::min(lowDose.value_or(m->de()), m->de());
        highDose = std::max(highDose.value_or(m->de()), m->de());
    }
    if (lowDose) shown.dose = std::max(shown.dose, *highDose - *lowDose);
    for (const auto& m : day.measurements()) shown.alarms += m->der() > threshold;
    return shown;
}

Shown shownBy(Set& day) { return {day.minDER(), day.maxDER(), day.dose(), day.alarms()}; }

std::string query(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    char* message = nullptr;
    std::string out;
    sqlite3_exec(
        db, sql.c_str(),
        [](void* to, int, char** values, char**) {
            *static_cast<std::string*>(to) = values[0] ? values[0] : "";
            return 0;
        },
        &out, &message);
    sqlite3_free(message);
    sqlite3_close(db);
    return out;
}

}  // namespace

class DayFiguresTest : public StoreTest {
protected:
    const plat::Date dayA{86400 * 100}, dayB{86400 * 101};

    std::shared_ptr<Measurement> reading(const std::shared_ptr<Set>& day, double der, double de, int type,
                                         double at) {
        auto m = main().insertNew<Measurement>();
        m->setDate(plat::Date(at));
        m->setDer(der);
        m->setDe(de);
        m->setDeviceType(type);
        m->setDeviceName(DeviceModels::name(type));
        if (day) day->addMeasurementsObject(m);
        return m;
    }
    std::shared_ptr<Waypoint> point(const std::shared_ptr<Measurement>& m) {
        auto w = main().insertNew<Waypoint>();
        m->setWaypoint(w);
        return w;
    }

    // Every stored day's row as the list shows it, against the objects, after `step`.
    void expectRowsAsStored(const std::string& step) {
        const double threshold = store().alarmThreshold();
        auto days = main().fetch<Set>(FetchRequest::of<Set>());
        ASSERT_FALSE(days.empty()) << step;
        for (const auto& day : days) {
            EXPECT_EQ(shownBy(*day), expected(*day, threshold)) << step << ", day " << day->date().timeIntervalSince1970();
            // Read twice: what was kept is what was worked out.
            EXPECT_EQ(shownBy(*day), expected(*day, threshold)) << step << ", read again";
        }
    }
};

// A varied store changed step by step (readings added to known and unknown days, readings
// without points, a track running past midnight, deletions, points and tracks moving, a new
// threshold): after each step every day shows what its readings give.
TEST_F(DayFiguresTest, DayRowsShowTheirReadingsThroughEveryKindOfChange) {
    store().refreshAlarmThreshold();
    const double threshold = store().alarmThreshold();
    auto a = makeSet(main(), dayA), b = makeSet(main(), dayB);
    // Day A: history readings without points, its own points, and an evening track whose
    // last points were read after midnight (their readings are day B's).
    reading(a, 0.12, 1.0, 2, dayA.timeIntervalSince1970() + 60);
    reading(a, threshold + 0.5, 4.0, 1, dayA.timeIntervalSince1970() + 120);
    a->addWaypointsObject(point(reading(a, 0.09, 1.5, 3, dayA.timeIntervalSince1970() + 180)));
    auto evening = main().insertNew<Track>();
    a->addTracksObject(evening);
    evening->setDe(9.0);
    evening->addWaypointsObject(point(reading(a, 0.2, 2.0, 5, dayB.timeIntervalSince1970() - 60)));
    evening->addWaypointsObject(point(reading(b, threshold + 1.5, 2.6, 5, dayB.timeIntervalSince1970() + 30)));
    reading(b, 0.05, 7.0, 4, dayB.timeIntervalSince1970() + 600);
    ASSERT_TRUE(main().save());
    expectRowsAsStored("stored");

    // Readings added to days whose rows are kept; one point of day A's with day B's reading.
    evening->addWaypointsObject(point(reading(b, 0.01, 3.1, 7, dayB.timeIntervalSince1970() + 90)));
    b->addWaypointsObject(point(reading(b, threshold + 3, 8.0, 9, dayB.timeIntervalSince1970() + 700)));
    reading(nullptr, 0.3, 0.0, 2, dayA.timeIntervalSince1970());
    reading(b, threshold + 4, 8.5, 9, dayB.timeIntervalSince1970() + 800);
    ASSERT_TRUE(main().save());
    expectRowsAsStored("readings added");

    // The highest readings of day B (one without a point) and a point of the track go.
    for (double above : {threshold + 3.5, threshold + 2}) {
        auto highest = main().fetchFirst<Measurement>(FetchRequest::of<Measurement>().where(Key("der") > above));
        ASSERT_TRUE(highest);
        main().deleteObject(highest);
        if (above > threshold + 3) {
            ASSERT_TRUE(main().save());
            expectRowsAsStored("reading deleted");
        }
    }
    main().deleteObject(evening->waypoints().front());
    ASSERT_TRUE(main().save());
    expectRowsAsStored("readings deleted");

    // A point moves out of the track to day B; the track then moves to day B, then goes.
    auto moved = evening->waypoints().back();
    moved->setTrack(nullptr);
    b->addWaypointsObject(moved);
    ASSERT_TRUE(main().save());
    expectRowsAsStored("point moved");
    evening->setSet(b);
    ASSERT_TRUE(main().save());
    expectRowsAsStored("track moved");
    main().deleteObject(evening);
    ASSERT_TRUE(main().save());
    expectRowsAsStored("track deleted");

    // A reading changed, and a new alarm threshold.
    auto changed = main().fetchFirst<Measurement>(FetchRequest::of<Measurement>().where(Key("der") == 0.12));
    ASSERT_TRUE(changed);
    changed->setDer(5.5);
    ASSERT_TRUE(main().save());
    expectRowsAsStored("reading changed");
    Settings::sharedSettings().DERthreshold().firstThreshold->setValue(0.07);
    store().refreshAlarmThreshold();
    expectRowsAsStored("threshold changed");

    // A day deleted takes its row along; a day made again in its place starts empty.
    main().deleteObject(a);
    ASSERT_TRUE(main().save());
    auto again = makeSet(main(), dayA);
    ASSERT_TRUE(main().save());
    expectRowsAsStored("day deleted and made again");
    EXPECT_EQ(shownBy(*again), Shown{});
}

// A file written before the days' figures were kept: it opens, its days show their readings,
// and from then on the figures follow new readings.
TEST_F(DayFiguresTest, AFileFromTheVersionBeforeShowsItsDaysAndKeepsThemFromThen) {
    auto a = makeSet(main(), dayA);
    reading(a, 0.3, 1.0, 2, dayA.timeIntervalSince1970() + 10);
    a->addWaypointsObject(point(reading(a, 0.6, 2.5, 2, dayA.timeIntervalSince1970() + 20)));
    ASSERT_TRUE(main().save());
    Store::closeDefaultStore();
    const auto file = dataDir() / Store::kFileName;
    std::set<std::string> dropped;
    for (;;) {
        const auto name = query(file, "SELECT name FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'DayFigures%'");
        if (name.empty() || !dropped.insert(name).second) break;
        query(file, "DROP TRIGGER \"" + name + "\"");
    }
    query(file, "DROP TABLE \"DayFigures\"");
    query(file, "PRAGMA user_version = 5");

    ASSERT_TRUE(store().isOpen());
    EXPECT_EQ(query(file, "PRAGMA user_version"), std::to_string(Store::kSchemaVersion));
    EXPECT_FALSE(dropped.empty());
    EXPECT_EQ(query(file, "SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'DayFigures%'"),
              std::to_string(dropped.size() + 1));
    expectRowsAsStored("opened");
    auto day = main().fetchFirst<Set>(FetchRequest::of<Set>());
    ASSERT_TRUE(day);
    EXPECT_EQ(day->maxDER(), 0.6);
    EXPECT_EQ(day->dose(), 1.5);
    reading(day, 0.9, 4.0, 2, dayA.timeIntervalSince1970() + 30);
    ASSERT_TRUE(main().save());
    expectRowsAsStored("a reading added");
    EXPECT_EQ(day->dose(), 3.0);
}

}  // namespace qxtest
