#pragma once

#include <cstdint>
#include <memory>

#include "platform/foundation/Date.h"
#include "shell/VNCheckButtonTableViewCell.h"
#include "shell/VNSection.h"

namespace qx {

class Settings;

// The world map's filter while it is edited: a time window, alarms only and a radius around the
// user. It holds the values itself and touches no preferences; its screen copies them in,
// rebuilds the rows (initRows) and copies them back when the person applies the filter.
class VNWMFilterSection : public VNSection {
public:
    void initRows() override;
    void updateCellsTitles() override;

    // The stored time window, switches and radius. Run initRows afterwards to show them.
    void readSettings(const Settings& settings);
    // Writes the edited values to the preferences (without saving them).
    void applyToSettings(Settings& settings) const;

    plat::Date timeFrom() const { return timeFrom_; }
    void setTimeFrom(plat::Date d) { timeFrom_ = d; }
    plat::Date timeTo() const { return timeTo_; }
    void setTimeTo(plat::Date d) { timeTo_ = d; }
    bool timeFromOn() const { return timeFromOn_; }
    void setTimeFromOn(bool on) { timeFromOn_ = on; }
    bool timeToOn() const { return timeToOn_; }
    void setTimeToOn(bool on) { timeToOn_ = on; }
    bool alertsOnly() const { return alertsOnly_; }
    void setAlertsOnly(bool on) { alertsOnly_ = on; }
    bool distanceOn() const { return distanceOn_; }
    void setDistanceOn(bool on) { distanceOn_ = on; }
    // Kilometres in metric units, else miles.
    std::int64_t distance() const { return distance_; }
    void setDistance(std::int64_t d) { distance_ = d; }

    std::shared_ptr<VNCheckButtonValueUnitTableViewCell> distanceCell();
    std::shared_ptr<VNCheckButtonValueTableViewCell> timeFromCell();
    std::shared_ptr<VNCheckButtonValueTableViewCell> timeToCell();
    std::shared_ptr<VNCheckButtonValueTableViewCell> alertsOnlyCell();

    // Shows the radius, its unit and whether it applies.
    void updateDistanceCell();

private:
    // A time row: its check box stores into `on`, selecting it picks the date in `date`.
    std::shared_ptr<VNCheckButtonValueTableViewCell> makeTimeCell(plat::Date VNWMFilterSection::*date,
                                                                  bool VNWMFilterSection::*on);
    void showTime(VNCheckButtonValueTableViewCell& cell, plat::Date date, bool on);

    plat::Date timeFrom_, timeTo_;
    // The times as the screen opened on them: one left as it was is not taken as chosen.
    plat::Date openedFrom_, openedTo_;
    bool timeFromOn_ = false, timeToOn_ = false, alertsOnly_ = false, distanceOn_ = false;
    std::int64_t distance_ = 0;

    std::shared_ptr<VNCheckButtonValueUnitTableViewCell> distanceCell_;
    std::shared_ptr<VNCheckButtonValueTableViewCell> timeFromCell_, timeToCell_, alertsOnlyCell_;
};

}  // namespace qx
