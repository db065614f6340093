#include "settings/VNSetDetailsFilterSection.h"

#include "model/Settings.h"

namespace qx {

void VNSetDetailsFilterSection::initRows() {
    setRows(instrumentRows());
    // Kept cells were made from the values of their time; show the current ones.
    updateCellsTitles();
}

void VNSetDetailsFilterSection::applyToSettings(Settings& settings) const {
    settings.setHistoryFilterAlarmsOnly(alarmsChecked());
    settings.setHistoryDeviceTypeOnly(deviceType());
    settings.setHistoryDetectorOnlySerials(detectors());
}

}  // namespace qx
