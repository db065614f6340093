#pragma once

#include <memory>
#include <string>

#include "history/ReadingTableCell.h"

namespace qx {

class Waypoint;

// The row of one stored waypoint with its reading: name or date and time, dose rate, variation
// and dose. The world-map search list shows it without its check box.
class WaypointTableCell : public ReadingTableCell {
public:
    static constexpr const char* kReuseIdentifier = "WaypointCell";

    WaypointTableCell(Token, plat::CellStyle style, std::string reuseIdentifier);
    static std::shared_ptr<WaypointTableCell> make(plat::CellStyle style = plat::CellStyle::Default,
                                                   std::string reuseIdentifier = kReuseIdentifier);

    // Keeps the waypoint and fills the row; the view becomes the name field's input accessory.
    void configureWithWaypoint(const std::shared_ptr<Waypoint>& waypoint, std::shared_ptr<plat::View> accessoryView);
    void updateUI() override;

    // The waypoint of the last configuration.
    const std::shared_ptr<Waypoint>& waypoint() const { return waypoint_; }
    const std::shared_ptr<plat::Label>& variationLabel() const { return variationLabel_; }
    const std::shared_ptr<plat::Label>& variationValueLabel() const { return variationValueLabel_; }

protected:
    void initUI() override;

private:

    std::shared_ptr<Waypoint> waypoint_;
    std::shared_ptr<plat::Label> variationLabel_, variationValueLabel_;
};

}  // namespace qx
