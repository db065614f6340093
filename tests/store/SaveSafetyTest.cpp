// Saves that meet a full disk, and tracks left open by a program that ended.
#include <sqlite3.h>

#include <cmath>

#include "FullDisk.h"
#include "StoreTestSupport.h"
#include "store/Connection.h"

using namespace qx;

namespace qxtest {

namespace {

// Every row of every table, read through a connection of its own: the database as another
// program would find it.
std::string dump(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        for (const char* table : {"Set", "Track", "Waypoint", "Measurement"}) {
            const std::string sql = std::string("SELECT * FROM \"") + table + "\" ORDER BY id";
            sqlite3_exec(
                db, sql.c_str(),
                [](void* text, int n, char** values, char**) {
                    auto& s = *static_cast<std::string*>(text);
                    for (int i = 0; i < n; ++i) s += std::string(values[i] ? values[i] : "NULL") + "|";
                    s += "\n";
                    return 0;
                },
                &out, nullptr);
        }
    }
    sqlite3_close(db);
    return out;
}

std::int64_t countOf(const std::filesystem::path& file, const char* table) {
    sqlite3* db = nullptr;
    std::int64_t n = -1;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    const std::string sql = std::string("SELECT COUNT(*) FROM \"") + table + "\"";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

}  // namespace

// An import-sized save whose day is looked up half-way (a fetch inside the save, after rows
// were written): wherever the disk fills, the save fails whole and the file is exactly as it
// was; with room again the same save is written whole.
TEST_F(StoreTest, ASaveThatMeetsAFullDiskLeavesTheDatabaseExactlyAsItWas) {
    FullDisk disk;
    auto day = makeSet(main(), plat::Date(86400));
    addPoint(main(), day, 0.1, plat::Date(86400 + 10), "kept");
    ASSERT_TRUE(main().save());
    const auto file = store().file();
    constexpr int kPoints = 600;
    auto bigSave = [&](Context& c) {
        // A small page cache makes the save spill to disk before it commits, as a large import does.
        ASSERT_TRUE(c.connection().exec("PRAGMA cache_size = 8"));
        for (int i = 0; i < kPoints; ++i) {
            const plat::Date when(3 * 86400 + i);
            if (i == kPoints / 2) Set::setForDay(plat::Date(5 * 86400), c);  // its fetch writes what came before
            addPoint(c, Set::setForDay(when, c), 0.2, when);
        }
    };
    const std::string before = dump(file);
    std::int64_t stored = 1;
    int failed = 0;
    for (std::size_t budget : {std::size_t{0}, std::size_t{4096}, std::size_t{16384}, std::size_t{65536},
                               std::size_t{1} << 22}) {
        SCOPED_TRACE("bytes left: " + std::to_string(budget));
        disk.fillAfter(budget);
        StoreError error;
        const bool ok = store().saveWithBlockAndWait(bigSave, &error);
        disk.makeRoom();
        if (ok) {
            // Only a budget large enough for the whole save may succeed; then it is all there.
            stored += kPoints;
            EXPECT_EQ(countOf(file, "Waypoint"), stored);
            break;
        }
        ++failed;
        EXPECT_EQ(error.code, StoreError::Code::diskFull) << error.message;
        EXPECT_EQ(dump(file), before);
        // Nothing of the failed save reached the main context either.
        EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), std::optional<std::size_t>(1));
    }
    EXPECT_GE(failed, 3);
    EXPECT_GT(disk.refusedWrites(), 0u);
    // Room again: the store goes on saving.
    StoreError error;
    EXPECT_TRUE(store().saveWithBlockAndWait(bigSave, &error)) << error.message;
    EXPECT_EQ(countOf(file, "Waypoint"), stored + kPoints);
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), std::optional<std::size_t>(stored + kPoints));
}

// A program ended while recording: its track has the figures it started with. At the next start
// the track gets end time, distance, dose, altitudes and speeds from its points, as the recording
// takes them from its fixes; one without points goes.
TEST_F(StoreTest, TracksLeftOpenGetTheirFiguresBackFromTheirStoredPoints) {
    const plat::Date start(2 * 86400 + 3600);
    struct Point {
        double seconds, latitude, longitude, altitude, de;
    };
    // About 1112 m north in 100 s (11.1 m/s), then standing 50 s at a higher place.
    const Point points[] = {{0, 50.0, 8.0, 120, 1.00}, {100, 50.01, 8.0, 95, 1.25}, {150, 50.01, 8.0, 140, 1.75}};
    std::int64_t row = 0, emptyRow = 0;
    ASSERT_TRUE(store().saveWithBlockAndWait([&](Context& c) {
        // A recording belongs to its day from its start; one of an older version did not.
        auto track = c.insertNew<Track>();
        auto day = Set::setForDay(start, c);
        track->setSet(day);
        day->addTracksObject(track);
        track->setDateFrom(start);
        track->setDateTo(start);
        for (const auto& p : points) {
            auto w = addPoint(c, nullptr, 0.2, start.addingTimeInterval(p.seconds), nullptr, track);
            w->setLatitude(p.latitude);
            w->setLongitude(p.longitude);
            w->setAltitude(p.altitude);
            w->measurement()->setDe(p.de);
        }
        auto empty = c.insertNew<Track>();
        empty->setDateFrom(start);
        row = track->objectID().row;
        emptyRow = empty->objectID().row;
    }));
    ASSERT_TRUE(store().saveWithBlockAndWait([](Context& c) { EXPECT_EQ(Track::closeTracksLeftOpen(c), 2u); }));

    auto track = main().objectWithRow<Track>(row);
    ASSERT_TRUE(track);
    EXPECT_FALSE(main().objectWithRow<Track>(emptyRow));
    const double leg = plat::Location::distanceBetween({50.0, 8.0}, {50.01, 8.0});
    EXPECT_NEAR(track->distance(), leg, 1e-6);
    EXPECT_EQ(track->dateTo(), start.addingTimeInterval(150));
    EXPECT_NEAR(track->de(), 0.75, 1e-12);
    EXPECT_EQ(track->minAltitude(), 95);
    EXPECT_EQ(track->maxAltitude(), 140);
    EXPECT_NEAR(track->maxSpeed(), leg / 100, 1e-9);
    EXPECT_NEAR(track->avgSpeed(), leg / 100, 1e-9);  // the way covered while moving over the time it took
    ASSERT_TRUE(track->set());
    EXPECT_LE(track->set()->date(), start);  // the day it began on
    EXPECT_GT(track->set()->date().addingTimeInterval(86400), start);
    // Closed once: a second start finds nothing open.
    ASSERT_TRUE(store().saveWithBlockAndWait([](Context& c) { EXPECT_EQ(Track::closeTracksLeftOpen(c), 0u); }));
}

}  // namespace qxtest
