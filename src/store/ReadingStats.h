#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "platform/foundation/Date.h"

namespace qx {

class Context;

// Aggregates over a group of stored readings, computed by the database in one query.
struct ReadingStats {
    std::int64_t count = 0;
    double minDER = std::numeric_limits<double>::infinity();  // +inf without readings
    double maxDER = 0;
    double avgDER = 0;
    double minDE = 0;
    double maxDE = 0;
    std::optional<plat::Date> minDate;
    std::optional<plat::Date> maxDate;

    // The readings of a day: its own measurements, its waypoints' and its tracks' waypoints'.
    static ReadingStats ofSet(Context& context, std::int64_t row);
    // The readings of a track's waypoints.
    static ReadingStats ofTrack(Context& context, std::int64_t row);

    // Stored alarm counts: readings strictly above `threshold` (µSv/h).
    static std::int64_t setAlarms(Context& context, std::int64_t row, double threshold);
    static std::int64_t trackAlarms(Context& context, std::int64_t row, double threshold);
    // The first dose-rate threshold as the stored alarm counts use it, read for `context`'s
    // thread (the preferences on the main thread, the store's last copy elsewhere).
    static double alarmThreshold(Context& context);
};

}  // namespace qx
