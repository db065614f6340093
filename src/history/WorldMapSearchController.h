#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/HistoryTableCell.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TableView.h"
#include "shell/VNBaseViewController.h"
#include "store/Context.h"
#include "store/WaypointSearch.h"

namespace qx {

class Waypoint;

// The world map's search: every stored waypoint, newest first, narrowed while the person types
// to the names that begin with the typed text (letter case and accents count). A row can be
// swiped away, which deletes the waypoint; selecting one opens its review. Only the number of
// matches and the waypoints of the rows in view are read, so a letter costs what a screenful
// costs, whatever the size of the store.
class WorldMapSearchController : public VNBaseViewController,
                                 public plat::TableViewDataSource,
                                 public plat::TableViewDelegate,
                                 public plat::SearchBarDelegate,
                                 public ContextObserver,
                                 public HistoryTableCellDelegate {
public:
    static constexpr const char* kNibName = "WorldMapSearchController";
    static constexpr const char* kCellIdentifier = "WorldMapSearchWaypointCell";
    static constexpr double kRowHeight = 76.0;
    // Larger batches of store changes reload the table instead of animating every row.
    static constexpr std::size_t kMaxAnimatedChanges = 50;

    WorldMapSearchController();
    static std::shared_ptr<WorldMapSearchController> make() { return std::make_shared<WorldMapSearchController>(); }
    ~WorldMapSearchController() override;

    std::shared_ptr<plat::SearchBar> searchBar();
    std::shared_ptr<plat::TableView> searchTable();
    // The matches of the text typed last.
    WaypointSearch* search() const { return search_.get(); }

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

    // A save: waypoints stored or deleted where the rows are known move in or out of the list
    // with an animation (a few at a time); anything else reads the list again.
    void contextDidChange(Context& context, const ChangeSet& changes) override;

    // The search bar.
    void searchBarTextDidChange(plat::SearchBar&, const std::string& text) override;
    void searchBarCancelButtonClicked(plat::SearchBar& bar) override;

    std::string kindName() const override { return "World map search"; }

private:
    struct RowChanges {
        std::vector<plat::IndexPath> deleted, inserted;
    };
    void fetchWaypoints(const std::string& prefix);
    // The rows a save removed and added, when every one of them is known; none otherwise.
    std::optional<RowChanges> rowChanges(const ChangeSet& changes);

    std::unique_ptr<WaypointSearch> search_;
    bool observing_ = false;
};

// Registers the interface files of the world map's search and review, and makes the World Map
// tab's search button open the search; safe to call more than once.
void registerWorldMapSearch();

}  // namespace qx
