#pragma once

#include <string_view>

namespace bb {

// Questions about the system the library runs on; each answer is worked out once.
class BBCompatibility {
public:
    static bool allowedToRun_5_0();
    static bool allowedToRun_6_0();
    // The interface idiom: this platform has neither a phone nor a pad idiom.
    static bool isIdiomIPhone();
    static bool isIdiomIPad();

    // Compares version texts with their runs of digits taken as numbers ("10.2" after "9.11"):
    // negative, zero or positive.
    static int compareVersions(std::string_view a, std::string_view b);
};

}  // namespace bb
