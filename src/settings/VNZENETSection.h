#pragma once

#include "shell/VNSection.h"

namespace qx {

class VNZENETSection : public VNSection {};

}  // namespace qx
