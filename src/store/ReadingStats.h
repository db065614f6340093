#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "platform/foundation/Date.h"
#include "store/ManagedObject.h"

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

    // The readings of a stored day (its own measurements, its waypoints' and its tracks'
    // waypoints') or of a stored track (its waypoints'); empty for anything not stored yet.
    static ReadingStats of(const ManagedObject& dayOrTrack);

    // The day's or track's readings strictly above the first dose-rate threshold, counted now
    // and written back to its stored `alarms` when that differs.
    static std::int64_t refreshAlarms(ManagedObject& dayOrTrack, int alarmsAttribute, std::int64_t stored);
};

}  // namespace qx
