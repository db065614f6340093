#include <gtest/gtest.h>

#include "ModelTestFixture.h"

using qx::DateStrings;

namespace {
// 2026-03-05 14:07:09 UTC = 15:07:09 in Berlin (winter time).
const plat::Date kDate(1772719629);
}  // namespace

TEST_F(ModelTest, FixedDateTextUsesLocalTime) {
    EXPECT_EQ(DateStrings::dateStr(kDate), "05.03.2026");
    DateStrings::setTimeZone("Pacific/Kiritimati");  // UTC+14: already the next day
    EXPECT_EQ(DateStrings::dateStr(kDate), "06.03.2026");
}

TEST_F(ModelTest, DateTextsFollowTheInterfaceLanguage) {
    struct Case {
        const char* language;
        const char* mediumDate;
        const char* shortTime;
    };
    for (const Case& c : {Case{"en", "Mar 5, 2026", "3:07\u202FPM"}, Case{"ja", "2026/03/05", "15:07"},
                          Case{"ru", "5 мар. 2026\u202Fг.", "15:07"}, Case{"de", "05.03.2026", "15:07"}}) {
        useLanguage(c.language);
        EXPECT_EQ(DateStrings::dateMediumStr(kDate), c.mediumDate) << c.language;
        EXPECT_EQ(DateStrings::timeStr(kDate), c.shortTime) << c.language;
        EXPECT_NE(DateStrings::timeMediumStr(kDate).find("09"), std::string::npos) << c.language;
        EXPECT_NE(DateStrings::dateTimeMediumStr(kDate).find(DateStrings::timeMediumStr(kDate)), std::string::npos);
    }
    useLanguage("de");
    EXPECT_EQ(DateStrings::dateLongStr(kDate), "Donnerstag, 5. März 2026");
    EXPECT_NE(DateStrings::dateTimeLongStr(kDate).find("Donnerstag"), std::string::npos);
}

// Dates before the Gregorian reform of 1582 are the days the store and the files count, not the
// Julian calendar's (which is a week and more behind by then).
TEST_F(ModelTest, OldDatesAreGregorianDays) {
    const plat::Date old(-23196024000);     // 1234-12-12 12:00 UTC
    const plat::Date reform(-12220200000);  // 1582-10-04 12:00 UTC, ten days before the reform
    EXPECT_EQ(DateStrings::dateLongStr(old), "Tuesday, December 12, 1234");
    EXPECT_EQ(DateStrings::dateStr(old), "12.12.1234");
    EXPECT_EQ(DateStrings::dateMediumStr(reform), "Oct 4, 1582");
    // Berlin kept its local mean time then, 53:28 ahead of UTC.
    EXPECT_EQ(DateStrings::beginningOfDay(old), plat::Date(-23196024000.0 - 12 * 3600 - (53 * 60 + 28)));
    useLanguage("de");
    EXPECT_EQ(DateStrings::dateLongStr(old), "Dienstag, 12. Dezember 1234");
}

TEST_F(ModelTest, BeginningOfDayIsLocalMidnightAcrossClockChanges) {
    // Berlin springs forward on 2026-03-29 (02:00 -> 03:00) and falls back on 2026-10-25.
    const plat::Date springEvening(1774807200);  // 2026-03-29 20:00 CEST = 18:00 UTC
    const plat::Date springMidnight(1774738800);  // 2026-03-29 00:00 CET = 2026-03-28 23:00 UTC
    EXPECT_EQ(DateStrings::beginningOfDay(springEvening), springMidnight);
    const plat::Date autumnEvening(1792958400);  // 2026-10-25 21:00 CET = 20:00 UTC
    const plat::Date autumnMidnight(1792879200);  // 2026-10-25 00:00 CEST = 2026-10-24 22:00 UTC
    EXPECT_EQ(DateStrings::beginningOfDay(autumnEvening), autumnMidnight);
    EXPECT_EQ(DateStrings::beginningOfDay(autumnMidnight), autumnMidnight);
}

TEST_F(ModelTest, BeginningOfDayWhereMidnightDoesNotExist) {
    // In Santiago the clocks jump from 00:00 to 01:00 on 2026-09-06: the day starts at 01:00.
    DateStrings::setTimeZone("America/Santiago");
    const plat::Date noon(1788710400);  // 2026-09-06 12:00 -03 = 15:00 UTC
    const plat::Date start = DateStrings::beginningOfDay(noon);
    EXPECT_EQ(start, plat::Date(1788667200)) << "01:00 -03 = 04:00 UTC";
}

TEST_F(ModelTest, IsoDatesAreUtc) {
    EXPECT_EQ(DateStrings::iso8601(kDate), "2026-03-05T14:07:09Z");
    EXPECT_EQ(DateStrings::iso8601(plat::Date(1772719629.25)), "2026-03-05T14:07:09.250Z");
}
