#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "store/DayFigures.h"
#include "store/ManagedObject.h"

namespace qx {

class Context;
class Track;
class Waypoint;
class Measurement;

// One local calendar day of readings: its tracks, the waypoints taken outside any track, and
// every measurement of the day (the instrument-history readings without a waypoint included).
class Set : public ManagedObject {
public:
    static constexpr EntityKind kEntity = EntityKind::set;
    enum Attribute { kDate, kName, kAlarms, kUploaded };

    plat::Date date() const { return date_; }  // 00:00:00 local time of the day
    void setDate(plat::Date date);
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> name);
    // The number of the day's readings above the first dose-rate threshold, counted again on
    // each read and kept in the store so that lists can filter and sort on it.
    std::int64_t alarms();
    std::int64_t storedAlarms() const { return alarms_; }
    bool uploaded() const { return uploaded_; }
    void setUploaded(bool uploaded);

    // Ordered relations, in the order the objects were added.
    std::vector<std::shared_ptr<Track>> tracks() const;
    std::vector<std::shared_ptr<Waypoint>> waypoints() const;
    std::vector<std::shared_ptr<Measurement>> measurements() const;
    std::size_t tracksCount() const { return inverseRows(0).size(); }
    std::size_t waypointsCount() const { return inverseRows(1).size(); }
    // The rows of the waypoints, in order, without reading the waypoints.
    const std::vector<std::int64_t>& waypointRows() const { return inverseRows(1); }
    std::size_t measurementsCount() const { return inverseRows(2).size(); }
    void addTracksObject(const std::shared_ptr<Track>& track);
    void addWaypointsObject(const std::shared_ptr<Waypoint>& waypoint);
    void addMeasurementsObject(const std::shared_ptr<Measurement>& measurement);

    // Lowest and highest dose rate (µSv/h) over the day's measurements, waypoints and tracks;
    // the lowest is +infinity and the highest 0 when nothing has a value.
    double minDER() const;
    double maxDER() const;
    // The day's dose, over the readings of its instruments that measure dose (ReadingStats::doseOfDay).
    double dose() const;
    // "icon-max-dose-red.png" above the second dose-rate threshold, "icon-max-dose-orange.png"
    // above the first, else empty.
    std::string alarmIcon() const;

    // Today's set in the main context: the cached one while it is still today's, else the set
    // of the start of today, found or created (not uploaded) and saved. Main thread only.
    static std::shared_ptr<Set> getCurrentSet();
    static void setCurrentSet(std::shared_ptr<Set> set);
    // Today's set in any context (created there when missing; the save then joins it with a
    // set of the same day that appeared meanwhile).
    static std::shared_ptr<Set> currentSetInContext(Context& context);
    // The set of the local day holding `date`, found or created in `context`.
    static std::shared_ptr<Set> setForDay(plat::Date date, Context& context);

    // HTML of the report: the opening and closing of a day's table, and the day's rows
    // (heading, tracks, waypoints and history readings). Every text is escaped.
    static std::string reportTableHeader();
    static std::string reportTableFooter();
    std::string reportTable() const;

protected:
    Value attributeValue(int index) const override;
    void assignAttribute(int index, const Value& value) override;

private:
    friend class Context;
    Set() : ManagedObject(kEntity) {}
    // The day's kept figures (none for a day not stored yet).
    DayFigures figures() const;

    plat::Date date_;
    std::optional<std::string> name_;
    std::int64_t alarms_ = 0;
    bool uploaded_ = false;
};

}  // namespace qx
