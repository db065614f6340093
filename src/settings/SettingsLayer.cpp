#include "settings/SettingsLayer.h"

#include "dashboard/DashboardSections.h"
#include "maps/WorldMapController.h"
#include "settings/SettingsController.h"
#include "settings/SettingsInterfaces.h"
#include "settings/VNBluetoothDevicesSection.h"
#include "settings/VNWMFilterViewController.h"
#include "shell/TabScreens.h"

namespace qx {

void registerSettingsLayer() {
    registerSettingsInterfaces();
    TabScreens::registerFactory(Tab::settings, [] { return SettingsController::make(); });
    WorldMapController::setFilterScreenFactory([] { return VNWMFilterViewController::make(); });
    DashboardSections::setInstrumentListMaker([] { return VNSection::create<VNBluetoothDevicesSection>(); });
}

}  // namespace qx
