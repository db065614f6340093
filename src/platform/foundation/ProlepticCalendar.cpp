#include "platform/foundation/ProlepticCalendar.h"

#include <unicode/gregocal.h>

#include <memory>

namespace plat {

void ProlepticCalendar::apply(icu::Calendar& calendar) {
    auto* gregorian = dynamic_cast<icu::GregorianCalendar*>(&calendar);
    if (!gregorian) return;
    UErrorCode status = U_ZERO_ERROR;
    gregorian->setGregorianChange(U_DATE_MIN, status);
}

void ProlepticCalendar::apply(icu::DateFormat& format) {
    const icu::Calendar* current = format.getCalendar();
    if (!current) return;
    std::unique_ptr<icu::Calendar> calendar(current->clone());
    apply(*calendar);
    format.adoptCalendar(calendar.release());
}

}  // namespace plat
