#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/map/Location.h"
#include "platform/map/MapGeometry.h"
#include "store/ManagedObject.h"
#include "store/StoreError.h"

namespace qx {

class Context;
class Set;
class Store;
class Waypoint;

// One recorded track: its figures, its day set and its waypoints in the order they were added.
// At most one track is recording: the class-level current track.
class Track : public ManagedObject {
public:
    static constexpr EntityKind kEntity = EntityKind::track;
    enum Attribute {
        kName, kDateFrom, kDateTo, kDe, kDistance, kAvgSpeed, kMaxSpeed, kMinAltitude, kMaxAltitude, kAlarms, kUploaded
    };

    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> name);
    plat::Date dateFrom() const { return dateFrom_; }
    void setDateFrom(plat::Date d);
    plat::Date dateTo() const { return dateTo_; }
    void setDateTo(plat::Date d);
    double de() const { return de_; }  // dose gathered during the track, µSv
    void setDe(double v);
    // The end and the dose as far as the track has come: while it records, now and the dose
    // the instrument gathered since the start; otherwise the stored ones.
    plat::Date currentDateTo() const;
    double currentDe() const;
    // Whether the instrument of the track's last point measures dose; a track without points
    // shows the dose it gathered.
    bool measuresDose() const;
    // currentDe of such a track, else 0 (which every screen shows as not available).
    double shownDe() const;
    // Whether this is the track being recorded now (not stopped).
    bool isRecording() const;
    double distance() const { return distance_; }  // metres
    void setDistance(double v);
    double avgSpeed() const { return avgSpeed_; }  // metres per second
    void setAvgSpeed(double v);
    double maxSpeed() const { return maxSpeed_; }
    void setMaxSpeed(double v);
    double minAltitude() const { return minAltitude_; }  // metres
    void setMinAltitude(double v);
    double maxAltitude() const { return maxAltitude_; }
    void setMaxAltitude(double v);
    bool uploaded() const { return uploaded_; }
    void setUploaded(bool v);
    // The number of waypoints whose reading is strictly above the first dose-rate threshold,
    // counted in the store on each call (and kept there for sorting).
    std::int64_t alarms();
    std::int64_t storedAlarms() const { return alarms_; }

    std::shared_ptr<Set> set() const;
    void setSet(const std::shared_ptr<Set>& set);
    std::vector<std::shared_ptr<Waypoint>> waypoints() const;
    std::size_t waypointsCount() const { return inverseRows(0).size(); }
    // The store rows of the waypoints, in the order added, without loading them.
    const std::vector<std::int64_t>& waypointRows() const { return inverseRows(0); }
    void addWaypointsObject(const std::shared_ptr<Waypoint>& waypoint);

    // Dose-rate (µSv/h) and dose (µSv) figures over the readings of the stored waypoints:
    // without waypoints the smallest dose rate is +infinity and the rest 0.
    double minDER() const;
    double avgDER() const;
    double maxDER() const;
    double minDE() const;
    double maxDE() const;
    std::optional<plat::Date> minWpDate() const;
    std::optional<plat::Date> maxWpDate() const;
    // The time from dateFrom to currentDateTo: "hh:mm:ss", with the days in front when there are any.
    std::string duration() const;
    // The map rectangle of the waypoints that have a position, grown by 10 % of its width and
    // height on each side; null without such waypoints.
    plat::MapRect boundingMapRect() const;
    // The red or orange alarm image by maxDER against the dose-rate thresholds, else empty.
    std::string alarmIcon() const;
    // The same for a highest dose rate already known (µSv/h).
    static std::string alarmIconForDoseRate(double maxDoseRate);

    // The recording track (main context), or none.
    static std::shared_ptr<Track> getCurrentTrack();
    static void setCurrentTrack(std::shared_ptr<Track> track);
    // Whether the current track was stopped: no more waypoints go into it.
    static bool isCurrentTrackStopped();
    // The current track while it is recording (not stopped), else none.
    static std::shared_ptr<Track> recordingTrack();
    // Whether a reading of the recording could not be stored (a full disk): its figures,
    // counted from every fix, then run ahead of its stored points until refigured from them.
    // Main thread only; a new recording starts without.
    static void setRecordingFiguresAhead(bool ahead);
    static bool recordingFiguresAhead();
    // Creates, saves and makes current a new track starting now, notes the instrument's dose
    // and announces the track to the handler (the map screens make its path). None when it
    // cannot be saved (`error` says why): nothing records then.
    static std::shared_ptr<Track> startTrack(StoreError* error = nullptr);
    // Marks the current track stopped and, in a background save, ends it now with the dose
    // gathered since its start; when its last readings could not be stored, it ends at its
    // last stored point with the dose gathered until then.
    static void stopTrack(std::function<void(bool success)> completion = {});
    // Takes a position fix of the recording into the distance, altitude and speed figures;
    // `previous` is the fix before it, none for the first.
    // The average speed is the distance covered while moving over the time it took.
    void addLocation(const plat::Location& fix, const std::optional<plat::Location>& previous);
    // Above this speed (metres per second) a fix counts as moving; below, GPS drift of a
    // person standing still.
    static constexpr double kMovingSpeed = 0.5;
    // Distance, altitudes and speeds taken again from the stored points alone, in the order
    // added, as if they were the recording's fixes.
    void refigureFromStoredPoints();
    // Ends the track at its last stored point, with the dose its stored readings gathered
    // since `startDose` (the instrument's at the start; negative when not known: since the
    // first stored reading). Nothing without stored points.
    void endAtStoredPoints(double startDose);
    // Ends the tracks an ended program left recording (their end time is still their start):
    // each gets its figures back from its stored points, and joins the day it began on when it
    // has none; one without points goes, as a stop would discard it. Returns how many were seen.
    static std::size_t closeTracksLeftOpen(Context& context);
    // The name typed for a stopped track whose save was refused (a full disk): the track stays
    // open in the store, for the next start to close, and the name waits for the store's close,
    // which writes it once there is room again.
    static void keepNameUntilClose(std::int64_t row, std::string name);
    // Writes the waiting names into their tracks and forgets them; the store's close runs it.
    static void saveNamesWaitingForClose(Store& store);
    using StartHandler = std::function<void(const std::shared_ptr<Track>&)>;
    static void setTrackStartedHandler(StartHandler handler);

    static std::string trackTableHeader();
    static std::string trackTableFooter();
    std::string trackTable() const;
    // Three lines for a social post: name and day; start, end and duration; dose rates and dose.
    std::string description() const;

protected:
    Value attributeValue(int index) const override;
    void assignAttribute(int index, const Value& value) override;

private:
    friend class Context;
    Track() : ManagedObject(kEntity) {}

    std::optional<std::string> name_;
    plat::Date dateFrom_;
    plat::Date dateTo_;
    double de_ = 0;
    double distance_ = 0;
    double avgSpeed_ = 0;
    double maxSpeed_ = 0;
    double minAltitude_ = 0;
    double maxAltitude_ = 0;
    std::int64_t alarms_ = 0;
    bool uploaded_ = false;
    // Not stored: what the fixes of the recording have added up so far. A recording takes its
    // fixes on one object from its start, and one taken up again (a restart, a full disk)
    // counts its stored points afresh.
    double movingMetres_ = 0;
    double movingSeconds_ = 0;
    bool altitudeSeen_ = false;
};

}  // namespace qx
