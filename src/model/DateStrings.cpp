#include "model/DateStrings.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>

#include "model/Language.h"
#include "platform/foundation/ProlepticCalendar.h"

namespace qx {

namespace {

std::mutex icuMutex;  // ICU formatters are not safe to share between threads

std::string toUtf8(const icu::UnicodeString& s) {
    std::string out;
    s.toUTF8String(out);
    return out;
}

UDate toUDate(plat::Date date) { return date.timeIntervalSince1970() * 1000.0; }

icu::DateFormat& formatter(icu::DateFormat::EStyle dateStyle, icu::DateFormat::EStyle timeStyle) {
    static std::map<std::tuple<std::string, int, int>, std::unique_ptr<icu::DateFormat>> cache;
    const std::string locale = Language::localeName(Language::currentLanguage());
    auto key = std::tuple{locale, static_cast<int>(dateStyle), static_cast<int>(timeStyle)};
    auto& slot = cache[key];
    if (!slot) {
        slot.reset(icu::DateFormat::createDateTimeInstance(dateStyle, timeStyle, icu::Locale(locale.c_str())));
        plat::ProlepticCalendar::apply(*slot);
    }
    // The default zone may have changed since the formatter was made.
    slot->adoptTimeZone(icu::TimeZone::createDefault());
    return *slot;
}

std::string format(plat::Date date, icu::DateFormat::EStyle dateStyle, icu::DateFormat::EStyle timeStyle) {
    std::lock_guard lock(icuMutex);
    icu::UnicodeString out;
    formatter(dateStyle, timeStyle).format(toUDate(date), out);
    return toUtf8(out);
}

}  // namespace

std::string DateStrings::dateStr(plat::Date date) {
    std::lock_guard lock(icuMutex);
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat f(icu::UnicodeString("dd.MM.yyyy"), icu::Locale::getRoot(), status);
    if (U_FAILURE(status)) return {};
    plat::ProlepticCalendar::apply(f);
    icu::UnicodeString out;
    f.format(toUDate(date), out);
    return toUtf8(out);
}

std::string DateStrings::timeStr(plat::Date d) { return format(d, icu::DateFormat::kNone, icu::DateFormat::kShort); }
std::string DateStrings::timeMediumStr(plat::Date d) { return format(d, icu::DateFormat::kNone, icu::DateFormat::kMedium); }
std::string DateStrings::dateMediumStr(plat::Date d) { return format(d, icu::DateFormat::kMedium, icu::DateFormat::kNone); }
std::string DateStrings::dateLongStr(plat::Date d) { return format(d, icu::DateFormat::kFull, icu::DateFormat::kNone); }
std::string DateStrings::dateTimeShortStr(plat::Date d) { return format(d, icu::DateFormat::kShort, icu::DateFormat::kShort); }
std::string DateStrings::dateTimeMediumStr(plat::Date d) { return format(d, icu::DateFormat::kMedium, icu::DateFormat::kMedium); }
std::string DateStrings::dateTimeLongStr(plat::Date d) { return format(d, icu::DateFormat::kFull, icu::DateFormat::kMedium); }

std::string DateStrings::iso8601(plat::Date date) {
    const double t = date.timeIntervalSince1970();
    const double whole = std::floor(t);
    const auto millis = static_cast<int>(std::lround((t - whole) * 1000));
    std::time_t secs = static_cast<std::time_t>(whole) + (millis == 1000 ? 1 : 0);
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char buf[96];
    if (millis == 0 || millis == 1000) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                      tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                      tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    }
    return buf;
}

plat::Date DateStrings::beginningOfDay(plat::Date date) {
    std::lock_guard lock(icuMutex);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(icu::Calendar::createInstance(icu::TimeZone::createDefault(), status));
    if (U_FAILURE(status)) return date;
    plat::ProlepticCalendar::apply(*cal);
    cal->setTime(toUDate(date), status);
    const int32_t year = cal->get(UCAL_YEAR, status);
    const int32_t month = cal->get(UCAL_MONTH, status);
    const int32_t day = cal->get(UCAL_DATE, status);
    cal->clear();
    // Where midnight does not exist (clocks jump forward at 00:00), take the first valid instant
    // of the day rather than a time on the evening before.
    cal->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
    cal->setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
    cal->set(year, month, day, 0, 0, 0);
    UDate start = cal->getTime(status);
    if (U_FAILURE(status)) return date;
    return plat::Date(start / 1000.0);
}

void DateStrings::setTimeZone(const std::string& olsonId) {
    std::lock_guard lock(icuMutex);
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(olsonId)));
}

}  // namespace qx
