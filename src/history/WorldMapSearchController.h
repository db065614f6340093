#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "history/HistoryTableCell.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TableView.h"
#include "shell/VNBaseViewController.h"
#include "store/FetchedResultsController.h"

namespace qx {

class Waypoint;

// The world map's search: every stored waypoint, newest first, narrowed while the person types
// to the names that begin with the typed text (letter case and accents count). A row can be
// swiped away, which deletes the waypoint; selecting one opens its review.
class WorldMapSearchController : public VNBaseViewController,
                                 public plat::TableViewDataSource,
                                 public plat::TableViewDelegate,
                                 public plat::SearchBarDelegate,
                                 public FetchedResultsControllerDelegate,
                                 public HistoryTableCellDelegate {
public:
    static constexpr const char* kNibName = "WorldMapSearchController";
    static constexpr const char* kCellIdentifier = "WorldMapSearchWaypointCell";
    static constexpr double kRowHeight = 76.0;
    // Larger batches of store changes reload the table instead of animating every row.
    static constexpr std::size_t kMaxAnimatedChanges = 50;
    // The waypoints are read a few screenfuls at a time as the rows come into view.
    static constexpr std::size_t kFetchBatchSize = 20;

    WorldMapSearchController();
    static std::shared_ptr<WorldMapSearchController> make() { return std::make_shared<WorldMapSearchController>(); }
    ~WorldMapSearchController() override;

    std::shared_ptr<plat::SearchBar> searchBar();
    std::shared_ptr<plat::TableView> searchTable();
    const std::shared_ptr<FetchedResultsController>& fetchController() const { return fetchController_; }

    // The back button's action.
    void back() { onBack(); }
    void viewDidLoad() override;
    // The back title and the screen's name, "Search", which its bar shows.
    void initTitles() override;

    // The table.
    long numberOfSections(plat::TableView&) override;
    long numberOfRows(plat::TableView&, long section) override;
    plat::TableViewCellPtr cellForRow(plat::TableView&, const plat::IndexPath& ip) override;
    double heightForRow(plat::TableView&, const plat::IndexPath&) override { return kRowHeight; }
    bool canEditRow(plat::TableView&, const plat::IndexPath&) override { return true; }
    void commitEditingStyle(plat::TableView&, plat::EditingStyle style, const plat::IndexPath& ip) override;
    void didSelectRow(plat::TableView&, const plat::IndexPath& ip) override;

    // The live list's changes, applied to the table in one batch.
    void controllerWillChangeContent(FetchedResultsController&) override;
    void controllerDidChangeSection(FetchedResultsController&, const SectionChange& change) override;
    void controllerDidChangeObject(FetchedResultsController&, const ObjectChange& change) override;
    void controllerDidChangeContent(FetchedResultsController&) override;

    // The search bar.
    void searchBarTextDidChange(plat::SearchBar&, const std::string& text) override;
    void searchBarCancelButtonClicked(plat::SearchBar& bar) override;

    std::string kindName() const override { return "World map search"; }

private:
    void fetchWaypoints(const std::string& prefix);
    std::size_t pendingChangeCount() const;
    void dropPendingChanges();

    std::shared_ptr<FetchedResultsController> fetchController_;
    std::set<long> deletedSectionIndexes_, insertedSectionIndexes_;
    std::vector<plat::IndexPath> deletedRowIndexPaths_, insertedRowIndexPaths_, updatedRowIndexPaths_;
};

// Registers the interface files of the world map's search and review, and makes the World Map
// tab's search button open the search; safe to call more than once.
void registerWorldMapSearch();

}  // namespace qx
