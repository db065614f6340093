#include "history/HistoryQuery.h"

#include <vector>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "store/Set.h"

namespace qx {

namespace {

// The start of the local day after the one holding `date`. Half a day past the start of the
// day is always inside it, and a day and a half always inside the next, whether the day has
// 23, 24 or 25 hours.
plat::Date startOfNextDay(plat::Date date) {
    const plat::Date start = DateStrings::beginningOfDay(date);
    return DateStrings::beginningOfDay(plat::Date(start.timeIntervalSince1970() + 36 * 3600.0));
}

// A day passes an instrument filter when any of its readings does: the day's measurements
// include those of its free waypoints, of its tracks' waypoints and its instrument-history
// readings alike.
Predicate someReading(Predicate onReading) {
    return Predicate::subqueryCount("measurements", std::move(onReading), Comparison::greater, 0);
}

std::string withDate(const std::string& format, plat::Date date) {
    std::string text = format;
    const auto at = text.find("%@");
    if (at != std::string::npos) text.replace(at, 2, DateStrings::dateStr(date));
    return text;
}

}  // namespace

Predicate HistoryQuery::predicate(const Settings& settings) {
    std::vector<Predicate> parts;
    if (settings.historyFilterAlarmsOnly()) parts.push_back(Key("alarms") > 0.0);
    if (settings.historyFilterNotUploaded()) parts.push_back(Key("uploaded") == false);
    // Day limits cover whole local days: a limit picked at any time of a day includes that day.
    if (settings.historyDayFrom()) {
        parts.push_back(Key("date") >= DateStrings::beginningOfDay(settings.historyDateFrom()));
    }
    if (settings.historyDaysTo()) parts.push_back(Key("date") < startOfNextDay(settings.historyDateTo()));
    if (const auto& serials = settings.historyDetectorOnlySerials(); !serials.empty()) {
        parts.push_back(someReading(Key("deviceSerial").inRange(serials)));
    }
    if (const unsigned type = settings.historyDeviceTypeOnly(); type != 0) {
        parts.push_back(someReading(Key("deviceType") == static_cast<long long>(type)));
    }
    return Predicate::andPredicates(std::move(parts));
}

const char* HistoryQuery::sortKey(unsigned sortMode) {
    switch (sortMode) {
        case kSortByAlarms: return "alarms";
        case kSortByName: return "name";
        default: return "date";
    }
}

FetchRequest HistoryQuery::fetchRequest(const Settings& settings) {
    FetchRequest request = FetchRequest::of<Set>();
    request.where(predicate(settings)).sortedBy(sortKey(settings.historySortMode()), false);
    return request;
}

std::string HistoryQuery::headerText(const Settings& settings) {
    std::string text = Language::get("Sets:");
    if (settings.historyFilterAlarmsOnly()) text += Language::get("Alarms Only");
    if (settings.historyFilterNotUploaded()) text += Language::get("Not Uploaded");
    const bool from = settings.historyDayFrom(), to = settings.historyDaysTo();
    if (from && to) {
        text += " " + DateStrings::dateStr(settings.historyDateFrom()) + " - " + DateStrings::dateStr(settings.historyDateTo());
    } else if (from) {
        text += withDate(Language::get(" after %@"), settings.historyDateFrom());
    } else if (to) {
        text += withDate(Language::get(" before %@"), settings.historyDateTo());
    }
    return text;
}

}  // namespace qx
