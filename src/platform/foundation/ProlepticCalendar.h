#pragma once

#include <unicode/calendar.h>
#include <unicode/datefmt.h>

namespace plat {

// Every date the program shows is in the Gregorian calendar, in every year: the store, the files
// it writes and reads, and the system's own date functions all count days that way. ICU's
// calendars switch to the Julian calendar before October 1582 unless told otherwise, and would
// show a waypoint of 1234-12-12 as December 5.
class ProlepticCalendar {
public:
    // Makes the calendar Gregorian for all time; a calendar of another kind is left as it is.
    static void apply(icu::Calendar& calendar);
    // The same for the calendar the formatter writes dates with.
    static void apply(icu::DateFormat& format);
};

}  // namespace plat
