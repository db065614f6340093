#pragma once

#include <memory>
#include <set>
#include <string>

#include "platform/foundation/Date.h"
#include "shell/VNCheckButtonTableViewCell.h"
#include "shell/VNSection.h"

namespace qx {

class Settings;

// "Filter by" of the history list's filter screen while it is edited: the day range, alarms
// only, one device type and chosen instruments. The section holds the values and touches no
// preferences; its screen copies them in (readSettings, then initRows) and back on apply.
class VNSetFilterSection : public VNSection {
public:
    std::string title() const override;
    // Builds every row anew from the current values: day from, day to, alarms, devices, and
    // detectors while there are instruments to choose from.
    void initRows() override;
    void updateCellsTitles() override;

    // The stored filter.
    virtual void readSettings(const Settings& settings);
    // Writes the edited values to the preferences (without saving them).
    virtual void applyToSettings(Settings& settings) const;

    plat::Date dateFrom() const { return dateFrom_; }
    void setDateFrom(plat::Date d) { dateFrom_ = d; }
    plat::Date dateTo() const { return dateTo_; }
    void setDateTo(plat::Date d) { dateTo_ = d; }
    bool dateFromChecked() const { return dateFromChecked_; }
    void setDateFromChecked(bool on) { dateFromChecked_ = on; }
    bool dateToChecked() const { return dateToChecked_; }
    void setDateToChecked(bool on) { dateToChecked_ = on; }
    bool alarmsChecked() const { return alarmsChecked_; }
    void setAlarmsChecked(bool on) { alarmsChecked_ = on; }
    // 0 keeps every device type.
    unsigned deviceType() const { return deviceType_; }
    void setDeviceType(unsigned type) { deviceType_ = type; }
    // Serial numbers to keep; empty keeps every instrument.
    const std::set<std::string>& detectors() const { return detectors_; }
    void setDetectors(std::set<std::string> serials) { detectors_ = std::move(serials); }

    std::shared_ptr<VNCheckButtonValueTableViewCell> dayFromCell();
    std::shared_ptr<VNCheckButtonValueTableViewCell> dayToCell();
    std::shared_ptr<VNCheckButtonValueTableViewCell> alarmsCell();
    std::shared_ptr<VNTableViewCell> deviceTypeCell();
    std::shared_ptr<VNTableViewCell> detectorCell();

protected:
    // The rows of the instrument part: alarms, devices, and detectors when there is a choice.
    std::vector<VNTableViewCellPtr> instrumentRows();
    void dropCells();

private:
    std::shared_ptr<VNCheckButtonValueTableViewCell> makeDayCell(plat::Date VNSetFilterSection::*date,
                                                                 bool VNSetFilterSection::*checked);
    std::shared_ptr<VNTableViewCell> makeListCell(void (VNSetFilterSection::*open)());
    // Shows the check list on its own screen; going back copies its choice here.
    template <class List, class CopyBack>
    void presentList(const std::shared_ptr<List>& list, CopyBack copyBack);
    void openDeviceTypes();
    void openDetectors();

    plat::Date dateFrom_, dateTo_;
    // The dates as the screen opened on them: one left as it was is not taken as chosen.
    plat::Date openedFrom_, openedTo_;
    bool dateFromChecked_ = false, dateToChecked_ = false, alarmsChecked_ = false;
    unsigned deviceType_ = 0;
    std::set<std::string> detectors_;

    std::shared_ptr<VNCheckButtonValueTableViewCell> dayFromCell_, dayToCell_, alarmsCell_;
    std::shared_ptr<VNTableViewCell> deviceTypeCell_, detectorCell_;
};

}  // namespace qx
