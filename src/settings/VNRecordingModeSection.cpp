#include "settings/VNRecordingModeSection.h"

#include "link/DeviceManager.h"
#include "model/Settings.h"

namespace qx {

std::optional<std::size_t> VNRecordingModeSection::currentIndex() const {
    return rowOf(Settings::sharedSettings().recordingMode());
}

void VNRecordingModeSection::choose(std::size_t index) {
    const auto mode = static_cast<unsigned>(index);
    auto& settings = Settings::sharedSettings();
    settings.setRecordingMode(mode);
    settings.save();
    DeviceManager::sharedDeviceManager().setDetectorJobMode(mode);
}

}  // namespace qx
