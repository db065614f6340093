#pragma once

#include <memory>

#include "platform/foundation/NotificationCenter.h"
#include "shell/VNTableViewController.h"

namespace qx {

class VNAppSettingsSection;
class VNInfoSettingsSection;
class VNHistorySection;
class VNDeviceSettingSection;
class VNSection;

// The Settings tab: the application settings and the information always, the instrument's
// history for the accessory model that keeps one, the instrument whenever one is connected,
// and the networked services. Every section is built anew when an instrument connects, is lost
// or reports its version.
class SettingsController : public VNTableViewController {
public:
    static std::shared_ptr<SettingsController> make() { return std::make_shared<SettingsController>(); }

    void viewDidLoad() override;
    // Builds every section anew from the preferences and the connected instrument.
    void setupSections();
    // Titles the bar and all kept sections, shown or not, then reloads.
    void languageDidSwitch() override;

    const std::shared_ptr<VNAppSettingsSection>& appSection() const { return appSection_; }
    const std::shared_ptr<VNInfoSettingsSection>& infoSection() const { return infoSection_; }
    const std::shared_ptr<VNHistorySection>& historySection() const { return historySection_; }
    // None while no instrument is connected.
    const std::shared_ptr<VNDeviceSettingSection>& deviceSection() const { return deviceSection_; }
    const std::shared_ptr<VNSection>& networkSection() const { return networkSection_; }

    std::string kindName() const override { return "SettingsScreen"; }

private:
    void titleSections();

    std::shared_ptr<VNAppSettingsSection> appSection_;
    std::shared_ptr<VNInfoSettingsSection> infoSection_;
    std::shared_ptr<VNHistorySection> historySection_;
    std::shared_ptr<VNDeviceSettingSection> deviceSection_;
    std::shared_ptr<VNSection> networkSection_;
    plat::ObserverToken versionObserver_, presentObserver_;
};

}  // namespace qx
