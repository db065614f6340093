#pragma once

#include <string>

namespace bb {

// Fresh random identifiers in the canonical upper-case form 8-4-4-4-12, used to name queue files
// and sessions.
class BBUUID {
public:
    static std::string uuidString();
};

}  // namespace bb
