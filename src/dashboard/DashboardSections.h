#pragma once

#include <functional>

#include "shell/VNSection.h"

namespace qx {

// The sections the dashboard's secondary screens host: one per dashboard mode for the mode
// settings (0 dose rate, 1 dose, 2 search), and the list of Bluetooth LE instruments, which the
// settings layer makes (until it registers its maker the dashboard lists the found
// instruments itself).
class DashboardSections {
public:
    using Maker = std::function<VNSectionPtr()>;

    static void setInstrumentListMaker(Maker maker);
    static void clear();

    // A new section for the mode (an unknown mode is treated as the dose rate).
    static VNSectionPtr makeModeSection(unsigned mode);
    static VNSectionPtr makeInstrumentListSection();
};

}  // namespace qx
