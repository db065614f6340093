#include "store/Waypoint.h"

#include <cmath>
#include <cstdio>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "store/Context.h"
#include "store/CurrentReadingSource.h"
#include "store/FetchRequest.h"
#include "store/Measurement.h"
#include "store/ReportHtml.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/WaypointPhotoPrompt.h"

namespace qx {

void Waypoint::setName(std::optional<std::string> name) { assign(name_, nameText(std::move(name)), kName); }
void Waypoint::setLatitude(double v) { assign(latitude_, v, kLatitude); }
void Waypoint::setLongitude(double v) { assign(longitude_, v, kLongitude); }
void Waypoint::setAltitude(double v) { assign(altitude_, v, kAltitude); }
void Waypoint::setPhotoUrl(std::optional<std::string> url) { assign(photoUrl_, std::move(url), kPhotoUrl); }
void Waypoint::setAutoSaved(bool v) { assign(autoSaved_, v, kAutoSaved); }
void Waypoint::setInRadius(bool v) { assign(inRadius_, v, kInRadius); }

void Waypoint::applyLocation(const std::optional<plat::Location>& location) {
    if (location) {
        setLatitude(location->coordinate().latitude);
        setLongitude(location->coordinate().longitude);
        setAltitude(location->altitude());
    } else {
        setLatitude(kNoFix);
        setLongitude(kNoFix);
        setAltitude(kNoFix);
    }
}

std::shared_ptr<Set> Waypoint::set() const { return std::static_pointer_cast<Set>(linkedObject(0)); }
void Waypoint::setSet(const std::shared_ptr<Set>& set) {
    setLinkedObject(0, set.get());
    if (set)
        if (auto m = measurement()) m->setSet(set);
}
std::shared_ptr<Track> Waypoint::track() const { return std::static_pointer_cast<Track>(linkedObject(1)); }
void Waypoint::setTrack(const std::shared_ptr<Track>& track) { setLinkedObject(1, track.get()); }

std::shared_ptr<Measurement> Waypoint::measurement() const {
    return std::static_pointer_cast<Measurement>(inverseObject(0));
}

void Waypoint::setMeasurement(const std::shared_ptr<Measurement>& measurement) {
    if (measurement) {
        measurement->setWaypoint(std::static_pointer_cast<Waypoint>(shared_from_this()));
    } else if (auto current = this->measurement()) {
        current->setWaypoint(nullptr);
    }
}

plat::MapRect Waypoint::boundingMapRect() const {
    if (!hasPosition()) return plat::MapRect::null();
    const auto p = plat::mapPointForCoordinate(coordinate());
    return plat::MapRect::make(p.x - 1000, p.y - 1000, 2000, 2000);
}

void Waypoint::checkDistancefromLocation(const std::optional<plat::Location>& location) {
    setInRadius(location && hasPosition() && isWithin(coordinate(), *location, filterRadius()));
}

double Waypoint::filterRadius() {
    // The distance follows the unit system like the radius circle the world map draws:
    // kilometres, or miles without metric units.
    auto& settings = Settings::sharedSettings();
    return settings.WMDistance() * 1000.0 * (settings.metric() ? 1.0 : static_cast<double>(1.609f));
}

bool Waypoint::isWithin(const plat::Coordinate2D& point, const plat::Location& location, double radius) {
    if (point.latitude == kNoFix && point.longitude == kNoFix) return false;
    return plat::Location::distanceBetween(point, location.coordinate()) <= radius;
}

Predicate Waypoint::positionedInBox(double south, double north, double west, double east) {
    std::vector<Predicate> parts{Key("latitude") >= south, Key("latitude") <= north};
    if (east - west < 360.0) {
        auto wrap = [](double lon) {
            const double w = std::fmod(lon + 180.0, 360.0);
            return (w < 0 ? w + 360.0 : w) - 180.0;
        };
        const double w = wrap(west), e = wrap(east);
        if (w <= e) {
            parts.push_back(Key("longitude") >= w);
            parts.push_back(Key("longitude") <= e);
        } else {
            // Across the 180th meridian: the east end of the box lies on the other side.
            parts.push_back(Key("longitude") >= w || Key("longitude") <= e);
        }
    }
    parts.push_back(Key("latitude") != kNoFix || Key("longitude") != kNoFix);
    return Predicate::andPredicates(std::move(parts));
}

void Waypoint::applyData(double der, double de, double variation, const std::optional<plat::Location>& location,
                         plat::Date date, std::function<void(Waypoint&)> block, ApplyCompletion completion) {
    applyData(CurrentReadingSource::current(), der, de, variation, location, date, std::move(block),
              std::move(completion));
}

void Waypoint::applyData(const CurrentReading& reading, double der, double de, double variation,
                         const std::optional<plat::Location>& location, plat::Date date,
                         std::function<void(Waypoint&)> block, ApplyCompletion completion) {
    const auto track = Track::recordingTrack();
    const std::int64_t trackRow = track ? track->objectID().row : 0;
    auto created = std::make_shared<std::int64_t>(0);
    auto orNone = [](const std::string& s) { return s.empty() ? std::nullopt : std::optional<std::string>(s); };

    Store::defaultStore().saveWithBlock(
        [=, block = std::move(block)](Context& context) {
            auto measurement = context.insertNew<Measurement>();
            measurement->setDate(date);
            measurement->setDer(der);
            measurement->setDe(de);
            measurement->setVariation(variation);
            measurement->setAccumulation(orNone(reading.accumulation));
            measurement->setDeviceType(reading.deviceType);
            measurement->setDeviceName(orNone(reading.deviceName));
            measurement->setDeviceSerial(orNone(reading.deviceSerial));
            measurement->setUploaded(false);

            auto waypoint = context.insertNew<Waypoint>();
            waypoint->applyLocation(location);
            measurement->setWaypoint(waypoint);

            auto day = Set::setForDay(date, context);
            measurement->setSet(day);
            // A track deleted meanwhile no longer takes points: the day does.
            auto recording = trackRow ? context.objectWithRow<Track>(trackRow) : nullptr;
            if (recording) {
                recording->addWaypointsObject(waypoint);
            } else {
                day->addWaypointsObject(waypoint);
            }
            if (block) block(*waypoint);
            *created = waypoint->objectID().row;
        },
        [created, completion = std::move(completion)](bool ok, const StoreError* error) {
            if (!completion) return;
            completion(ok ? Store::defaultStore().mainContext().objectWithRow<Waypoint>(*created) : nullptr, error);
        });
}

void Waypoint::addWaypointWithPhotoPrompt() { WaypointPhotoPrompt::showForCurrentReading(); }

std::string Waypoint::waypointTableHeader() {
    return ReportHtml::tableOpening({"Name", "Date", "Dose rate", "Dose", "Latitude", "Longitude", "Altitude"});
}

std::string Waypoint::waypointTableFooter() { return ReportHtml::kTableClosing; }

std::string Waypoint::waypointTable() const {
    const auto m = measurement();
    char altitude[32];
    std::snprintf(altitude, sizeof altitude, "%.0f", altitude_);
    return "<tr>" + ReportHtml::cell(name_.value_or("")) +
           ReportHtml::cell(m ? DateStrings::dateTimeMediumStr(m->date()) : "") +
           ReportHtml::cell(ReportHtml::dose(m ? m->der() : 0, 0)) + ReportHtml::cell(ReportHtml::dose(m ? m->shownDe() : 0, 1)) +
           ReportHtml::cell(ReportHtml::degrees(latitude_, hasPosition())) +
           ReportHtml::cell(ReportHtml::degrees(longitude_, hasPosition())) +
           ReportHtml::cell(hasAltitude() ? altitude : Language::get("n/a")) + "</tr>";
}

std::string Waypoint::description() const {
    const auto m = measurement();
    std::string s;
    if (name_ && !name_->empty()) s = *name_ + " ";
    if (m) s += DateStrings::dateTimeMediumStr(m->date()) + " ";
    s += ReportHtml::dose(m ? m->der() : 0, 0);
    if (hasPosition()) {
        char pos[64];
        std::snprintf(pos, sizeof pos, " (%.4f, %.4f)", latitude_, longitude_);
        s += pos;
    }
    return s;
}

Value Waypoint::attributeValue(int index) const {
    switch (index) {
        case kName: return textValue(name_);
        case kLatitude: return Value(latitude_);
        case kLongitude: return Value(longitude_);
        case kAltitude: return Value(altitude_);
        case kPhotoUrl: return textValue(photoUrl_);
        case kAutoSaved: return Value(autoSaved_);
        case kInRadius: return Value(inRadius_);
        default: return {};
    }
}

void Waypoint::assignAttribute(int index, const Value& v) {
    switch (index) {
        case kName: name_ = nameText(optionalText(v)); break;
        case kLatitude: latitude_ = v.real(); break;
        case kLongitude: longitude_ = v.real(); break;
        case kAltitude: altitude_ = v.real(); break;
        case kPhotoUrl: photoUrl_ = optionalText(v); break;
        case kAutoSaved: autoSaved_ = v.integer() != 0; break;
        case kInRadius: inRadius_ = v.integer() != 0; break;
        default: break;
    }
}

}  // namespace qx
