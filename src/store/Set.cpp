#include "store/Set.h"

#include <algorithm>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "store/Context.h"
#include "store/DayFigures.h"
#include "store/Measurement.h"
#include "store/ReadingStats.h"
#include "store/ReportHtml.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

namespace {
std::shared_ptr<Set>& cachedCurrentSet() {
    static std::shared_ptr<Set> set;
    return set;
}
}  // namespace

void Set::setDate(plat::Date date) { assign(date_, date, kDate); }
void Set::setName(std::optional<std::string> name) { assign(name_, nameText(std::move(name)), kName); }
void Set::setUploaded(bool uploaded) { assign(uploaded_, uploaded, kUploaded); }

std::int64_t Set::alarms() { return ReadingStats::refreshAlarms(*this, kAlarms, alarms_); }

std::vector<std::shared_ptr<Track>> Set::tracks() const { return downcast<Track>(inverseObjects(0)); }
std::vector<std::shared_ptr<Waypoint>> Set::waypoints() const { return downcast<Waypoint>(inverseObjects(1)); }
std::vector<std::shared_ptr<Measurement>> Set::measurements() const {
    return downcast<Measurement>(inverseObjects(2));
}

void Set::addTracksObject(const std::shared_ptr<Track>& track) {
    if (track) track->setSet(std::static_pointer_cast<Set>(shared_from_this()));
}
void Set::addWaypointsObject(const std::shared_ptr<Waypoint>& waypoint) {
    if (waypoint) waypoint->setSet(std::static_pointer_cast<Set>(shared_from_this()));
}
void Set::addMeasurementsObject(const std::shared_ptr<Measurement>& measurement) {
    if (measurement) measurement->setSet(std::static_pointer_cast<Set>(shared_from_this()));
}

double Set::minDER() const { return figures().minDER; }
double Set::maxDER() const { return figures().maxDER; }

DayFigures Set::figures() const {
    Context* context = managedObjectContext();
    if (!context || isInserted()) return {};
    return DayFigures::of(context->connection(), objectID().row);
}

double Set::dose() const { return ReadingStats::doseOfDay(*this); }

std::string Set::alarmIcon() const {
    const double max = maxDER();
    auto& threshold = Settings::sharedSettings().DERthreshold();
    if (max > threshold.secondThreshold->value()) return "icon-max-dose-red.png";
    if (max > threshold.firstThreshold->value()) return "icon-max-dose-orange.png";
    return {};
}

std::shared_ptr<Set> Set::getCurrentSet() {
    auto& cached = cachedCurrentSet();
    Context& context = Store::defaultStore().mainContext();
    const auto today = DateStrings::beginningOfDay(plat::Date::now());
    // The cache holds today's set only: after midnight, or once the set is gone, look again.
    if (cached && !cached->isDeleted() && cached->managedObjectContext() == &context && cached->date() == today)
        return cached;
    auto set = setForDay(today, context);
    if (set->isInserted()) {
        StoreError error;
        if (!context.save(&error)) plat::Log::line("Set getCurrentSet: save failed: " + error.message);
    }
    cached = set;
    return set;
}

void Set::setCurrentSet(std::shared_ptr<Set> set) { cachedCurrentSet() = std::move(set); }

std::shared_ptr<Set> Set::currentSetInContext(Context& context) {
    if (context.isMain()) return getCurrentSet();
    return setForDay(plat::Date::now(), context);
}

std::shared_ptr<Set> Set::setForDay(plat::Date date, Context& context) {
    const auto day = DateStrings::beginningOfDay(date);
    for (const auto& o : context.insertedObjects(kEntity)) {
        auto set = std::static_pointer_cast<Set>(o);
        if (set->date() == day) return set;
    }
    auto found = context.fetchFirst<Set>(FetchRequest::of<Set>().where(Key("date") == day));
    if (found) return found;
    auto set = context.insertNew<Set>();
    set->setDate(day);
    set->setUploaded(false);
    return set;
}

std::string Set::reportTableHeader() {
    return "<table cellpadding=\"0\" cellspacing=\"5\" width=\"100%\" style=\"border:2px solid black; "
           "margin-bottom:20px;\"><tr><td>";
}

std::string Set::reportTableFooter() { return "</td></tr></table><br>"; }

std::string Set::reportTable() const {
    const auto stats = ReadingStats::of(*this);
    std::string html = "<h2>" + ReportHtml::escape(name_.value_or(DateStrings::dateLongStr(date_))) + "</h2>";
    html += "<p>" + ReportHtml::escape(Language::get("Date:") + " " + DateStrings::dateStr(date_)) + "<br>" +
            ReportHtml::escape(Language::get("Min:") + " " + ReportHtml::dose(stats.count ? stats.minDER : 0, 0)) +
            "<br>" + ReportHtml::escape(Language::get("Max:") + " " + ReportHtml::dose(stats.maxDER, 0)) + "<br>" +
            ReportHtml::escape(Language::get("Dose:") + " " + ReportHtml::dose(dose(), 1)) +
            "</p>";
    const auto dayTracks = tracks();
    if (!dayTracks.empty()) {
        html += "<h3>" + ReportHtml::escape(Language::get("Tracks:")) + "</h3>";
        for (const auto& t : dayTracks) html += Track::trackTableHeader() + t->trackTable() + Track::trackTableFooter();
    }
    const auto dayWaypoints = waypoints();
    if (!dayWaypoints.empty()) {
        html += "<h3>" + ReportHtml::escape(Language::get("Waypoints:")) + "</h3>" + Waypoint::waypointTableHeader();
        for (const auto& w : dayWaypoints) html += w->waypointTable();
        html += Waypoint::waypointTableFooter();
    }
    std::string history;
    for (const auto& m : measurements())
        if (!m->waypoint()) history += m->measurementTable();
    if (!history.empty()) {
        html += "<h3>" + ReportHtml::escape(Language::get("Measurements:")) + "</h3>" +
                Measurement::measurementTableHeader() + history + Measurement::measurementTableFooter();
    }
    return html;
}

Value Set::attributeValue(int index) const {
    switch (index) {
        case kDate: return Value(date_);
        case kName: return textValue(name_);
        case kAlarms: return Value(static_cast<long long>(alarms_));
        case kUploaded: return Value(uploaded_);
        default: return {};
    }
}

void Set::assignAttribute(int index, const Value& v) {
    switch (index) {
        case kDate: date_ = plat::Date(v.real()); break;
        case kName: name_ = nameText(optionalText(v)); break;
        case kAlarms: alarms_ = v.integer(); break;
        case kUploaded: uploaded_ = v.integer() != 0; break;
        default: break;
    }
}

}  // namespace qx
