#pragma once

#include <memory>
#include <vector>

#include "history/HistoryTableCell.h"
#include "history/NameEditBar.h"
#include "platform/ui/Button.h"
#include "platform/ui/TableView.h"
#include "shell/VNBaseViewController.h"

namespace qx {

class Waypoint;
class WaypointTableCell;

// The waypoints of one track, as the track's details hand them over: marked waypoints are
// shared, a swipe deletes one, a tap opens its details.
class VNWaypointTableViewController : public VNBaseViewController,
                                      public plat::TableViewDataSource,
                                      public plat::TableViewDelegate,
                                      public HistoryTableCellDelegate {
public:
    static constexpr const char* kNibName = "VNWaypointTableViewController";
    static constexpr const char* kCellIdentifier = "WaypointTableCell";
    static constexpr double kRowHeight = 67;

    VNWaypointTableViewController();
    static std::shared_ptr<VNWaypointTableViewController> make();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void languageDidSwitch() override;

    // The rows; the table shows them at once, even when it is already on screen.
    void setWaypoints(std::vector<std::shared_ptr<Waypoint>> waypoints);
    const std::vector<std::shared_ptr<Waypoint>>& waypoints() const { return waypoints_; }
    const std::vector<std::shared_ptr<Waypoint>>& selectedWaypoints() const { return selectedWaypoints_; }
    std::shared_ptr<plat::TableView> tableView();
    std::shared_ptr<plat::Button> shareButton();
    const std::shared_ptr<plat::Toolbar>& cellEditAccessoryView() const { return editBar_.toolbar(); }

    void share();
    // The edit bar's "Done": stores the edited row's name.
    void cellDidEndEditing();

    long numberOfRows(plat::TableView&, long section) override;
    plat::TableViewCellPtr cellForRow(plat::TableView&, const plat::IndexPath& ip) override;
    double heightForRow(plat::TableView&, const plat::IndexPath&) override { return kRowHeight; }
    void didSelectRow(plat::TableView&, const plat::IndexPath& ip) override;
    bool canEditRow(plat::TableView&, const plat::IndexPath&) override { return true; }
    void commitEditingStyle(plat::TableView&, plat::EditingStyle style, const plat::IndexPath& ip) override;

    bool implementsCellDidBeginEdit() const override { return true; }
    void cellDidBeginEdit(HistoryTableCell& cell) override;
    bool implementsCellDidChecked() const override { return true; }
    void cellDidChecked(HistoryTableCell& cell, bool checked) override;

    std::string kindName() const override { return "Track waypoints"; }

private:
    // Drops a waypoint that left the store from the rows and the marks.
    void forget(const Waypoint* waypoint);
    void dropDeletedRows();
    // Ends the open name edit without storing anything.
    void endEdit();

    std::vector<std::shared_ptr<Waypoint>> waypoints_;
    std::vector<std::shared_ptr<Waypoint>> selectedWaypoints_;
    std::weak_ptr<WaypointTableCell> editedWaypointCell_;
    std::weak_ptr<Waypoint> editedWaypoint_;
    std::string shownName_;  // the edited row's text when the edit began
    NameEditBar editBar_;
};

std::shared_ptr<plat::View> buildWaypointListInterface(plat::Outlets& outlets);

}  // namespace qx
