#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

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

    // The dose (µSv) of a stored day, over what its instruments that measure dose gave: the
    // largest minus the smallest dose of their readings, or the largest dose of a track of
    // theirs when that is more (a track's dose runs from its start, before its first stored
    // reading, to its stop). 0 when no instrument of the day measures dose.
    static double doseOfDay(const ManagedObject& day);

    // The instrument name of the reading of a stored track's last point: an empty text when
    // that reading has none; nothing when the track is not stored or has no stored point.
    static std::optional<std::string> lastDeviceName(const ManagedObject& track);

    // The day's or track's readings strictly above the first dose-rate threshold, counted now
    // and written back to its stored `alarms` when that differs.
    static std::int64_t refreshAlarms(ManagedObject& dayOrTrack, int alarmsAttribute, std::int64_t stored);

    // The names of the models whose readings carry a dose, as an SQL list: ('VN2450', ...).
    static const std::string& doseModelsSql();

    // One reading of a track, as a plot of it needs it.
    struct TrackReading {
        plat::Date date;
        double der = 0;
        double de = 0;
        std::int64_t deviceType = 0;
    };
    // The readings of a stored track's waypoints in the track's order, read in one query
    // without making objects (a long track is plotted at once); empty for one not stored yet.
    static std::vector<TrackReading> readingsOfTrack(const ManagedObject& track);
};

}  // namespace qx
