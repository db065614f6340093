#include "settings/SettingsLayer.h"

#include "dashboard/DashboardSections.h"
#include "history/HistoryScreenHooks.h"
#include "settings/SettingsController.h"
#include "settings/SettingsInterfaces.h"
#include "settings/VNBluetoothDevicesSection.h"
#include "settings/VNSetDetailsFilterViewController.h"
#include "settings/VNSetFilterViewController.h"
#include "shell/TabScreens.h"

namespace qx {

void registerSettingsLayer() {
    registerSettingsInterfaces();
    TabScreens::registerFactory(Tab::settings, [] { return SettingsController::make(); });
    DashboardSections::setInstrumentListMaker([] { return VNSection::create<VNBluetoothDevicesSection>(); });
    HistoryScreenHooks::setSetFilterFactory([] { return VNSetFilterViewController::make(); });
    HistoryScreenHooks::setSetDetailsFilterFactory([] { return VNSetDetailsFilterViewController::make(); });
}

}  // namespace qx
