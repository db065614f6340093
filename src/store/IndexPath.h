#pragma once

#include "platform/ui/IndexPath.h"

namespace qx {

// Positions in live lists are the table views' own.
using IndexPath = plat::IndexPath;

}  // namespace qx
