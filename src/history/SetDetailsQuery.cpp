#include "history/SetDetailsQuery.h"

#include <vector>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "store/Set.h"

namespace qx::SetDetailsQuery {

namespace {

// The key paths of one entity that the filters and sort keys use.
struct Keys {
    const char* der;  // the dose rate compared with the alarm threshold
    bool anyDer;      // through a to-many relation
    const char* uploaded;
    const char* dayFrom;
    const char* dayTo;
    const char* sortByDate;
    const char* sortByAlarms;
    const char* sortByName;  // measurements have no name: their date instead
};

constexpr Keys kTrackKeys{
    "waypoints.measurement.der", true, "uploaded", "dateFrom", "dateTo", "dateFrom", "alarms", "name"};
constexpr Keys kWaypointKeys{
    "measurement.der", false, "measurement.uploaded", "measurement.date", "measurement.date", "measurement.date",
    "measurement.der", "name"};
constexpr Keys kMeasurementKeys{"der", false, "uploaded", "date", "date", "date", "der", "date"};

FetchRequest request(EntityKind entity, const Set& set, Settings& settings, const Keys& keys,
                     std::vector<Predicate> parts) {
    parts.insert(parts.begin(), Key("set") == Value(set.objectID()));
    if (settings.historyFilterAlarmsOnly()) {
        const double threshold = settings.DERthreshold().firstThreshold->value();
        parts.push_back(keys.anyDer ? Key(keys.der).any() > threshold : Key(keys.der) > threshold);
    }
    // A waypoint carries no upload flag of its own: its reading's flag stands for it.
    if (settings.historyFilterNotUploaded()) parts.push_back(Key(keys.uploaded) == false);
    if (settings.historyDayFrom()) {
        parts.push_back(Key(keys.dayFrom) >= DateStrings::beginningOfDay(settings.historyDateFrom()));
    }
    // The upper limit's own day is excluded.
    if (settings.historyDaysTo()) {
        parts.push_back(Key(keys.dayTo) < DateStrings::beginningOfDay(settings.historyDateTo()));
    }
    FetchRequest out(entity);
    out.where(Predicate::andPredicates(std::move(parts)));
    switch (settings.historySortMode()) {
        case 1:
            out.sortedBy(keys.sortByAlarms, false);
            break;
        case 2:
            out.sortedBy(keys.sortByName, false);
            break;
        default:
            out.sortedBy(keys.sortByDate, false);
            break;
    }
    return out;
}

// A translated pattern with its "%@" replaced by the date.
std::string withDate(std::string pattern, const std::string& date) {
    const auto at = pattern.find("%@");
    return at == std::string::npos ? pattern + date : pattern.replace(at, 2, date);
}

}  // namespace

FetchRequest tracks(const Set& set, Settings& settings) {
    std::vector<Predicate> parts;
    if (const unsigned type = settings.historyDeviceTypeOnly(); type != 0) {
        parts.push_back(
            Predicate::subqueryCount("waypoints", Key("measurement.deviceType") == type, Comparison::notEqual, 0));
    }
    return request(EntityKind::track, set, settings, kTrackKeys, std::move(parts));
}

FetchRequest waypoints(const Set& set, Settings& settings) {
    std::vector<Predicate> parts;
    if (const unsigned type = settings.historyDeviceTypeOnly(); type != 0) {
        parts.push_back(Key("measurement.deviceType") == type);
    }
    return request(EntityKind::waypoint, set, settings, kWaypointKeys, std::move(parts));
}

FetchRequest measurements(const Set& set, Settings& settings) {
    std::vector<Predicate> parts{Key("waypoint").isNull()};
    if (const unsigned type = settings.historyDeviceTypeOnly(); type != 0) parts.push_back(Key("deviceType") == type);
    return request(EntityKind::measurement, set, settings, kMeasurementKeys, std::move(parts));
}

std::string filterText(Settings& settings) {
    std::string text;
    if (settings.historyFilterAlarmsOnly()) text += Language::get("Alarms Only,");
    if (settings.historyFilterNotUploaded()) text += Language::get("Not Uploaded");
    const bool from = settings.historyDayFrom(), to = settings.historyDaysTo();
    const std::string fromText = DateStrings::dateStr(settings.historyDateFrom());
    const std::string toText = DateStrings::dateStr(settings.historyDateTo());
    if (from && to) {
        text += " " + fromText + " - " + toText;
    } else if (from) {
        text += withDate(Language::get(" after %@"), fromText);
    } else if (to) {
        text += withDate(Language::get(" before %@"), toText);
    }
    return text;
}

}  // namespace qx::SetDetailsQuery
