#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace qx {

class Connection;

// What the history list shows of a stored day (its lowest and highest dose rate, the dose its
// readings span, the readings above the alarm threshold), kept in the file beside the day, so
// that a day of a reading a second is not read whole each time its row is shown.
//
// The readings of a day are its own measurements and those of its waypoints and of its tracks'
// waypoints (ReadingStats::of), each once. Triggers keep a day's row up to date as readings are
// stored, and remove it when a reading of the day is deleted or changed, or when points or
// tracks move between days: the next read works the day out again, once, and keeps it. A new
// day starts with an empty row; a day stored by an earlier version has none until first read.
class DayFigures {
public:
    double minDER = std::numeric_limits<double>::infinity();  // +inf without readings
    double maxDER = 0;
    // The largest minus the smallest dose of the readings of instruments that measure dose;
    // 0 without such readings.
    double readingsDose = 0;

    // The figures of the stored day of `row` (a Set's row). Where the file cannot keep them (it
    // is read-only) they are worked out on every read.
    static DayFigures of(Connection& c, std::int64_t row);
    // How many of the day's own measurements read strictly above `threshold`: counted once per
    // threshold and then kept up to date like the figures.
    static std::int64_t alarms(Connection& c, std::int64_t row, double threshold);

    // The table and its triggers, as a step of the file's upgrades.
    static std::string schemaSql();
};

}  // namespace qx
