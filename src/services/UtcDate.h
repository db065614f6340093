#pragma once

#include <string>

#include "platform/foundation/Date.h"

namespace qx {

// The date in UTC in a strftime form ("%Y-%m-%dT%H:%M:%S"), whole seconds.
std::string utcDateText(plat::Date date, const char* format);

}  // namespace qx
