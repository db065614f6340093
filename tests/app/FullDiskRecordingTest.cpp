// Recording on the Track tab while the disk fills up: what the person is told, and what is
// stored afterwards.
#include <sqlite3.h>

#include "FullDisk.h"
#include "HostFixture.h"
#include "platform/ui/AlertView.h"
#include "store/ReadingStats.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace {

using qxtest::HostTest;

class FullDiskRecordingTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        // Before the store opens: its files are written through the disk from the start.
        disk = std::make_unique<qxtest::FullDisk>();
        launch();
        ASSERT_TRUE(run("tab Track").ok);
    }
    void TearDown() override {
        HostTest::TearDown();
        disk.reset();
    }

    void stopAndName(const std::string& name) {
        ASSERT_TRUE(run("tap Stop").ok);
        ASSERT_TRUE(run("type \"Track Name\" \"" + name + "\"").ok);
        ASSERT_TRUE(run("press Save").ok);
    }
    static void checkpoint() {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(qx::Store::defaultStore().file().c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(PASSIVE)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    // Ends the run and starts the next with room on the disk; the track of `row` as it is then.
    std::shared_ptr<qx::Track> restartWithRoom(std::int64_t row) {
        disk->makeRoom();
        driver.reset();
        host.reset();
        qx::Store::closeDefaultStore();
        launch();
        return main().objectWithRow<qx::Track>(row);
    }
    static qx::Context& main() { return qx::Store::defaultStore().mainContext(); }
    static std::vector<std::shared_ptr<qx::Track>> tracks() {
        return main().fetch<qx::Track>(qx::FetchRequest::of<qx::Track>());
    }
    // The way along the track's stored points, in the order they were taken.
    static double storedDistance(const qx::Track& track) {
        double metres = 0;
        std::optional<plat::Coordinate2D> last;
        for (const auto& point : track.waypoints()) {
            if (!point->hasPosition()) continue;
            if (last) metres += plat::Location::distanceBetween(*last, point->coordinate());
            last = point->coordinate();
        }
        return metres;
    }

    std::unique_ptr<qxtest::FullDisk> disk;
};

// A track that cannot be started, then one that cannot be saved: each is told with the reason;
// nothing half-made is stored, the points taken are kept, and the next start closes the track
// from them under the name typed, which the end of the run wrote once there was room.
TEST_F(FullDiskRecordingTest, AStartOrASaveOnAFullDiskIsToldAndTheStoredPointsAreKept) {
    disk->fillAfter(0, qxtest::FullDisk::Room::forEveryWrite);
    ASSERT_TRUE(run("tap Record").ok);
    EXPECT_EQ(takeAlert(), "Track Not Started: The track could not be started: the disk is full.");
    EXPECT_TRUE(run("expect Record").ok) << "the control is back at Record";
    EXPECT_TRUE(tracks().empty());

    disk->makeRoom();
    ASSERT_TRUE(run("tap Record").ok);
    ASSERT_TRUE(run("advance 300").ok);
    auto track = qx::Track::getCurrentTrack();
    ASSERT_TRUE(track);
    const auto row = track->objectID().row;
    const auto points = track->waypointsCount();
    ASSERT_GE(points, 2u);

    // The log was copied into the database meanwhile (SQLite does so every thousand pages): it
    // has room for the save without growing, and only a disk where every write takes room
    // refuses it.
    checkpoint();
    disk->fillAfter(0, qxtest::FullDisk::Room::forEveryWrite);
    stopAndName("Ridge walk");
    EXPECT_EQ(takeAlert(), "Track Not Saved: The track could not be saved: the disk is full. Its stored points are "
                           "kept, and it is saved when quorix next starts.");
    EXPECT_GT(disk->refusedWrites(), 0u);
    EXPECT_TRUE(run("expect Record").ok);
    ASSERT_EQ(tracks().size(), 1u);
    EXPECT_EQ(tracks()[0]->waypointsCount(), points);
    EXPECT_FALSE(tracks()[0]->name());

    // The next start, with room again: the track is closed with its points and its figures.
    auto closed = restartWithRoom(row);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->name(), std::optional<std::string>("Ridge walk"));
    EXPECT_EQ(closed->waypointsCount(), points);
    EXPECT_GT(closed->dateTo(), closed->dateFrom());
    EXPECT_NEAR(closed->distance(), storedDistance(*closed), 0.01);
}

// The disk fills between the stop and the name: the end stored by the stop carries the figures
// of the recording, so that the track, closed by it, keeps them once its name is saved.
TEST_F(FullDiskRecordingTest, ATrackWhoseNameCouldNotBeSavedKeepsItsFigures) {
    ASSERT_TRUE(run("tap Record").ok);
    ASSERT_TRUE(run("advance 300").ok);
    auto track = qx::Track::getCurrentTrack();
    ASSERT_TRUE(track);
    const auto row = track->objectID().row;
    ASSERT_TRUE(run("tap Stop").ok);
    const double distance = track->distance(), maxAltitude = track->maxAltitude();
    ASSERT_GT(distance, 100);
    ASSERT_GT(maxAltitude, 0);
    // The stop's save is stored before the disk fills (saves run in order).
    ASSERT_TRUE(qx::Store::defaultStore().saveWithBlockAndWait([](qx::Context&) {}));
    disk->fillAfter(0, qxtest::FullDisk::Room::forEveryWrite);
    ASSERT_TRUE(run("type \"Track Name\" \"Ridge walk\"").ok);
    ASSERT_TRUE(run("press Save").ok);
    EXPECT_EQ(takeAlert().rfind("Track Not Saved: ", 0), 0u);

    auto closed = restartWithRoom(row);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->name(), std::optional<std::string>("Ridge walk"));
    EXPECT_DOUBLE_EQ(closed->distance(), distance);
    EXPECT_DOUBLE_EQ(closed->maxAltitude(), maxAltitude);
    EXPECT_GT(closed->maxSpeed(), 0);
}

// Fixes go on while the disk refuses their readings: once readings are stored again, or when the
// track is saved before that, its figures are those of its stored points, not of fixes whose
// points were lost.
TEST_F(FullDiskRecordingTest, FiguresFollowTheStoredPointsAfterReadingsWereRefused) {
    ASSERT_TRUE(run("tap Record").ok);
    ASSERT_TRUE(run("advance 120").ok);
    auto track = qx::Track::getCurrentTrack();
    ASSERT_TRUE(track);

    disk->fillAfter(0);
    ASSERT_TRUE(run("advance 300").ok);
    EXPECT_EQ(takeAlert().rfind("Readings Not Stored: ", 0), 0u);
    const auto before = track->waypointsCount();
    ASSERT_GT(track->distance(), storedDistance(*track) + 100) << "the walk went on while nothing was stored";

    disk->makeRoom();
    for (int s = 0; s < 120 && track->waypointsCount() == before; ++s) ASSERT_TRUE(run("advance 1").ok);
    ASSERT_GT(track->waypointsCount(), before);
    // At most the fix of the same second lies beyond the point just stored.
    EXPECT_NEAR(track->distance(), storedDistance(*track), 3);

    // Refused again, room again, and saved at once: no reading came in between.
    const double gatheredBeforeRefusal = track->currentDe() + 1e-9;
    disk->fillAfter(0);
    ASSERT_TRUE(run("advance 300").ok);
    takeAlert();
    disk->makeRoom();
    const auto row = track->objectID().row;
    stopAndName("Loop");
    ASSERT_TRUE(run("expect Record").ok);
    auto saved = main().objectWithRow<qx::Track>(row);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->name(), std::optional<std::string>("Loop"));
    EXPECT_DOUBLE_EQ(saved->distance(), storedDistance(*saved));
    // It ends at its last stored point, 300 s before the stop, with the dose gathered until
    // then: its time and dose are those of its points too.
    const auto stats = qx::ReadingStats::of(*saved);
    ASSERT_TRUE(stats.maxDate);
    EXPECT_EQ(saved->dateTo(), *stats.maxDate);
    EXPECT_LE(saved->dateTo().addingTimeInterval(300), plat::Date::now());
    EXPECT_GE(saved->de(), stats.maxDE - stats.minDE);
    EXPECT_LT(saved->de(), gatheredBeforeRefusal);
}

// A recording dropped (Cancel at its name) while the disk refuses the deletion: the track is
// still stored, and the person is told so.
TEST_F(FullDiskRecordingTest, ATrackDroppedOnAFullDiskIsToldAsNotDeleted) {
    ASSERT_TRUE(run("tap Record").ok);
    ASSERT_TRUE(run("advance 300").ok);
    checkpoint();
    disk->fillAfter(0, qxtest::FullDisk::Room::forEveryWrite);
    ASSERT_TRUE(run("tap Stop").ok);
    ASSERT_TRUE(run("press Cancel").ok);
    EXPECT_EQ(takeAlert(), "Not Deleted: It could not be deleted: the disk is full.");
    ASSERT_EQ(tracks().size(), 1u);
    EXPECT_GE(tracks()[0]->waypointsCount(), 2u);
}

}  // namespace
