#pragma once

#include <memory>
#include <optional>
#include <string>

#include "model/Settings.h"
#include "shell/VNActionTableViewCell.h"
#include "shell/VNSection.h"
#include "shell/VNTableViewSwitchCell.h"
#include "shell/VNTableViewTextFieldCell.h"

namespace qx {

class VNImportTableViewController;

// The application-wide preferences: language, distance system, dose unit and start screen
// (each opening its check list), mute by shaking, automatic waypoints and their period, local
// notifications; and the rows that open the import screen and wipe the stored history. Every
// change is stored and saved at once.
class VNAppSettingsSection : public VNSection {
public:
    void initRows() override;
    // Row texts, and the details of the four check-list rows from the current preferences.
    void updateCellsTitles() override;

    VNTableViewCellPtr languageCell();
    VNTableViewCellPtr readingsCell();
    VNTableViewCellPtr unitsCell();
    VNTableViewCellPtr startScreenCell();
    std::shared_ptr<VNTableViewSwitchCell> soundCell();
    std::shared_ptr<VNTableViewSwitchCell> autoSaveCell();
    std::shared_ptr<VNTableViewTextFieldCell> autoSavePeriodCell();
    std::shared_ptr<VNTableViewSwitchCell> localNotificationsCell();
    VNTableViewCellPtr importCell();
    std::shared_ptr<VNActionTableViewCell> resetCell();

    // Opens the import screen over this section's screen.
    void showImport();
    // Asks before deleting every stored day, track, waypoint and reading.
    void confirmReset();

    // The period a field text stands for: a whole number of seconds from 1 (blanks around it
    // allowed, huge ones held at the largest int); none for any other text.
    static std::optional<unsigned> periodFromText(const std::string& text);

private:
    VNTableViewCellPtr checkListCell(std::shared_ptr<VNSection> list);

    VNTableViewCellPtr languageCell_, readingsCell_, unitsCell_, startScreenCell_;
    std::shared_ptr<VNTableViewSwitchCell> soundCell_, autoSaveCell_, localNotificationsCell_;
    std::shared_ptr<VNTableViewTextFieldCell> autoSavePeriodCell_;
    VNTableViewCellPtr importCell_;
    std::shared_ptr<VNActionTableViewCell> resetCell_;
};

}  // namespace qx
