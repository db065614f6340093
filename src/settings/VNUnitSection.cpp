#include "settings/VNUnitSection.h"

#include "model/Settings.h"

namespace qx {

std::optional<std::size_t> VNUnitSection::currentIndex() const {
    return rowOf(Settings::sharedSettings().unit());
}

void VNUnitSection::choose(std::size_t index) {
    auto& settings = Settings::sharedSettings();
    settings.setUnit(static_cast<unsigned>(index));
    settings.save();
}

}  // namespace qx
