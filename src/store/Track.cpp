#include "store/Track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "model/DateStrings.h"
#include "model/DeviceModels.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "store/CurrentReadingSource.h"
#include "store/FetchRequest.h"
#include "store/Measurement.h"
#include "store/ReadingStats.h"
#include "store/ReportHtml.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

struct Recording {
    std::shared_ptr<Track> track;
    bool stopped = false;
    bool figuresAhead = false;  // fixes counted whose readings were not stored
    double startDose = 0;
    Track::StartHandler onStart;
};

Recording& recording() {
    static Recording r;
    return r;
}

std::map<std::int64_t, std::string>& namesWaitingForClose() {
    static std::map<std::int64_t, std::string> names;
    return names;
}

}  // namespace

void Track::setName(std::optional<std::string> name) { assign(name_, nameText(std::move(name)), kName); }
void Track::setDateFrom(plat::Date d) { assign(dateFrom_, d, kDateFrom); }
void Track::setDateTo(plat::Date d) { assign(dateTo_, d, kDateTo); }
void Track::setDe(double v) { assign(de_, v, kDe); }
void Track::setDistance(double v) { assign(distance_, v, kDistance); }
void Track::setAvgSpeed(double v) { assign(avgSpeed_, v, kAvgSpeed); }
void Track::setMaxSpeed(double v) { assign(maxSpeed_, v, kMaxSpeed); }
void Track::setMinAltitude(double v) { assign(minAltitude_, v, kMinAltitude); }
void Track::setMaxAltitude(double v) { assign(maxAltitude_, v, kMaxAltitude); }
void Track::setUploaded(bool v) { assign(uploaded_, v, kUploaded); }

std::int64_t Track::alarms() { return ReadingStats::refreshAlarms(*this, kAlarms, alarms_); }

std::shared_ptr<Set> Track::set() const { return std::static_pointer_cast<Set>(linkedObject(0)); }
void Track::setSet(const std::shared_ptr<Set>& set) { setLinkedObject(0, set.get()); }

std::vector<std::shared_ptr<Waypoint>> Track::waypoints() const { return downcast<Waypoint>(inverseObjects(0)); }

void Track::addWaypointsObject(const std::shared_ptr<Waypoint>& waypoint) {
    if (waypoint) waypoint->setTrack(std::static_pointer_cast<Track>(shared_from_this()));
}

double Track::minDER() const { return ReadingStats::of(*this).minDER; }
double Track::avgDER() const { return ReadingStats::of(*this).avgDER; }
double Track::maxDER() const { return ReadingStats::of(*this).maxDER; }
double Track::minDE() const { return ReadingStats::of(*this).minDE; }
double Track::maxDE() const { return ReadingStats::of(*this).maxDE; }
std::optional<plat::Date> Track::minWpDate() const { return ReadingStats::of(*this).minDate; }
std::optional<plat::Date> Track::maxWpDate() const { return ReadingStats::of(*this).maxDate; }

bool Track::isRecording() const {
    const auto track = recordingTrack();
    return track && (track.get() == this || track->objectID() == objectID());
}

plat::Date Track::currentDateTo() const { return isRecording() ? std::max(plat::Date::now(), dateTo_) : dateTo_; }

double Track::currentDe() const {
    if (!isRecording()) return de_;
    return CurrentReadingSource::current().dose - recording().startDose;
}

double Track::shownDe() const { return measuresDose() ? currentDe() : 0; }

bool Track::measuresDose() const {
    const auto name = ReadingStats::lastDeviceName(*this);
    if (name) return DeviceModels::nameReportsDose(*name);
    // Not stored yet, or its points are not: the objects tell. A track without points (one
    // recording before its first) shows what it gathered.
    const auto points = waypoints();
    if (points.empty()) return true;
    const auto reading = points.back()->measurement();
    return reading && reading->measuresDose();
}

std::string Track::duration() const {
    const double span = currentDateTo().timeIntervalSince(dateFrom_);
    const long s = span > 0 ? static_cast<long>(span) : 0;
    const long days = s / 86400, hours = (s % 86400) / 3600, minutes = (s % 3600) / 60, seconds = s % 60;
    char buf[64];
    if (days > 0) {
        std::snprintf(buf, sizeof buf, "%ld %s %02ld:%02ld:%02ld", days, Language::get("d").c_str(), hours, minutes,
                      seconds);
    } else {
        std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", hours, minutes, seconds);
    }
    return buf;
}

plat::MapRect Track::boundingMapRect() const {
    // Points taken without a fix carry no position; counting their -1/-1 mark would stretch the
    // rectangle to the Gulf of Guinea.
    plat::MapRect rect = plat::MapRect::null();
    for (const auto& w : waypoints()) {
        if (!w->hasPosition()) continue;
        const auto p = plat::mapPointForCoordinate(w->coordinate());
        rect = rect.unionWith(plat::MapRect::make(p.x, p.y, 0, 0));
    }
    if (rect.isNull()) return rect;
    return rect.insetBy(-rect.size.width * 0.1, -rect.size.height * 0.1);
}

std::string Track::alarmIcon() const { return alarmIconForDoseRate(maxDER()); }

std::string Track::alarmIconForDoseRate(double doseRate) {
    auto& threshold = Settings::sharedSettings().DERthreshold();
    if (doseRate > threshold.secondThreshold->value()) return "icon-max-dose-red.png";
    if (doseRate > threshold.firstThreshold->value()) return "icon-max-dose-orange.png";
    return {};
}

std::shared_ptr<Track> Track::getCurrentTrack() {
    auto& r = recording();
    if (r.track && r.track->isDeleted()) r.track.reset();
    return r.track;
}

void Track::setCurrentTrack(std::shared_ptr<Track> track) {
    auto& r = recording();
    r.track = std::move(track);
    r.stopped = false;
    r.figuresAhead = false;
}

void Track::setRecordingFiguresAhead(bool ahead) {
    if (recordingTrack()) recording().figuresAhead = ahead;
}

bool Track::recordingFiguresAhead() { return recording().figuresAhead; }

bool Track::isCurrentTrackStopped() { return recording().stopped; }

std::shared_ptr<Track> Track::recordingTrack() {
    auto track = getCurrentTrack();
    return track && !recording().stopped ? track : nullptr;
}

void Track::setTrackStartedHandler(StartHandler handler) { recording().onStart = std::move(handler); }

std::shared_ptr<Track> Track::startTrack(StoreError* failure) {
    Context& context = Store::defaultStore().mainContext();
    // The recording belongs to today from its start: the day's lists show it, next to the
    // readings it brings the day, while it records. Saving it under a name keeps it there.
    auto day = Set::getCurrentSet();
    auto track = context.insertNew<Track>();
    track->setSet(day);
    const auto now = plat::Date::now();
    track->setDateFrom(now);
    track->setDateTo(now);
    track->setUploaded(false);
    track->setDistance(0);
    track->setAvgSpeed(0);
    track->setMaxSpeed(0);
    track->setMinAltitude(0);
    track->setMaxAltitude(0);
    StoreError error;
    if (!context.save(&error)) {
        plat::Log::line("Track startTrack: save failed: " + error.message);
        // A track that is not stored would take no points: the recording does not begin.
        context.rollback();
        reportError(failure, error);
        return nullptr;
    }
    setCurrentTrack(track);
    recording().startDose = CurrentReadingSource::current().dose;
    if (recording().onStart) recording().onStart(track);
    return track;
}

void Track::stopTrack(std::function<void(bool success)> completion) {
    auto track = getCurrentTrack();
    if (!track) {
        if (completion) completion(false);
        return;
    }
    recording().stopped = true;
    const auto row = track->objectID().row;
    const auto now = plat::Date::now();
    const double startDose = recording().startDose;
    const double gathered = CurrentReadingSource::current().dose - startDose;
    // Readings refused since the last stored point (a full disk) are not part of the track:
    // it ends where its stored points end.
    const bool ahead = recording().figuresAhead;
    // The end goes with the figures: a track with its end stored counts as closed, and is never
    // worked out again from its points, though the save of its name (and figures) may fail.
    const double distance = track->distance(), avgSpeed = track->avgSpeed(), maxSpeed = track->maxSpeed();
    const double minAltitude = track->minAltitude(), maxAltitude = track->maxAltitude();
    Store::defaultStore().saveWithBlock(
        [=](Context& context) {
            auto t = context.objectWithRow<Track>(row);
            if (!t) return;
            if (ahead) {
                t->refigureFromStoredPoints();
                t->endAtStoredPoints(startDose);
                return;
            }
            t->setDistance(distance);
            t->setAvgSpeed(avgSpeed);
            t->setMaxSpeed(maxSpeed);
            t->setMinAltitude(minAltitude);
            t->setMaxAltitude(maxAltitude);
            t->setDateTo(now);
            t->setDe(gathered);
        },
        [completion = std::move(completion)](bool ok, const StoreError*) {
            if (completion) completion(ok);
        });
}

void Track::addLocation(const plat::Location& fix, const std::optional<plat::Location>& previous) {
    const double speed = fix.speed();
    if (previous) {
        // The first fix has nowhere to come from: it adds no distance.
        const double step = fix.distanceFromLocation(*previous);
        setDistance(distance() + step);
        // Standing still (and an unknown speed, which is negative) is no part of the average:
        // it is the way covered while moving over the time that took, so that fixes and
        // stored points taken at other rhythms give one figure for one walk.
        const double seconds = fix.timestamp().timeIntervalSince(previous->timestamp());
        if (speed > kMovingSpeed && seconds > 0 && std::isfinite(step)) {
            movingMetres_ += step;
            movingSeconds_ += seconds;
            setAvgSpeed(movingMetres_ / movingSeconds_);
        }
    }

    // Sea level is an altitude like any other: the lowest and highest are those of the fixes
    // seen, not of a zero the track started with.
    const double altitude = fix.altitude();
    if (std::isfinite(altitude)) {
        if (!altitudeSeen_ || altitude < minAltitude()) setMinAltitude(altitude);
        if (!altitudeSeen_ || altitude > maxAltitude()) setMaxAltitude(altitude);
        altitudeSeen_ = true;
    }
    if (speed > maxSpeed()) setMaxSpeed(speed);
}

void Track::refigureFromStoredPoints() {
    // The stored points stand for the fixes of the recording; their speeds are what it took
    // to go from one to the next.
    setDistance(0);
    setAvgSpeed(0);
    setMaxSpeed(0);
    setMinAltitude(0);
    setMaxAltitude(0);
    movingMetres_ = movingSeconds_ = 0;
    altitudeSeen_ = false;
    std::optional<plat::Location> previous;
    for (const auto& point : waypoints()) {
        const auto m = point->measurement();
        if (!point->hasPosition() || !m) continue;
        double speed = -1;
        const plat::Location bare(point->coordinate(), point->altitude(), 0, -1, -1, m->date());
        if (previous) {
            const double seconds = m->date().timeIntervalSince(previous->timestamp());
            if (seconds > 0) speed = bare.distanceFromLocation(*previous) / seconds;
        }
        const plat::Location fix(point->coordinate(), point->altitude(), 0, speed, -1, m->date());
        addLocation(fix, previous);
        previous = fix;
    }
}

void Track::endAtStoredPoints(double startDose) {
    const auto stats = ReadingStats::of(*this);
    if (!stats.count) return;
    if (stats.maxDate && *stats.maxDate > dateFrom_) setDateTo(*stats.maxDate);
    else setDateTo(dateFrom_);
    // The instrument's dose only grows during a track: its last stored reading has the most.
    // Without the dose at the start (a program that ended), the first stored reading stands in.
    const double from = startDose >= 0 && startDose <= stats.maxDE ? startDose : stats.minDE;
    setDe(stats.maxDE - from);
}

std::size_t Track::closeTracksLeftOpen(Context& context) {
    // A recording ends with its end time set (a stop), or the track goes (a discard); older
    // versions also kept it out of its day until then.
    std::vector<std::shared_ptr<Track>> open;
    for (auto& track : context.fetch<Track>(FetchRequest::of<Track>().sortedBy("dateFrom")))
        if (!track->set() || track->dateTo() <= track->dateFrom()) open.push_back(std::move(track));
    for (const auto& track : open) {
        if (track->waypointsCount() == 0) {
            context.deleteObject(track);
            continue;
        }
        track->refigureFromStoredPoints();
        track->endAtStoredPoints(-1);
        if (track->set()) continue;
        auto day = Set::setForDay(track->dateFrom(), context);
        track->setSet(day);
        day->addTracksObject(track);
    }
    return open.size();
}

void Track::keepNameUntilClose(std::int64_t row, std::string name) { namesWaitingForClose()[row] = std::move(name); }

void Track::saveNamesWaitingForClose(Store& store) {
    auto names = std::exchange(namesWaitingForClose(), {});
    if (names.empty()) return;
    StoreError error;
    // Only the names: the next start closes the tracks from their stored points.
    const bool ok = store.saveWithBlockAndWait(
        [&names](Context& context) {
            for (const auto& [row, name] : names)
                if (auto t = context.objectWithRow<Track>(row)) t->setName(name);
        },
        &error);
    if (!ok) plat::Log::line("Track: the names of stopped tracks could not be saved: " + error.message);
}

std::string Track::trackTableHeader() {
    return "<table cellpadding=\"2\" cellspacing=\"0\" width=\"100%\" border=\"1\">";
}

std::string Track::trackTableFooter() { return "</table><br>"; }

std::string Track::trackTable() const {
    const auto stats = ReadingStats::of(*this);
    auto row = [](const char* caption, const std::string& value) {
        return "<tr>" + ReportHtml::headerCell(Language::get(caption)) + ReportHtml::cell(value) + "</tr>";
    };
    char distance[32];
    std::snprintf(distance, sizeof distance, "%.0f m", distance_);
    std::string html = "<tr><th colspan=\"2\">" +
                       ReportHtml::escape(name_.value_or(DateStrings::dateLongStr(dateFrom_))) + "</th></tr>";
    html += row("Start", DateStrings::dateTimeMediumStr(dateFrom_));
    html += row("End", DateStrings::dateTimeMediumStr(currentDateTo()));
    html += row("Duration", duration());
    html += row("Distance", distance);
    html += row("Waypoints", std::to_string(stats.count));
    html += row("Min dose rate", ReportHtml::dose(stats.count ? stats.minDER : 0, 0));
    html += row("Avg dose rate", ReportHtml::dose(stats.avgDER, 0));
    html += row("Max dose rate", ReportHtml::dose(stats.maxDER, 0));
    html += row("Dose", ReportHtml::dose(shownDe(), 1));
    const auto points = waypoints();
    if (!points.empty()) {
        html += "<tr><td colspan=\"2\">" + Waypoint::waypointTableHeader();
        for (const auto& w : points) html += w->waypointTable();
        html += Waypoint::waypointTableFooter() + "</td></tr>";
    }
    return html;
}

std::string Track::description() const {
    const auto stats = ReadingStats::of(*this);
    std::string title = name_ && !name_->empty() ? *name_ : Language::get("Track");
    return title + " " + DateStrings::dateMediumStr(dateFrom_) + "\n" + DateStrings::timeMediumStr(dateFrom_) + " - " +
           DateStrings::timeMediumStr(currentDateTo()) + " (" + duration() + ")\n" + Language::get("Max:") + " " +
           ReportHtml::dose(stats.maxDER, 0) + ", " + Language::get("Dose:") + " " + ReportHtml::dose(shownDe(), 1);
}

Value Track::attributeValue(int index) const {
    switch (index) {
        case kName: return textValue(name_);
        case kDateFrom: return Value(dateFrom_);
        case kDateTo: return Value(dateTo_);
        case kDe: return Value(de_);
        case kDistance: return Value(distance_);
        case kAvgSpeed: return Value(avgSpeed_);
        case kMaxSpeed: return Value(maxSpeed_);
        case kMinAltitude: return Value(minAltitude_);
        case kMaxAltitude: return Value(maxAltitude_);
        case kAlarms: return Value(static_cast<long long>(alarms_));
        case kUploaded: return Value(uploaded_);
        default: return {};
    }
}

void Track::assignAttribute(int index, const Value& v) {
    switch (index) {
        case kName: name_ = nameText(optionalText(v)); break;
        case kDateFrom: dateFrom_ = plat::Date(v.real()); break;
        case kDateTo: dateTo_ = plat::Date(v.real()); break;
        case kDe: de_ = v.real(); break;
        case kDistance: distance_ = v.real(); break;
        case kAvgSpeed: avgSpeed_ = v.real(); break;
        case kMaxSpeed: maxSpeed_ = v.real(); break;
        case kMinAltitude: minAltitude_ = v.real(); break;
        case kMaxAltitude: maxAltitude_ = v.real(); break;
        case kAlarms: alarms_ = v.integer(); break;
        case kUploaded: uploaded_ = v.integer() != 0; break;
        default: break;
    }
}

}  // namespace qx
