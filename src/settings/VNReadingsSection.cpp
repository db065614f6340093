#include "settings/VNReadingsSection.h"

#include "model/Settings.h"

namespace qx {

std::optional<std::size_t> VNReadingsSection::currentIndex() const { return Settings::sharedSettings().metric() ? 1 : 0; }

void VNReadingsSection::choose(std::size_t index) {
    auto& settings = Settings::sharedSettings();
    settings.setMetric(index != 0);
    settings.save();
}

}  // namespace qx
