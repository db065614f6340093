#pragma once

#include "shell/VNSection.h"

namespace qx {

class VNRRESSection : public VNSection {};

}  // namespace qx
