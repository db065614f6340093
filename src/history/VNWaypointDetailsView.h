#pragma once

#include <memory>

#include "platform/ui/ImageView.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Label.h"
#include "shell/VNView.h"

namespace qx {

class Waypoint;

// The Main page of a waypoint's details: name or date, dose rate and dose with units and alarm
// colours, variation, accumulation time, position with hemisphere words and altitude.
class VNWaypointDetailsView : public VNView {
public:
    static constexpr const char* kNibName = "VNWaypointDetailsView";

    VNWaypointDetailsView();
    static std::shared_ptr<VNWaypointDetailsView> loadFromNib();
    // The interface file's builder.
    static std::shared_ptr<plat::View> buildInterface(plat::Outlets& outlets);

    void awakeFromNib();
    // The captions in the current language; they do not follow later switches.
    void initTiles();
    // Fills the values from the waypoint; with none, nothing changes.
    void setWaypoint(const Waypoint* waypoint);

    const std::shared_ptr<plat::Label>& dateLabel() const { return dateLabel_; }
    const std::shared_ptr<plat::ImageView>& uploadedIcon() const { return uploadedIcon_; }
    const std::shared_ptr<plat::Label>& doseRateTitleLabel() const { return doseRateTitleLabel_; }
    const std::shared_ptr<plat::Label>& doseRateLabel() const { return doseRateLabel_; }
    const std::shared_ptr<plat::Label>& doseRateUnitLabel() const { return doseRateUnitLabel_; }
    const std::shared_ptr<plat::Label>& variationTitleLabel() const { return variationTitleLabel_; }
    const std::shared_ptr<plat::Label>& doseTitleLabel() const { return doseTitleLabel_; }
    const std::shared_ptr<plat::Label>& accumulationTitleLabel() const { return accumulationTitleLabel_; }
    const std::shared_ptr<plat::Label>& variationLabel() const { return variationLabel_; }
    const std::shared_ptr<plat::Label>& doseLabel() const { return doseLabel_; }
    const std::shared_ptr<plat::Label>& doseUnitLabel() const { return doseUnitLabel_; }
    const std::shared_ptr<plat::Label>& accumulationLabel() const { return accumulationLabel_; }
    const std::shared_ptr<plat::Label>& latitudeTitleLabel() const { return latitudeTitleLabel_; }
    const std::shared_ptr<plat::Label>& longitudeTitleLabel() const { return longitudeTitleLabel_; }
    const std::shared_ptr<plat::Label>& altitudeTitleLabel() const { return altitudeTitleLabel_; }
    const std::shared_ptr<plat::Label>& latitudeLabel() const { return latitudeLabel_; }
    const std::shared_ptr<plat::Label>& longitudeLabel() const { return longitudeLabel_; }
    const std::shared_ptr<plat::Label>& altitudeLabel() const { return altitudeLabel_; }
    const std::shared_ptr<plat::Label>& altitudeUnitLabel() const { return altitudeUnitLabel_; }

private:
    void build(plat::Outlets& outlets);
    void showPosition(const Waypoint& waypoint);

    std::shared_ptr<plat::Label> dateLabel_;
    std::shared_ptr<plat::ImageView> uploadedIcon_;
    std::shared_ptr<plat::Label> doseRateTitleLabel_, doseRateLabel_, doseRateUnitLabel_;
    std::shared_ptr<plat::Label> variationTitleLabel_, doseTitleLabel_, accumulationTitleLabel_;
    std::shared_ptr<plat::Label> variationLabel_, doseLabel_, doseUnitLabel_, accumulationLabel_;
    std::shared_ptr<plat::Label> latitudeTitleLabel_, longitudeTitleLabel_, altitudeTitleLabel_;
    std::shared_ptr<plat::Label> latitudeLabel_, longitudeLabel_, altitudeLabel_, altitudeUnitLabel_;
};

}  // namespace qx
