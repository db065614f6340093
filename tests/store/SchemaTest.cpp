#include <sqlite3.h>

#include "StoreTestSupport.h"

using namespace qx;

namespace qxtest {

namespace {
// Runs one statement on the file through a connection of its own and returns its first value.
std::string query(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* s = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(s, 0);
        out = text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}
}  // namespace

TEST_F(StoreTest, TheFileIsVersionedAndInWriteAheadLogMode) {
    const auto file = store().file();
    EXPECT_EQ(file, dataDir() / "VennorlabsDB.sqlite");
    EXPECT_EQ(query(file, "PRAGMA user_version"), std::to_string(Store::kSchemaVersion));
    EXPECT_EQ(query(file, "PRAGMA journal_mode"), "wal");
    // Indexes serve the day, reading-date and position queries.
    for (const char* index :
         {"Set_date", "Measurement_date", "Waypoint_position", "Waypoint_set", "Waypoint_track", "Waypoint_inRadius"})
        EXPECT_EQ(query(file, std::string("SELECT name FROM sqlite_master WHERE name = '") + index + "'"), index);
}

TEST_F(StoreTest, AnOlderFileIsUpgradedInPlaceAndANewerOneRefused) {
    Store::closeDefaultStore();
    const auto file = dataDir() / Store::kFileName;
    // A file from before the first version: no tables yet, and something of its own to keep.
    query(file, "CREATE TABLE Keep (x INTEGER)");
    query(file, "INSERT INTO Keep VALUES (7)");
    EXPECT_TRUE(store().isOpen());
    EXPECT_EQ(query(file, "PRAGMA user_version"), std::to_string(Store::kSchemaVersion));
    EXPECT_EQ(query(file, "SELECT x FROM Keep"), "7");
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 0u);

    Store::closeDefaultStore();
    query(file, "PRAGMA user_version = 99");
    EXPECT_FALSE(store().isOpen());
    EXPECT_EQ(store().openError().code, StoreError::Code::cannotOpen);
    EXPECT_EQ(query(file, "PRAGMA user_version"), "99");  // left alone
}

// A file of version 3, whose index of track points held every point: opened, it keeps its
// points, the index then holds only those of tracks, and a track's points still come in order.
TEST_F(StoreTest, AVersion3FileKeepsItsPointsAndIndexesOnlyThoseOfTracks) {
    auto day = makeSet(main(), plat::Date(86400));
    auto track = main().insertNew<Track>();
    day->addTracksObject(track);
    for (const char* name : {"first", "second", "third"}) addPoint(main(), day, 0.1, plat::Date(86400 + 60), name, track);
    addPoint(main(), day, 0.2, plat::Date(86400 + 30), "loose");
    ASSERT_TRUE(main().save());
    Store::closeDefaultStore();
    const auto file = dataDir() / Store::kFileName;
    query(file, "DROP INDEX Waypoint_track");
    query(file, "CREATE INDEX Waypoint_track ON \"Waypoint\"(track_id, track_pos)");
    query(file, "DROP INDEX Waypoint_name");
    query(file, "PRAGMA user_version = 3");

    ASSERT_TRUE(store().isOpen());
    EXPECT_EQ(query(file, "PRAGMA user_version"), std::to_string(Store::kSchemaVersion));
    EXPECT_NE(query(file, "SELECT sql FROM sqlite_master WHERE name = 'Waypoint_track'").find("WHERE track_id IS NOT NULL"),
              std::string::npos);
    // The names get their index too.
    EXPECT_NE(query(file, "SELECT sql FROM sqlite_master WHERE name = 'Waypoint_name'").find("WHERE name IS NOT NULL"),
              std::string::npos);
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 4u);
    auto stored = main().fetchFirst<Track>(FetchRequest::of<Track>());
    ASSERT_TRUE(stored);
    std::vector<std::string> names;
    for (const auto& w : stored->waypoints()) names.push_back(w->name().value_or("-"));
    EXPECT_EQ(names, (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(StoreTest, ForeignKeysAreEnforcedOnEveryConnection) {
    auto day = makeSet(main(), plat::Date(0));
    addPoint(main(), day, 0.1, plat::Date(1));
    ASSERT_TRUE(main().save());
    // Removing the day underneath the store, with keys on, takes its rows along.
    sqlite3* db = nullptr;
    sqlite3_open(store().file().c_str(), &db);
    sqlite3_exec(db, "PRAGMA foreign_keys = ON; DELETE FROM \"Set\"", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(main().count(FetchRequest::of<Measurement>()), 0u);
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 0u);
}

}  // namespace qxtest
