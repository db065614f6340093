#include "settings/SettingsLayer.h"

#include "dashboard/DashboardSections.h"
#include "history/HistoryScreenHooks.h"
#include "maps/VNTrackViewController.h"
#include "maps/WorldMapController.h"
#include "settings/SettingsController.h"
#include "settings/SettingsInterfaces.h"
#include "settings/VNBluetoothDevicesSection.h"
#include "settings/VNSetDetailsFilterViewController.h"
#include "settings/VNSetFilterViewController.h"
#include "settings/VNTrackAutoSaveSettingSection.h"
#include "settings/VNTrackThresholdsSettiingsSection.h"
#include "settings/VNWMFilterViewController.h"
#include "shell/TabScreens.h"

namespace qx {

void registerSettingsLayer() {
    registerSettingsInterfaces();
    TabScreens::registerFactory(Tab::settings, [] { return SettingsController::make(); });
    WorldMapController::setFilterScreenFactory([] { return VNWMFilterViewController::make(); });
    DashboardSections::setInstrumentListMaker([] { return VNSection::create<VNBluetoothDevicesSection>(); });
    HistoryScreenHooks::setSetFilterFactory([] { return VNSetFilterViewController::make(); });
    HistoryScreenHooks::setSetDetailsFilterFactory([] { return VNSetDetailsFilterViewController::make(); });
    // The table screen becomes the sections' parent controller when it takes them.
    VNTrackViewController::setSettingsSectionsMaker([](const std::shared_ptr<VNTableViewController>&) {
        return std::vector<VNSectionPtr>{VNSection::create<VNTrackAutoSaveSettingSection>(),
                                         VNSection::create<VNTrackThresholdsSettiingsSection>()};
    });
}

}  // namespace qx
