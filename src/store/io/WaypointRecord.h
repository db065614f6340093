#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"

namespace qx {

// One reading as it travels through a waypoint file: the measurement's fields, and the
// position and name of its waypoint when it has one. Kept free of the store so that the file
// formats can be written, read and tested on their own.
struct WaypointRecord {
    plat::Date date;
    double der = 0;        // micro-sievert per hour
    double variation = 0;  // percent
    double de = 0;         // micro-sievert
    std::string accumulation;
    // A reading of no waypoint has no position at all; a waypoint may lack only the altitude.
    std::optional<double> latitude;
    std::optional<double> longitude;
    std::optional<double> altitude;
    std::string name;
    int deviceType = 0;
    std::string deviceName;
    std::string deviceSerial;

    bool hasPosition() const { return latitude.has_value() && longitude.has_value(); }
    bool operator==(const WaypointRecord&) const = default;
};

// Why a file or its rows could not be read, in terms a person can act on. Texts of the form
// "a number such as 0.12" are keys of the language table; column names are the file's own.
struct WaypointReadDiagnosis {
    // The column of the first skipped row that could not be read (empty when the row as a whole
    // was unreadable) and what it should have held.
    std::string firstBadField;
    std::string firstBadExpected;
    // The columns a reader knows, and those the file's header named, when some were not known.
    std::vector<std::string> expectedColumns;
    std::vector<std::string> foundColumns;
    std::vector<std::string> unknownColumns;

    bool operator==(const WaypointReadDiagnosis&) const = default;
};

// What a reader got out of a file. `readable` is false when the file as a whole could not be
// taken (not a CSV with a date column, not well-formed XML...): then `records` is empty and
// `error`/`errorLine` say why. Otherwise rows that could not be read were left out and counted.
struct WaypointReadResult {
    bool readable = true;
    std::string error;
    std::string errorName;  // what the error's "%@" stands for
    std::size_t errorLine = 0;
    std::vector<WaypointRecord> records;
    std::size_t skipped = 0;
    std::size_t firstBadLine = 0;  // 1-based line of the first skipped row, 0 when none
    WaypointReadDiagnosis diagnosis;
    // The encoding a file without one of its own was read in, when it was not UTF-8, and how
    // many characters could not be read and were replaced by U+FFFD.
    std::string readAs;
    std::size_t replacedCharacters = 0;
    // Waypoints of a GPX file left out for having no time (counted in `skipped` too).
    std::size_t withoutTime = 0;
    // Tracks and routes of a GPX file, which are not imported.
    std::size_t tracksLeftOut = 0;
    std::size_t routesLeftOut = 0;

    void skipRow(std::size_t line, std::string field = {}, std::string expected = {}) {
        if (++skipped - withoutTime != 1) return;
        firstBadLine = line;
        diagnosis.firstBadField = std::move(field);
        diagnosis.firstBadExpected = std::move(expected);
    }
    void fail(std::string why, std::size_t line) {
        readable = false;
        error = std::move(why);
        errorLine = line;
        records.clear();
    }
};

// Takes the records a reader has gathered so far, leaving `records` empty; false to stop reading.
// A reader given one hands its records over in batches as it goes, so that a file of millions of
// rows never has them all in memory at once.
using WaypointRecordSink = std::function<bool(std::vector<WaypointRecord>& records)>;

}  // namespace qx
