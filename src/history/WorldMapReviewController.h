#pragma once

#include <memory>
#include <string>

#include "platform/ui/TableView.h"
#include "shell/VNBaseViewController.h"

namespace plat {
class Label;
class TableViewCell;
}  // namespace plat

namespace qx {

class Waypoint;

// A read-only review of one waypoint: date, dose rate with its unit, variation, instrument and
// detector kind, and position.
class WorldMapReviewController : public VNBaseViewController,
                                 public plat::TableViewDataSource,
                                 public plat::TableViewDelegate {
public:
    static constexpr const char* kNibName = "WorldMapReviewController";

    WorldMapReviewController();
    static std::shared_ptr<WorldMapReviewController> make() { return std::make_shared<WorldMapReviewController>(); }
    ~WorldMapReviewController() override;

    // The back button's action.
    void back() { onBack(); }
    // Keeps the waypoint and fills every label from it.
    void setWaypoint(const std::shared_ptr<Waypoint>& waypoint);
    const std::shared_ptr<Waypoint>& waypoint() const { return waypoint_; }

    void initTitles() override;
    void viewDidLoad() override;

    long numberOfRows(plat::TableView&, long) override { return 4; }
    plat::TableViewCellPtr cellForRow(plat::TableView&, const plat::IndexPath& ip) override;
    double heightForRow(plat::TableView&, const plat::IndexPath& ip) override;

    std::shared_ptr<plat::TableView> reviewTable();
    // The labels by their outlet names ("dateLabel", "latitudeLabel"...).
    std::shared_ptr<plat::Label> label(const std::string& name);

    // "51.5000° North": the degrees without sign, four decimals, and the hemisphere's name.
    static std::string coordinateText(double degrees, const char* positiveKey, const char* negativeKey);
    // The detector kind of an instrument by its model name.
    static const char* detectorKey(const std::string& deviceName);

    // Registers the interface file "WorldMapReviewController".
    static void registerInterface();

    std::string kindName() const override { return "Waypoint review"; }

private:
    std::shared_ptr<Waypoint> waypoint_;
};

}  // namespace qx
