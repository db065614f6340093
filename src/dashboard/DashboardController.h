#pragma once

#include <memory>

#include "dashboard/CustomSegmentedControl.h"
#include "dashboard/LiveReadings.h"
#include "dashboard/PDColoredProgressView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "shell/VNBaseViewController.h"

namespace qx {

class VNTableViewController;

// The first tab: the live dose rate and dose with their units, coloured by the thresholds, a
// dose-rate bar, the mode switch (0 dose rate, 1 dose, 2 search), and the buttons that open
// the current mode's settings and the list of instruments. It takes the readings' delegate
// whenever it is shown.
class DashboardController : public VNBaseViewController,
                            public DeviceManagerDelegate,
                            public CustomSegmentedControlDelegate {
public:
    enum Mode : unsigned { doseRateMode = 0, doseMode = 1, searchMode = 2 };

    static std::shared_ptr<DashboardController> make(std::shared_ptr<LiveReadings> readings = LiveReadings::deviceManager());
    explicit DashboardController(std::shared_ptr<LiveReadings> readings);
    ~DashboardController() override;

    unsigned mode() const { return mode_; }
    // An unknown mode is ignored.
    void setMode(unsigned mode);

    // The buttons' actions: a table screen titled "Mode Settings" with the current mode's
    // section, and the instrument list; both close through their back button.
    std::shared_ptr<VNTableViewController> showModeSettings();
    std::shared_ptr<VNTableViewController> showInstrumentList();

    // Redraws the readings from the getters.
    void updateValues();

    plat::Label& doseRateValueLabel() { return *derValue_; }
    plat::Label& doseRateUnitLabel() { return *derUnit_; }
    plat::Label& doseValueLabel() { return *deValue_; }
    plat::Label& doseUnitLabel() { return *deUnit_; }
    PDColoredProgressView& progressBar() { return *progress_; }
    CustomSegmentedControl& modeControl() { return *modeControl_; }
    plat::Button& modeSettingsButton() { return *modeSettingsButton_; }
    plat::Button& instrumentsButton() { return *instrumentsButton_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void initTitles() override;

    // DeviceManagerDelegate
    void valueUpdate() override { updateValues(); }
    // CustomSegmentedControlDelegate
    std::shared_ptr<plat::Button> buttonFor(CustomSegmentedControl& control, std::size_t index) override;
    void touchUpInsideSegmentIndex(CustomSegmentedControl& control, std::size_t index) override;

    std::string kindName() const override { return "Dashboard"; }

private:
    void showModeButtons();
    std::shared_ptr<plat::Label> addLabel(const plat::Rect& frame, const plat::Font& font);
    std::shared_ptr<plat::Button> addButton(const plat::Rect& frame, void (DashboardController::*action)());
    void openModeSettings() { showModeSettings(); }
    void openInstrumentList() { showInstrumentList(); }

    std::shared_ptr<LiveReadings> readings_;
    unsigned mode_ = doseRateMode;
    std::shared_ptr<plat::Label> derCaption_, derValue_, derUnit_, deCaption_, deValue_, deUnit_;
    std::shared_ptr<PDColoredProgressView> progress_;
    std::shared_ptr<CustomSegmentedControl> modeControl_;
    std::shared_ptr<plat::Button> modeSettingsButton_, instrumentsButton_;
    plat::ObserverToken presenceObserver_;
};

// Makes the dashboard the first tab's screen (before the application delegate launches) and
// registers the dashboard's interface files.
void registerDashboardLayer();

}  // namespace qx
