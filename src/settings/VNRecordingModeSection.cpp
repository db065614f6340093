#include "settings/VNRecordingModeSection.h"

#include "link/DeviceManager.h"
#include "model/Settings.h"

namespace qx {

std::optional<std::size_t> VNRecordingModeSection::currentIndex() const {
    return rowOf(Settings::sharedSettings().recordingMode());
}

void VNRecordingModeSection::choose(std::size_t index) {
    const auto mode = static_cast<unsigned>(index);
    Settings::sharedSettings().setRecordingMode(mode);
    DeviceManager::sharedDeviceManager().setDetectorJobMode(mode);
}

}  // namespace qx
