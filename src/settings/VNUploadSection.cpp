#include "settings/VNUploadSection.h"

#include "model/Settings.h"

namespace qx {

const std::vector<std::string>& VNUploadSection::modeKeys() {
    static const std::vector<std::string> keys{"Manually upload", "Auto upload", "Auto upload alarm events"};
    return keys;
}

std::optional<std::size_t> VNUploadSection::currentIndex() const {
    return rowOf(Settings::sharedSettings().RRUploadMode());
}

void VNUploadSection::choose(std::size_t index) {
    auto& settings = Settings::sharedSettings();
    settings.setRRUploadMode(static_cast<unsigned>(index));
    settings.save();
}

}  // namespace qx
