#include "settings/SettingsController.h"

#include "link/DeviceManager.h"
#include "link/VNBTLEManager.h"
#include "model/Language.h"
#include "settings/VNAppSettingsSection.h"
#include "settings/VNDeviceSettingSection.h"
#include "settings/VNHistorySection.h"
#include "settings/VNInfoSettingsSection.h"
#include "settings/VNNetworkSection.h"

namespace qx {

namespace {

constexpr const char* kAppTitle = "     App Settings";
constexpr const char* kInfoTitle = "     Info";
constexpr const char* kHistoryTitle = "     Device History";
constexpr const char* kDeviceTitle = "     Device";
constexpr const char* kNetworkTitle = "     Networked Solution";

}  // namespace

void SettingsController::viewDidLoad() {
    VNTableViewController::viewDidLoad();
    auto& center = plat::NotificationCenter::defaultCenter();
    versionObserver_ =
        center.addObserver(kVersionReceivedNotification, [this](const plat::Notification&) { setupSections(); });
    presentObserver_ =
        center.addObserver(kDevicePresentNotification, [this](const plat::Notification&) { setupSections(); });
    navItem().setTitle(Language::get("Settings"));
    setupSections();
}

void SettingsController::setupSections() {
    appSection_ = VNSection::sectionWithTitle<VNAppSettingsSection>(Language::get(kAppTitle));
    infoSection_ = VNSection::sectionWithTitle<VNInfoSettingsSection>(Language::get(kInfoTitle));
    historySection_ = VNSection::sectionWithTitle<VNHistorySection>(Language::get(kHistoryTitle));
    networkSection_ = VNSection::sectionWithTitle<VNNetworkSection>(Language::get(kNetworkTitle));

    std::vector<VNSectionPtr> list{appSection_, infoSection_};
    const auto type = DeviceManager::sharedDeviceManager().deviceType();
    if (type == 2) list.push_back(historySection_);
    // The section of an instrument that is gone goes with it.
    deviceSection_.reset();
    if (type == 1 || type == 2) {
        deviceSection_ = VNSection::sectionWithTitle<VNDeviceSettingSection>(Language::get(kDeviceTitle));
    } else if (type != 0) {
        deviceSection_ = VNSection::create<VNDeviceSettingSection>(VNBTLEManager::sharedInstance().dataService());
        deviceSection_->setTitle(Language::get(kDeviceTitle));
        deviceSection_->initRows();
    }
    if (deviceSection_) list.push_back(deviceSection_);
    list.push_back(networkSection_);

    setSections(std::move(list));
    // Before the view is loaded the table reads the sections when it is made.
    if (isViewLoaded()) tableView()->reloadData();
}

void SettingsController::titleSections() {
    const std::pair<VNSection*, const char*> titled[] = {{appSection_.get(), kAppTitle},
                                                        {infoSection_.get(), kInfoTitle},
                                                        {historySection_.get(), kHistoryTitle},
                                                        {deviceSection_.get(), kDeviceTitle},
                                                        {networkSection_.get(), kNetworkTitle}};
    for (const auto& [section, key] : titled) {
        if (section) section->setTitle(Language::get(key));
    }
}

void SettingsController::languageDidSwitch() {
    navItem().setTitle(Language::get("Settings"));
    titleSections();
    if (isViewLoaded()) {
        navBar()->setNeedsDisplay();
        tableView()->reloadData();
    }
}

}  // namespace qx
