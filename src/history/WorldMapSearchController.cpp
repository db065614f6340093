#include "history/WorldMapSearchController.h"

#include <mutex>

#include "history/WaypointTableCell.h"
#include "history/WorldMapReviewController.h"
#include "maps/WorldMapController.h"
#include "model/Language.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Screen.h"
#include "shell/AppWindow.h"
#include "store/Context.h"
#include "store/Store.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

std::shared_ptr<plat::View> buildSearchInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(screen);
    const double top = VNBaseViewController::kNavBarHeight;
    auto bar = std::make_shared<plat::SearchBar>(plat::Rect{0, top, screen.width(), plat::SearchBar::kHeight});
    bar->setShowsCancelButton(true);
    root->addSubview(bar);
    outlets.set("searchBar", bar);
    const double tableTop = top + plat::SearchBar::kHeight;
    auto table = std::make_shared<plat::TableView>(plat::Rect{0, tableTop, screen.width(), screen.height() - tableTop});
    root->addSubview(table);
    outlets.set("searchTable", table);
    return root;
}

}  // namespace

WorldMapSearchController::WorldMapSearchController() : VNBaseViewController(kNibName) {}

WorldMapSearchController::~WorldMapSearchController() {
    if (fetchController_) fetchController_->setDelegate(nullptr);
}

std::shared_ptr<plat::SearchBar> WorldMapSearchController::searchBar() {
    view();
    return outlet<plat::SearchBar>("searchBar");
}

std::shared_ptr<plat::TableView> WorldMapSearchController::searchTable() {
    view();
    return outlet<plat::TableView>("searchTable");
}

void WorldMapSearchController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    auto self = std::dynamic_pointer_cast<WorldMapSearchController>(shared_from_this());
    if (auto table = searchTable()) {
        table->setDelegate(std::shared_ptr<plat::TableViewDelegate>(self, this));
        table->setDataSource(std::shared_ptr<plat::TableViewDataSource>(self, this));
        // The list is the whole store: rows get their cells as they come into view.
        table->setLoadsRowsOnDemand(true);
    }
    if (auto bar = searchBar()) {
        bar->setDelegate(std::shared_ptr<plat::SearchBarDelegate>(self, this));
        bar->setBarStyle(plat::BarStyle::Default);
        bar->setPlaceholder(Language::get("Search"));
    }
    fetchWaypoints({});
    initTitles();
}

void WorldMapSearchController::initTitles() {
    VNBaseViewController::initTitles();
    setTitle(Language::get("Search"));
}

void WorldMapSearchController::fetchWaypoints(const std::string& prefix) {
    FetchRequest request(Waypoint::kEntity);
    if (!prefix.empty()) request.where(Key("name").beginsWith(prefix));
    request.sortedBy("measurement.date", false).batchedBy(kFetchBatchSize);
    if (fetchController_) fetchController_->setDelegate(nullptr);
    StoreError error;
    fetchController_ = FetchedResultsController::fetchAll(std::move(request), this, &error);
    if (error) plat::Log::line("WorldMapSearchController: the search failed: " + error.message);
}

// --- the table ----------------------------------------------------------------------------------

long WorldMapSearchController::numberOfSections(plat::TableView&) {
    return fetchController_ ? static_cast<long>(fetchController_->sections().size()) : 0;
}

long WorldMapSearchController::numberOfRows(plat::TableView&, long section) {
    if (!fetchController_ || section < 0 || static_cast<std::size_t>(section) >= fetchController_->sections().size())
        return 0;
    return static_cast<long>(fetchController_->sections()[static_cast<std::size_t>(section)].numberOfObjects);
}

plat::TableViewCellPtr WorldMapSearchController::cellForRow(plat::TableView& table, const plat::IndexPath& ip) {
    auto cell = std::dynamic_pointer_cast<WaypointTableCell>(table.dequeueReusableCell(kCellIdentifier));
    if (!cell) cell = WaypointTableCell::make(plat::CellStyle::Default, kCellIdentifier);
    cell->setDelegate(std::dynamic_pointer_cast<HistoryTableCellDelegate>(
        std::static_pointer_cast<VNBaseViewController>(shared_from_this())));
    cell->configureWithWaypoint(fetchController_->objectAt<Waypoint>(ip), nullptr);
    cell->hideCheckButton(true);
    return cell;
}

void WorldMapSearchController::commitEditingStyle(plat::TableView&, plat::EditingStyle style,
                                                  const plat::IndexPath& ip) {
    if (style != plat::EditingStyle::Delete || !fetchController_) return;
    auto waypoint = fetchController_->objectAt<Waypoint>(ip);
    if (!waypoint) return;
    // The list follows through its change events once the save is merged.
    Store::defaultStore().saveWithBlock(
        [waypoint](Context& context) {
            if (auto mine = context.inContext(waypoint)) context.deleteObject(mine);
        },
        [](bool ok, const StoreError* error) {
            if (!ok) Store::reportFailedChange("WorldMapSearchController delete", "Not Deleted", "It could not be deleted: %@.", error);
        });
}

void WorldMapSearchController::didSelectRow(plat::TableView& table, const plat::IndexPath& ip) {
    table.deselectRow(ip, true);
    auto waypoint = fetchController_ ? fetchController_->objectAt<Waypoint>(ip) : nullptr;
    if (!waypoint) return;
    auto review = WorldMapReviewController::make();
    review->setOnBackBlock([] {
        if (auto top = visibleViewController()) top->dismissViewController(true);
    });
    review->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    if (presentViewController(review, true)) review->setWaypoint(waypoint);
}

// --- change batches -----------------------------------------------------------------------------

void WorldMapSearchController::controllerWillChangeContent(FetchedResultsController&) {
    // The table's updates begin only once the batch is complete and known to be small enough to
    // animate; a large one reloads instead.
}

void WorldMapSearchController::controllerDidChangeSection(FetchedResultsController&, const SectionChange& change) {
    const long index = static_cast<long>(change.index);
    if (change.type == ChangeType::insert) insertedSectionIndexes_.insert(index);
    if (change.type == ChangeType::remove) deletedSectionIndexes_.insert(index);
}

void WorldMapSearchController::controllerDidChangeObject(FetchedResultsController&, const ObjectChange& change) {
    auto addInserted = [this](const std::optional<plat::IndexPath>& at) {
        if (at && !insertedSectionIndexes_.count(at->section)) insertedRowIndexPaths_.push_back(*at);
    };
    auto addDeleted = [this](const std::optional<plat::IndexPath>& at) {
        if (at && !deletedSectionIndexes_.count(at->section)) deletedRowIndexPaths_.push_back(*at);
    };
    switch (change.type) {
        case ChangeType::insert: addInserted(change.newIndexPath); break;
        case ChangeType::remove: addDeleted(change.indexPath); break;
        case ChangeType::move:
            if (!change.newIndexPath) break;
            addInserted(change.newIndexPath);
            addDeleted(change.indexPath);
            break;
        case ChangeType::update:
            if (change.indexPath) updatedRowIndexPaths_.push_back(*change.indexPath);
            break;
    }
}

std::size_t WorldMapSearchController::pendingChangeCount() const {
    return deletedSectionIndexes_.size() + insertedSectionIndexes_.size() + deletedRowIndexPaths_.size() +
           insertedRowIndexPaths_.size() + updatedRowIndexPaths_.size();
}

void WorldMapSearchController::dropPendingChanges() {
    deletedSectionIndexes_.clear();
    insertedSectionIndexes_.clear();
    deletedRowIndexPaths_.clear();
    insertedRowIndexPaths_.clear();
    updatedRowIndexPaths_.clear();
}

void WorldMapSearchController::controllerDidChangeContent(FetchedResultsController&) {
    auto table = searchTable();
    const std::size_t n = pendingChangeCount();
    if (!table || n == 0) {
        dropPendingChanges();
        return;
    }
    if (n > kMaxAnimatedChanges) {
        dropPendingChanges();
        table->reloadData();
        return;
    }
    table->beginUpdates();
    auto sections = [](const std::set<long>& s) { return std::vector<long>(s.begin(), s.end()); };
    if (!deletedSectionIndexes_.empty())
        table->deleteSections(sections(deletedSectionIndexes_), plat::RowAnimation::Automatic);
    if (!insertedSectionIndexes_.empty())
        table->insertSections(sections(insertedSectionIndexes_), plat::RowAnimation::Automatic);
    if (!deletedRowIndexPaths_.empty()) table->deleteRows(deletedRowIndexPaths_, plat::RowAnimation::Left);
    if (!insertedRowIndexPaths_.empty()) table->insertRows(insertedRowIndexPaths_, plat::RowAnimation::Right);
    if (!updatedRowIndexPaths_.empty()) table->reloadRows(updatedRowIndexPaths_, plat::RowAnimation::Automatic);
    table->endUpdates();
    dropPendingChanges();
}

// --- the search bar -----------------------------------------------------------------------------

void WorldMapSearchController::searchBarTextDidChange(plat::SearchBar&, const std::string& text) {
    fetchWaypoints(text);
    if (auto table = searchTable()) table->reloadData();
}

void WorldMapSearchController::searchBarCancelButtonClicked(plat::SearchBar& bar) { bar.resignFirstResponder(); }

void registerWorldMapSearch() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::Interface::registerBuilder(WorldMapSearchController::kNibName, buildSearchInterface);
        WorldMapReviewController::registerInterface();
    });
    WorldMapController::setSearchScreenFactory([] { return WorldMapSearchController::make(); });
}

}  // namespace qx
