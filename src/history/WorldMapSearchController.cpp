#include "history/WorldMapSearchController.h"

#include <mutex>

#include "history/WaypointTableCell.h"
#include "history/WorldMapReviewController.h"
#include "maps/WorldMapController.h"
#include "model/Language.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Screen.h"
#include "shell/AppWindow.h"
#include "store/ChangeSet.h"
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

WorldMapSearchController::~WorldMapSearchController() = default;

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
    if (!observing_) {
        observing_ = true;
        Store::defaultStore().mainContext().addObserver(std::shared_ptr<ContextObserver>(self, this));
    }
    initTitles();
}

void WorldMapSearchController::initTitles() {
    VNBaseViewController::initTitles();
    setTitle(Language::get("Search"));
}

void WorldMapSearchController::fetchWaypoints(const std::string& prefix) {
    search_ = std::make_unique<WaypointSearch>(Store::defaultStore().mainContext(), prefix);
}

// --- the table ----------------------------------------------------------------------------------

long WorldMapSearchController::numberOfSections(plat::TableView&) { return search_ ? 1 : 0; }

long WorldMapSearchController::numberOfRows(plat::TableView&, long section) {
    return search_ && section == 0 ? static_cast<long>(search_->count()) : 0;
}

plat::TableViewCellPtr WorldMapSearchController::cellForRow(plat::TableView& table, const plat::IndexPath& ip) {
    auto cell = std::dynamic_pointer_cast<WaypointTableCell>(table.dequeueReusableCell(kCellIdentifier));
    if (!cell) cell = WaypointTableCell::make(plat::CellStyle::Default, kCellIdentifier);
    cell->setDelegate(std::dynamic_pointer_cast<HistoryTableCellDelegate>(
        std::static_pointer_cast<VNBaseViewController>(shared_from_this())));
    cell->configureWithWaypoint(search_ ? search_->waypointAt(static_cast<std::size_t>(ip.row)) : nullptr, nullptr);
    cell->hideCheckButton(true);
    return cell;
}

void WorldMapSearchController::commitEditingStyle(plat::TableView&, plat::EditingStyle style,
                                                  const plat::IndexPath& ip) {
    if (style != plat::EditingStyle::Delete || !search_) return;
    auto waypoint = search_->waypointAt(static_cast<std::size_t>(ip.row));
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
    auto waypoint = search_ ? search_->waypointAt(static_cast<std::size_t>(ip.row)) : nullptr;
    if (!waypoint) return;
    auto review = WorldMapReviewController::make();
    review->setOnBackBlock([] {
        if (auto top = visibleViewController()) top->dismissViewController(true);
    });
    review->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    if (presentViewController(review, true)) review->setWaypoint(waypoint);
}

// --- saves ----------------------------------------------------------------------------------------

std::optional<WorldMapSearchController::RowChanges> WorldMapSearchController::rowChanges(const ChangeSet& changes) {
    if (changes.reset || changes.insertedInBulk || changes.inserted.size() + changes.deleted.size() > 2 * kMaxAnimatedChanges)
        return std::nullopt;
    // A changed name or reading may move a row anywhere.
    for (const auto& [id, keys] : changes.updated)
        if (id.entity == EntityKind::waypoint || id.entity == EntityKind::measurement) return std::nullopt;
    RowChanges rows;
    // Where the deleted waypoints were: only rows read before are known.
    for (const auto& id : changes.deleted) {
        if (id.entity != EntityKind::waypoint) continue;
        const auto at = search_->heldIndexOf(id.row);
        if (!at) return std::nullopt;
        rows.deleted.push_back({0, static_cast<long>(*at)});
    }
    const std::size_t before = search_->count();
    search_->refresh();
    for (const auto& id : changes.inserted) {
        if (id.entity != EntityKind::waypoint) continue;
        if (const auto at = search_->indexOf(id.row)) rows.inserted.push_back({0, static_cast<long>(*at)});
    }
    if (search_->count() + rows.deleted.size() != before + rows.inserted.size()) return std::nullopt;
    if (rows.deleted.size() + rows.inserted.size() > kMaxAnimatedChanges) return std::nullopt;
    return rows;
}

void WorldMapSearchController::contextDidChange(Context&, const ChangeSet& changes) {
    if (!search_ || !(changes.touches(EntityKind::waypoint) || changes.touches(EntityKind::measurement))) return;
    auto table = searchTable();
    const auto rows = rowChanges(changes);
    if (!rows) {
        search_->refresh();
        if (table) table->reloadData();
        return;
    }
    if (!table || (rows->deleted.empty() && rows->inserted.empty())) return;
    table->beginUpdates();
    if (!rows->deleted.empty()) table->deleteRows(rows->deleted, plat::RowAnimation::Left);
    if (!rows->inserted.empty()) table->insertRows(rows->inserted, plat::RowAnimation::Right);
    table->endUpdates();
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
