#pragma once

#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "history/HistoryTableCell.h"
#include "platform/ui/Label.h"
#include "platform/ui/Toolbar.h"
#include "shell/VNTableViewController.h"
#include "store/FetchedResultsController.h"
#include "store/ObjectID.h"

namespace qx {

class Set;
class SetTableCell;

// The History tab: the stored days, filtered and sorted by the history settings, under a
// header naming the active filters. A day opens in the set details screen; marked days share
// all their waypoints; manage mode turns the table to editing; a swipe deletes a day (today's
// comes back at once, empty). The list is fetched again each time the tab shows and after the
// filter screen closes; in between, saves reach it through its live result list.
//
// Marks belong to days, not to row numbers, so rows coming and going never move a mark onto
// a day the person did not mark.
class HistoryController : public VNTableViewController,
                          public FetchedResultsControllerDelegate,
                          public HistoryTableCellDelegate {
public:
    static constexpr const char* kNibName = "HistoryController";
    static constexpr double kRowHeight = 76;
    static constexpr double kHeaderHeight = 21;
    // The share channels offered for marked days: e-mail and export.
    static constexpr unsigned kShareOptions = 3;

    // Makes the screen that shows one day's details. The set details screen sits in a layer that
    // registers it at launch; without a maker the rows show no disclosure and open nothing.
    using SetDetailsFactory = std::function<std::shared_ptr<VNBaseViewController>(const std::shared_ptr<Set>&)>;
    static void setSetDetailsFactory(SetDetailsFactory factory);  // empty: rows open nothing
    static const SetDetailsFactory& setDetailsFactory();

    static std::shared_ptr<HistoryController> make();
    HistoryController();
    ~HistoryController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void initTitles() override;
    void languageDidSwitch() override;

    // Fetches the days again with the stored filter and rewrites the header.
    void updateData();
    // The three buttons.
    void filter();
    void share();
    void manage();

    bool manageMode() const { return manageMode_; }
    // The marked days.
    const std::set<ObjectID>& selectedSets() const { return selectedSets_; }
    std::shared_ptr<plat::Label> headerLabel() const { return headerLabel_; }
    std::shared_ptr<plat::View> headerView() const { return headerView_; }
    std::shared_ptr<plat::Toolbar> cellEditAccessoryView() const { return cellEditAccessoryView_; }
    const std::shared_ptr<FetchedResultsController>& fetchController() const { return fetchController_; }
    const plat::BarButtonItemPtr& filterButton() const { return filterButton_; }
    const plat::BarButtonItemPtr& shareButton() const { return shareButton_; }
    const plat::BarButtonItemPtr& manageButton() const { return manageButton_; }
    // The day at a row of the current result; none past the end.
    std::shared_ptr<Set> setAt(const plat::IndexPath& ip) const;

    // The table.
    long numberOfSections(plat::TableView&) override;
    long numberOfRows(plat::TableView&, long section) override;
    plat::TableViewCellPtr cellForRow(plat::TableView&, const plat::IndexPath& ip) override;
    std::shared_ptr<plat::View> viewForHeader(plat::TableView&, long section) override;
    double heightForHeader(plat::TableView&, long section) override;
    double heightForFooter(plat::TableView&, long section) override;
    double heightForRow(plat::TableView&, const plat::IndexPath& ip) override;
    void didSelectRow(plat::TableView&, const plat::IndexPath& ip) override;
    bool canEditRow(plat::TableView&, const plat::IndexPath&) override { return true; }
    void commitEditingStyle(plat::TableView&, plat::EditingStyle style, const plat::IndexPath& ip) override;

    // The live result list.
    void controllerWillChangeContent(FetchedResultsController&) override;
    void controllerDidChangeSection(FetchedResultsController&, const SectionChange& change) override;
    void controllerDidChangeObject(FetchedResultsController&, const ObjectChange& change) override;
    void controllerDidChangeContent(FetchedResultsController&) override;

    // The rows' check boxes.
    bool implementsCellDidChecked() const override { return true; }
    void cellDidChecked(HistoryTableCell& cell, bool checked) override;

    std::string kindName() const override { return "HistoryScreen"; }

private:
    void makeButtons();
    void configure(SetTableCell& cell, Set& set);
    void deleteSet(const std::shared_ptr<Set>& set);
    void openSet(const std::shared_ptr<Set>& set);
    std::shared_ptr<HistoryTableCellDelegate> selfAsCellDelegate();

    bool manageMode_ = false;
    std::set<ObjectID> selectedSets_;
    std::shared_ptr<plat::Label> headerLabel_;
    std::shared_ptr<plat::View> headerView_;
    std::shared_ptr<plat::Toolbar> cellEditAccessoryView_;
    std::shared_ptr<FetchedResultsController> fetchController_;
    plat::BarButtonItemPtr filterButton_, shareButton_, manageButton_;
};

}  // namespace qx
