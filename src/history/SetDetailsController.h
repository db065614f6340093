#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "history/HistoryTableCell.h"
#include "history/NameEditBar.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "shell/VNTableViewController.h"
#include "store/FetchedResultsController.h"
#include "store/ObjectID.h"

namespace qx {

class Set;
class VNSegmentedControlView;

// One stored day as up to three lists: its tracks, its waypoints taken outside tracks, and its
// readings that belong to no waypoint, each filtered and sorted by the history settings. A
// three-button switch shows or hides each list; in manage mode tracks and waypoints are
// renamed; a swipe deletes; marked records are shared; a tap opens a track's or waypoint's
// details.
class SetDetailsController : public VNTableViewController,
                             public FetchedResultsControllerDelegate,
                             public HistoryTableCellDelegate {
public:
    static constexpr const char* kNibName = "SetDetailsController";
    // The list bits of `options`; bit 8 is always set, so all three shown is 15.
    static constexpr std::uint64_t kMeasurementsBit = 1, kTracksBit = 2, kWaypointsBit = 4, kFixedBit = 8;
    static constexpr std::uint64_t kAllShown = 15;
    static constexpr long kHidden = 32767;
    static constexpr double kHeaderHeight = 23, kTrackRowHeight = 102, kMeasurementRowHeight = 57,
                            kWaypointRowHeight = 67;

    SetDetailsController();
    ~SetDetailsController() override;
    static std::shared_ptr<SetDetailsController> make();

    void setSet(std::shared_ptr<Set> set);
    const std::shared_ptr<Set>& set() const { return set_; }

    void viewDidLoad() override;
    void initTitles() override;
    void languageDidSwitch() override;
    // Fetches the three lists again with the history settings and reloads the table.
    void updateData();

    std::uint64_t options() const { return options_; }
    bool manageMode() const { return manageMode_; }
    long tracksSection() const { return tracksSection_; }
    long waypointsSection() const { return waypointsSection_; }
    long measuresSection() const { return measuresSection_; }
    const std::shared_ptr<FetchedResultsController>& tracksFetchController() const { return tracks_; }
    const std::shared_ptr<FetchedResultsController>& waypointsFetchController() const { return waypoints_; }
    const std::shared_ptr<FetchedResultsController>& measurementsFetchController() const { return measurements_; }
    const std::shared_ptr<VNSegmentedControlView>& segmentedControlView() const { return segmentedControlView_; }
    std::shared_ptr<plat::Label> tracksHeaderLabel();
    std::shared_ptr<plat::Label> waypointsHeaderLabel();
    std::shared_ptr<plat::Label> measuresHeaderLabel();
    const std::shared_ptr<plat::Toolbar>& cellEditAccessoryView() const { return editBar_.toolbar(); }
    // Whether the record is marked for sharing.
    bool isMarked(const ManagedObject& record) const;

    // The actions of the screen's buttons.
    void manage();
    void filter();
    void share();
    // The edit bar's "Done": stores the typed name in the record the edit began on.
    void cellDidEndEditing();
    // The record whose name is being edited; none when no edit is open.
    const std::optional<ObjectID>& editedRecord() const { return editedID_; }

    long numberOfSections(plat::TableView&) override;
    long numberOfRows(plat::TableView&, long section) override;
    plat::TableViewCellPtr cellForRow(plat::TableView&, const plat::IndexPath& ip) override;
    std::shared_ptr<plat::View> viewForHeader(plat::TableView&, long section) override;
    double heightForHeader(plat::TableView&, long section) override;
    std::shared_ptr<plat::View> viewForFooter(plat::TableView&, long) override { return nullptr; }
    double heightForFooter(plat::TableView&, long) override { return 0; }
    double heightForRow(plat::TableView&, const plat::IndexPath& ip) override;
    void didSelectRow(plat::TableView&, const plat::IndexPath& ip) override;
    bool canEditRow(plat::TableView&, const plat::IndexPath&) override { return true; }
    void commitEditingStyle(plat::TableView&, plat::EditingStyle style, const plat::IndexPath& ip) override;

    bool implementsCellDidBeginEdit() const override { return true; }
    void cellDidBeginEdit(HistoryTableCell& cell) override;
    bool implementsCellDidChecked() const override { return true; }
    void cellDidChecked(HistoryTableCell& cell, bool checked) override;

    void controllerWillChangeContent(FetchedResultsController&) override;
    void controllerDidChangeObject(FetchedResultsController& list, const ObjectChange& change) override;
    void controllerDidChangeContent(FetchedResultsController&) override;

    std::string kindName() const override { return "Set details"; }

private:
    enum class List { none, tracks, waypoints, measurements };
    List listOfSection(long section) const;
    List listOf(const FetchedResultsController& list) const;
    long sectionOf(List list) const;
    FetchedResultsController* controllerOf(List list) const;
    std::vector<ObjectID>& marksOf(List list);
    std::shared_ptr<ManagedObject> objectAt(const plat::IndexPath& ip) const;
    void assignSections();
    void updateHeaderTexts();
    void toggleList(std::uint64_t bit);
    void configureRow(HistoryTableCell& row, List list, const std::shared_ptr<ManagedObject>& object);
    void openDetails(List list, const std::shared_ptr<ManagedObject>& object);
    void forgetMark(List list, const ObjectID& id);
    // Reloads every row; an open edit ends first, since its row may then show another record.
    void reloadTable();
    // Ends the open name edit without storing anything: the row shows the stored name again
    // and the Done bar goes.
    void endEdit();
    // Ends the open name edit; a name typed into it and not stored is not dropped unasked:
    // the person chooses to store it or to discard it.
    void leaveEdit();
    void askToStoreName(const ObjectID& id, const std::string& name);
    // Stores a typed name into the record; the edit of that record, still open, then ends.
    void storeName(const ObjectID& id, const std::string& name);

    std::shared_ptr<Set> set_;
    bool manageMode_ = false;
    std::uint64_t options_ = kAllShown;
    long tracksSection_ = 0, waypointsSection_ = 1, measuresSection_ = 2;
    std::shared_ptr<FetchedResultsController> tracks_, waypoints_, measurements_;
    std::vector<ObjectID> markedTracks_, markedWaypoints_, markedMeasurements_;
    std::shared_ptr<HistoryTableCell> editedCell_;
    std::optional<ObjectID> editedID_;
    std::string shownName_;  // the edited row's text when the edit began
    std::shared_ptr<VNSegmentedControlView> segmentedControlView_;
    NameEditBar editBar_;
    // Rows whose record changed during a batch, configured again once the batch is applied.
    std::vector<plat::IndexPath> changedRows_;
};

std::shared_ptr<plat::View> buildSetDetailsInterface(plat::Outlets& outlets);

}  // namespace qx
