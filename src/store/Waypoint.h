#pragma once

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/map/Coordinate.h"
#include "platform/map/Location.h"
#include "platform/map/MapGeometry.h"
#include "store/CurrentReadingSource.h"
#include "store/ManagedObject.h"
#include "store/Predicate.h"
#include "store/StoreError.h"

namespace qx {

class Context;
class Measurement;
class Set;
class Track;

// A geotagged point owning one measurement. It belongs to a track, or, when taken outside any
// track, to its day set. A point taken without a position fix holds -1 in latitude, longitude
// and altitude.
class Waypoint : public ManagedObject {
public:
    static constexpr EntityKind kEntity = EntityKind::waypoint;
    enum Attribute { kName, kLatitude, kLongitude, kAltitude, kPhotoUrl, kAutoSaved, kInRadius };
    static constexpr double kNoFix = -1;

    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> name);
    double latitude() const { return latitude_; }
    void setLatitude(double v);
    double longitude() const { return longitude_; }
    void setLongitude(double v);
    double altitude() const { return altitude_; }
    void setAltitude(double v);
    // The absolute text of the photo's asset URL; none without a photo.
    const std::optional<std::string>& photoUrl() const { return photoUrl_; }
    void setPhotoUrl(std::optional<std::string> url);
    bool autoSaved() const { return autoSaved_; }
    void setAutoSaved(bool v);
    bool inRadius() const { return inRadius_; }
    void setInRadius(bool v);

    // False for the -1/-1 mark of a point taken without a fix.
    bool hasPosition() const { return !(latitude_ == kNoFix && longitude_ == kNoFix); }
    // False as well for a point with a position but no height (a file's waypoint without an
    // elevation is stored with -1): a screen shows no value rather than "-1 m".
    bool hasAltitude() const { return hasPosition() && altitude_ != kNoFix && std::isfinite(altitude_); }
    plat::Coordinate2D coordinate() const { return {latitude_, longitude_}; }
    // Sets latitude, longitude and altitude from a fix, or all three to -1 without one.
    void applyLocation(const std::optional<plat::Location>& location);

    std::shared_ptr<Set> set() const;
    void setSet(const std::shared_ptr<Set>& set);
    std::shared_ptr<Track> track() const;
    void setTrack(const std::shared_ptr<Track>& track);
    std::shared_ptr<Measurement> measurement() const;
    void setMeasurement(const std::shared_ptr<Measurement>& measurement);

    // A square of 2000 by 2000 map points centred on the waypoint; null without a position.
    plat::MapRect boundingMapRect() const;
    // Sets inRadius to whether the waypoint lies within the world-map filter distance of the
    // location (kilometres, or miles without metric units). A point without a position, or no
    // location at all, is not within it.
    void checkDistancefromLocation(const std::optional<plat::Location>& location);
    // The world-map filter distance in metres: the stored number in kilometres, or in miles
    // without metric units.
    static double filterRadius();
    // Whether a point lies within `radius` metres of the location; never for a point without a
    // position.
    static bool isWithin(const plat::Coordinate2D& point, const plat::Location& location, double radius);
    // Waypoints with a position in the box of latitudes south to north and of longitudes from
    // west eastwards to east. A box whose ends lie beyond the 180th meridian (west above east
    // once both are brought into -180...180, or either outside that range) takes the points on
    // both sides; one 360 degrees wide or more takes every longitude. Points without a fix
    // are never in a box, wherever their -1/-1 mark falls.
    static Predicate positionedInBox(double south, double north, double west, double east);

    // Stores a reading as a new waypoint with its measurement, in a background save: the
    // instrument's device type, name, serial and accumulation come from the current reading
    // source; the position from `location` (-1s without one). The waypoint goes into the
    // recording track when there is one, else into today's set; the measurement always into
    // today's set. `block` runs in the save's context on the new waypoint before it is written
    // (to name it or mark it autosaved); `completion` gets the main context's waypoint.
    using ApplyCompletion = std::function<void(const std::shared_ptr<Waypoint>& waypoint, const StoreError* error)>;
    static void applyData(double der, double de, double variation, const std::optional<plat::Location>& location,
                          plat::Date date, std::function<void(Waypoint&)> block, ApplyCompletion completion = {});
    // The same with the instrument's details as they were when the reading was taken.
    static void applyData(const CurrentReading& instrument, double der, double de, double variation,
                          const std::optional<plat::Location>& location, plat::Date date,
                          std::function<void(Waypoint&)> block, ApplyCompletion completion = {});

    // Asks for a name (and, with the check box, a photo) and stores the current reading as a
    // new waypoint in the recording track or today's set; offers and makes the report to the
    // radiation-reporting service as described by the prompt.
    static void addWaypointWithPhotoPrompt();

    static std::string waypointTableHeader();
    static std::string waypointTableFooter();
    std::string waypointTable() const;
    // One line for a social post.
    std::string description() const;

protected:
    Value attributeValue(int index) const override;
    void assignAttribute(int index, const Value& value) override;

private:
    friend class Context;
    Waypoint() : ManagedObject(kEntity) {}

    std::optional<std::string> name_;
    double latitude_ = kNoFix;
    double longitude_ = kNoFix;
    double altitude_ = kNoFix;
    std::optional<std::string> photoUrl_;
    bool autoSaved_ = false;
    bool inRadius_ = false;
};

}  // namespace qx
