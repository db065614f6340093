#pragma once

#include <string>

#include "platform/foundation/Date.h"

namespace qx {

// Date texts: the fixed "dd.MM.yyyy" and the styles of the interface language's locale, all in
// the local time zone.
class DateStrings {
public:
    static std::string dateStr(plat::Date date);            // dd.MM.yyyy
    static std::string timeStr(plat::Date date);            // short time
    static std::string timeMediumStr(plat::Date date);      // medium time
    static std::string dateMediumStr(plat::Date date);      // medium date
    static std::string dateLongStr(plat::Date date);        // full date
    static std::string dateTimeShortStr(plat::Date date);   // short date, short time
    static std::string dateTimeMediumStr(plat::Date date);  // medium date, medium time
    static std::string dateTimeLongStr(plat::Date date);    // full date, medium time
    // ISO 8601 in UTC with milliseconds when there are any ("2026-12-07T10:00:00Z").
    static std::string iso8601(plat::Date date);

    // 00:00:00 of the same local calendar day (the first valid instant of the day where the
    // clocks jump over midnight).
    static plat::Date beginningOfDay(plat::Date date);

    // Changes the local time zone (an Olson id such as "Europe/Berlin").
    static void setTimeZone(const std::string& olsonId);
};

}  // namespace qx
