#include "dashboard/DashboardSections.h"

#include <array>

#include "dashboard/FoundInstrumentsSection.h"
#include "dashboard/ModeSummarySection.h"

namespace qx {

namespace {

struct Makers {
    std::array<DashboardSections::Maker, 3> modes;
    DashboardSections::Maker instruments;
};

Makers& makers() {
    static Makers m;
    return m;
}

unsigned knownMode(unsigned mode) { return mode < 3 ? mode : 0; }

}  // namespace

void DashboardSections::setModeSectionMaker(unsigned mode, Maker maker) {
    if (mode < 3) makers().modes[mode] = std::move(maker);
}

void DashboardSections::setInstrumentListMaker(Maker maker) { makers().instruments = std::move(maker); }

void DashboardSections::clear() { makers() = Makers{}; }

VNSectionPtr DashboardSections::makeModeSection(unsigned mode) {
    mode = knownMode(mode);
    if (const auto& maker = makers().modes[mode]) {
        if (auto section = maker()) return section;
    }
    return VNSection::create<ModeSummarySection>(mode);
}

VNSectionPtr DashboardSections::makeInstrumentListSection() {
    if (const auto& maker = makers().instruments) {
        if (auto section = maker()) return section;
    }
    return VNSection::create<FoundInstrumentsSection>();
}

}  // namespace qx
