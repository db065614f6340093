#include "history/VNWaypointTableViewController.h"

#include <algorithm>

#include "history/HistoryInterfaces.h"
#include "history/HistoryScreenHooks.h"
#include "history/VNWaypointDetailsViewController.h"
#include "history/WaypointTableCell.h"
#include "model/Language.h"
#include "platform/foundation/Log.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Screen.h"
#include "store/Store.h"
#include "store/Waypoint.h"

namespace qx {

namespace {
// The share button over the bar's right end, at its widest.
constexpr double kShareWidth = 90;
}  // namespace

std::shared_ptr<plat::View> buildWaypointListInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(screen);
    root->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    const double bar = plat::NavigationBar::kHeight;
    auto navBar = std::make_shared<plat::NavigationBar>(plat::Rect{0, 0, screen.width(), bar});
    auto table = std::make_shared<plat::TableView>(plat::Rect{0, bar, screen.width(), screen.height() - bar});
    table->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    auto share = plat::Button::make(plat::ButtonType::System, {screen.width() - 8 - kShareWidth, 7, kShareWidth, 30});
    share->setTitleColor(plat::Color::white());
    fitButtonTitle(*share, 13);
    root->addSubview(table);
    root->addSubview(navBar);
    root->addSubview(share);
    outlets.set("navBar", navBar);
    outlets.set("tableView", table);
    outlets.set("shareButton", share);
    return root;
}

VNWaypointTableViewController::VNWaypointTableViewController()
    : VNBaseViewController(kNibName), editBar_([this] { cellDidEndEditing(); }) {}

std::shared_ptr<VNWaypointTableViewController> VNWaypointTableViewController::make() {
    registerHistoryInterfaces();
    return std::make_shared<VNWaypointTableViewController>();
}

std::shared_ptr<plat::TableView> VNWaypointTableViewController::tableView() {
    view();
    return outlet<plat::TableView>("tableView");
}

std::shared_ptr<plat::Button> VNWaypointTableViewController::shareButton() {
    view();
    return outlet<plat::Button>("shareButton");
}

void VNWaypointTableViewController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    setTitle(Language::get("Track Waypoints"));
    auto table = tableView();
    auto self = std::dynamic_pointer_cast<VNWaypointTableViewController>(shared_from_this());
    table->setDataSource(std::static_pointer_cast<plat::TableViewDataSource>(self));
    table->setDelegate(std::static_pointer_cast<plat::TableViewDelegate>(self));
    table->setRowHeight(kRowHeight);
    // A long track has a row per point: rows get their cells as they come into view.
    table->setLoadsRowsOnDemand(true);
    if (auto button = shareButton()) {
        titleBarButton(*button, Language::get("Share"), kShareWidth);
        std::weak_ptr<plat::ViewController> weak = weak_from_this();
        button->addAction(plat::TouchUpInside, [weak](plat::Control&) {
            if (auto s = std::dynamic_pointer_cast<VNWaypointTableViewController>(weak.lock())) s->share();
        });
    }
}

void VNWaypointTableViewController::viewWillAppear(bool animated) {
    VNBaseViewController::viewWillAppear(animated);
    dropDeletedRows();
}

void VNWaypointTableViewController::languageDidSwitch() {
    VNBaseViewController::languageDidSwitch();
    setTitle(Language::get("Track Waypoints"));
    if (auto button = shareButton()) titleBarButton(*button, Language::get("Share"), kShareWidth);
    editBar_.initTitles();
    tableView()->reloadData();
}

void VNWaypointTableViewController::setWaypoints(std::vector<std::shared_ptr<Waypoint>> waypoints) {
    waypoints_ = std::move(waypoints);
    waypoints_.erase(std::remove(waypoints_.begin(), waypoints_.end(), nullptr), waypoints_.end());
    if (isViewLoaded()) tableView()->reloadData();
}

long VNWaypointTableViewController::numberOfRows(plat::TableView&, long) {
    return static_cast<long>(waypoints_.size());
}

plat::TableViewCellPtr VNWaypointTableViewController::cellForRow(plat::TableView& table, const plat::IndexPath& ip) {
    auto row = std::dynamic_pointer_cast<WaypointTableCell>(table.dequeueReusableCell(kCellIdentifier));
    if (!row) {
        row = WaypointTableCell::make(plat::CellStyle::Default, kCellIdentifier);
        row->setDelegate(std::dynamic_pointer_cast<HistoryTableCellDelegate>(shared_from_this()));
    }
    const auto& waypoint = waypoints_.at(static_cast<std::size_t>(ip.row));
    row->configureWithWaypoint(waypoint, editBar_.toolbar());
    row->normalMode();
    const bool marked =
        std::find(selectedWaypoints_.begin(), selectedWaypoints_.end(), waypoint) != selectedWaypoints_.end();
    row->setChecked(marked);
    return row;
}

void VNWaypointTableViewController::didSelectRow(plat::TableView& table, const plat::IndexPath& ip) {
    table.deselectRow(ip, true);
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= waypoints_.size()) return;
    auto details = VNWaypointDetailsViewController::make();
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    details->setOnBackBlock([weak] {
        if (auto self = weak.lock()) self->dismissViewController(true);
    });
    details->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    presentViewController(details, true);
    details->setWaypoint(waypoints_[static_cast<std::size_t>(ip.row)]);
}

void VNWaypointTableViewController::commitEditingStyle(plat::TableView&, plat::EditingStyle style,
                                                       const plat::IndexPath& ip) {
    if (style != plat::EditingStyle::Delete) return;
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= waypoints_.size()) return;
    auto waypoint = waypoints_[static_cast<std::size_t>(ip.row)];
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    Store::defaultStore().saveWithBlock(
        [waypoint](Context& context) {
            if (auto own = context.inContext(waypoint)) context.deleteObject(own);
        },
        [weak, waypoint](bool success, const StoreError* error) {
            auto self = std::dynamic_pointer_cast<VNWaypointTableViewController>(weak.lock());
            if (!self) return;
            if (!success || error) {
                Store::reportFailedChange("VNWaypointTableViewController delete", "Not Deleted", "It could not be deleted: %@.", error);
                return;
            }
            self->forget(waypoint.get());
        });
}

void VNWaypointTableViewController::forget(const Waypoint* waypoint) {
    auto it =
        std::find_if(waypoints_.begin(), waypoints_.end(), [waypoint](const auto& w) { return w.get() == waypoint; });
    if (it == waypoints_.end()) return;
    if (editedWaypoint_.lock().get() == waypoint) endEdit();
    const long row = static_cast<long>(it - waypoints_.begin());
    waypoints_.erase(it);
    std::erase_if(selectedWaypoints_, [waypoint](const auto& w) { return w.get() == waypoint; });
    if (isViewLoaded()) tableView()->deleteRows({plat::IndexPath{0, row}}, plat::RowAnimation::Right);
}

void VNWaypointTableViewController::dropDeletedRows() {
    const auto before = waypoints_.size();
    std::erase_if(waypoints_, [](const auto& w) { return w->isDeleted(); });
    std::erase_if(selectedWaypoints_, [](const auto& w) { return w->isDeleted(); });
    if (waypoints_.size() != before && isViewLoaded()) tableView()->reloadData();
}

void VNWaypointTableViewController::share() {
    dropDeletedRows();
    if (selectedWaypoints_.empty()) return;
    HistoryScreenHooks::Records records(selectedWaypoints_.begin(), selectedWaypoints_.end());
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    HistoryScreenHooks::share(records, 15, [weak] {
        auto self = std::dynamic_pointer_cast<VNWaypointTableViewController>(weak.lock());
        if (!self) return;
        self->selectedWaypoints_.clear();
        self->tableView()->reloadData();
    });
}

void VNWaypointTableViewController::cellDidBeginEdit(HistoryTableCell& cell) {
    auto row = std::dynamic_pointer_cast<WaypointTableCell>(cell.shared_from_this());
    if (!row || !row->waypoint()) return;
    if (editedWaypoint_.lock() != row->waypoint()) shownName_ = row->name();
    editedWaypointCell_ = row;
    editedWaypoint_ = row->waypoint();
    editBar_.show(*view());
}

void VNWaypointTableViewController::endEdit() {
    if (auto row = editedWaypointCell_.lock()) row->nameTextField()->resignFirstResponder();
    editedWaypointCell_.reset();
    editedWaypoint_.reset();
    editBar_.hide();
}

void VNWaypointTableViewController::cellDidEndEditing() {
    auto row = editedWaypointCell_.lock();
    auto waypoint = editedWaypoint_.lock();
    // The edit belongs to the waypoint it began on: a row that shows another one by now (or a
    // deleted waypoint) stores nothing.
    if (!row || !waypoint || row->waypoint() != waypoint || waypoint->isDeleted()) {
        endEdit();
        return;
    }
    row->nameTextField()->resignFirstResponder();
    const std::string name = row->name();
    // Left as shown (the name with its date, or the date alone), the text is no new name.
    if (name == shownName_) {
        endEdit();
        return;
    }
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    Store::defaultStore().saveWithBlock(
        [waypoint, name](Context& context) {
            if (auto own = context.inContext(waypoint)) own->setName(name);
        },
        [weak, waypoint](bool success, const StoreError* error) {
            auto self = std::dynamic_pointer_cast<VNWaypointTableViewController>(weak.lock());
            if (!self) return;
            // The edit stays open: Done stores it once there is room.
            if (!success || error) {
                Store::reportFailedChange("VNWaypointTableViewController rename", "Name Not Saved", "The new name could not be saved: %@.", error);
                return;
            }
            if (self->editedWaypoint_.lock() == waypoint) self->endEdit();
        });
}

void VNWaypointTableViewController::cellDidChecked(HistoryTableCell& cell, bool checked) {
    auto* row = dynamic_cast<WaypointTableCell*>(&cell);
    if (!row || !row->waypoint()) return;
    const auto& waypoint = row->waypoint();
    auto it = std::find(selectedWaypoints_.begin(), selectedWaypoints_.end(), waypoint);
    if (checked && it == selectedWaypoints_.end()) selectedWaypoints_.push_back(waypoint);
    if (!checked && it != selectedWaypoints_.end()) selectedWaypoints_.erase(it);
}

}  // namespace qx
