#pragma once
// Writes a large store the quickest way: the store makes the file's tables, then bare prepared
// inserts fill them in one transaction, committed when the writer goes. The points fall into day
// sets of a thousand (set n dated `day0` plus n days), each a waypoint with its reading; a point
// of a track lies in no day set.
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "store/Store.h"

namespace qxbench {

class StoreWriter {
public:
    struct Point {
        std::optional<std::string> name;  // none: an unnamed waypoint
        double latitude = 0, longitude = 0, der = 0, date = 0;
        double variation = 0;
        std::int64_t track = 0, trackPos = 0;  // track 0: in the point's day set
    };

    StoreWriter(const std::filesystem::path& file, double day0) : day0_(day0) {
        { qx::Store tables(file); }
        sqlite3_open(file.c_str(), &db_);
        exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = OFF; PRAGMA cache_size = -262144; BEGIN");
        sqlite3_prepare_v2(db_, "INSERT INTO \"Set\" (id, date) VALUES (?, ?)", -1, &set_, nullptr);
        sqlite3_prepare_v2(db_,
                           "INSERT INTO \"Waypoint\" (id, name, latitude, longitude, altitude, set_id, set_pos, track_id,"
                           " track_pos) VALUES (?, ?, ?, ?, 300, ?, ?, ?, ?)",
                           -1, &waypoint_, nullptr);
        sqlite3_prepare_v2(db_,
                           "INSERT INTO \"Measurement\" (id, date, der, de, variation, deviceName, set_id, set_pos,"
                           " waypoint_id) VALUES (?, ?, ?, 1, ?, 'VN2450', ?, ?, ?)",
                           -1, &reading_, nullptr);
    }
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;
    ~StoreWriter() {
        sqlite3_finalize(set_);
        sqlite3_finalize(waypoint_);
        sqlite3_finalize(reading_);
        exec("COMMIT; PRAGMA wal_checkpoint(TRUNCATE)");
        sqlite3_close(db_);
    }

    // SQL of the caller's own, inside the same transaction.
    void exec(const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            std::cerr << "sql failed: " << (message ? message : "?") << "\n";
            sqlite3_free(message);
        }
    }

    // The next point, its waypoint and reading numbered from 1 in the order they come.
    void add(const Point& p) {
        const std::int64_t i = count_++, row = i + 1, day = i / 1000 + 1, pos = i % 1000;
        if (pos == 0) {
            sqlite3_bind_int64(set_, 1, day);
            sqlite3_bind_double(set_, 2, day0_ + 86400.0 * static_cast<double>(day));
            step(set_);
        }
        const bool inTrack = p.track != 0;
        sqlite3_bind_int64(waypoint_, 1, row);
        if (p.name) sqlite3_bind_text(waypoint_, 2, p.name->c_str(), -1, SQLITE_TRANSIENT);
        else sqlite3_bind_null(waypoint_, 2);
        sqlite3_bind_double(waypoint_, 3, p.latitude);
        sqlite3_bind_double(waypoint_, 4, p.longitude);
        if (inTrack) {
            sqlite3_bind_null(waypoint_, 5);
            sqlite3_bind_int64(waypoint_, 6, 0);
            sqlite3_bind_int64(waypoint_, 7, p.track);
        } else {
            sqlite3_bind_int64(waypoint_, 5, day);
            sqlite3_bind_int64(waypoint_, 6, pos);
            sqlite3_bind_null(waypoint_, 7);
        }
        sqlite3_bind_int64(waypoint_, 8, p.trackPos);
        step(waypoint_);
        sqlite3_bind_int64(reading_, 1, row);
        sqlite3_bind_double(reading_, 2, p.date);
        sqlite3_bind_double(reading_, 3, p.der);
        sqlite3_bind_double(reading_, 4, p.variation);
        sqlite3_bind_int64(reading_, 5, day);
        sqlite3_bind_int64(reading_, 6, pos);
        sqlite3_bind_int64(reading_, 7, row);
        step(reading_);
    }

private:
    static void step(sqlite3_stmt* insert) {
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    double day0_;
    std::int64_t count_ = 0;
    sqlite3* db_ = nullptr;
    sqlite3_stmt *set_ = nullptr, *waypoint_ = nullptr, *reading_ = nullptr;
};

}  // namespace qxbench
