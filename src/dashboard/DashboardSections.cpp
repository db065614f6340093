#include "dashboard/DashboardSections.h"

#include "dashboard/FoundInstrumentsSection.h"
#include "dashboard/VNDoseThresholdsSection.h"
#include "dashboard/VNSearchSettingSection.h"

namespace qx {

namespace {

DashboardSections::Maker& instrumentListMaker() {
    static DashboardSections::Maker maker;
    return maker;
}

}  // namespace

void DashboardSections::setInstrumentListMaker(Maker maker) { instrumentListMaker() = std::move(maker); }

void DashboardSections::clear() { instrumentListMaker() = {}; }

VNSectionPtr DashboardSections::makeModeSection(unsigned mode) {
    switch (mode) {
        case 1: return VNSection::create<VNDoseThresholdsSection>();
        case 2: return VNSection::create<VNSearchSettingSection>();
        default: return VNSection::create<VNDoseRateThresholdsSection>();
    }
}

VNSectionPtr DashboardSections::makeInstrumentListSection() {
    if (const auto& maker = instrumentListMaker()) {
        if (auto section = maker()) return section;
    }
    return VNSection::create<FoundInstrumentsSection>();
}

}  // namespace qx
