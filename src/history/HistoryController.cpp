#include "history/HistoryController.h"

#include "history/HistoryInterfaces.h"
#include "history/HistoryQuery.h"
#include "history/HistoryScreenHooks.h"
#include "history/SetTableCell.h"
#include "link/DeviceManager.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "platform/ui/NavigationController.h"
#include "shell/AppWindow.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

HistoryController::SetDetailsFactory& detailsFactory() {
    static HistoryController::SetDetailsFactory factory;
    return factory;
}

constexpr plat::Color kTableBackground = plat::Color::fromBytes(234, 234, 234);

}  // namespace

void HistoryController::setSetDetailsFactory(SetDetailsFactory factory) { detailsFactory() = std::move(factory); }

const HistoryController::SetDetailsFactory& HistoryController::setDetailsFactory() { return detailsFactory(); }

std::shared_ptr<HistoryController> HistoryController::make() { return std::make_shared<HistoryController>(); }

HistoryController::HistoryController() : VNTableViewController(kNibName) { registerHistoryInterfaces(); }

HistoryController::~HistoryController() {
    if (fetchController_) fetchController_->setDelegate(nullptr);
}

std::shared_ptr<HistoryTableCellDelegate> HistoryController::selfAsCellDelegate() {
    // The rows hold their owner weakly: share this screen's ownership.
    return std::shared_ptr<HistoryTableCellDelegate>(weak_from_this().lock(), this);
}

void HistoryController::viewDidLoad() {
    VNTableViewController::viewDidLoad();
    headerView_ = outlet<plat::View>("headerView");
    headerLabel_ = outlet<plat::Label>("headerLabel");
    cellEditAccessoryView_ = outlet<plat::Toolbar>("cellEditAccessoryView");
    makeButtons();
    manageMode_ = false;
    selectedSets_.clear();
    auto table = tableView();
    table->setBackgroundColor(kTableBackground);
    // Years of days: a row is configured only when it shows.
    table->setLoadsRowsOnDemand(true);
    table->setEditing(false);
    initTitles();
}

void HistoryController::makeButtons() {
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    auto button = [weak](void (HistoryController::*action)()) {
        auto item = plat::BarButtonItem::withTitle({}, plat::BarButtonStyle::Bordered);
        item->setAction([weak, action](plat::BarButtonItem&) {
            if (auto self = std::dynamic_pointer_cast<HistoryController>(weak.lock())) ((*self).*action)();
        });
        return item;
    };
    filterButton_ = button(&HistoryController::filter);
    shareButton_ = button(&HistoryController::share);
    manageButton_ = button(&HistoryController::manage);
    auto space = [] { return plat::BarButtonItem::withSystemItem(plat::SystemItem::FlexibleSpace); };
    if (auto bar = outlet<plat::Toolbar>("buttonBar")) bar->setItems({filterButton_, space(), shareButton_, space(), manageButton_});
}

void HistoryController::initTitles() {
    VNTableViewController::initTitles();
    setTitle(Language::get("History"));
    if (headerLabel_) headerLabel_->setText(Language::get("Sets:"));
    if (filterButton_) filterButton_->setTitle(Language::get("Filter"));
    if (shareButton_) shareButton_->setTitle(Language::get("Share"));
    if (manageButton_) manageButton_->setTitle(Language::get("Manage"));
    if (auto bar = outlet<plat::Toolbar>("buttonBar")) bar->fitItemsToTitles();
}

void HistoryController::languageDidSwitch() {
    initTitles();
    if (headerLabel_) headerLabel_->setText(HistoryQuery::headerText(Settings::sharedSettings()));
    tableView()->reloadData();
}

void HistoryController::viewWillAppear(bool animated) {
    VNTableViewController::viewWillAppear(animated);
    updateData();
    if (Settings::sharedSettings().loadHistoryOnStart()) DeviceManager::sharedDeviceManager().loadHistory();
}

void HistoryController::updateData() {
    view();
    const Settings& settings = Settings::sharedSettings();
    if (fetchController_) fetchController_->setDelegate(nullptr);
    StoreError error;
    fetchController_ = FetchedResultsController::fetchAll(HistoryQuery::fetchRequest(settings), this, &error);
    if (!error.message.empty()) plat::Log::line("HistoryController updateData: " + error.message);
    if (headerLabel_) headerLabel_->setText(HistoryQuery::headerText(settings));
    tableView()->reloadData();
}

std::shared_ptr<Set> HistoryController::setAt(const plat::IndexPath& ip) const {
    if (!fetchController_ || ip.section < 0 || ip.row < 0) return nullptr;
    const auto& sections = fetchController_->sections();
    const auto section = static_cast<std::size_t>(ip.section);
    if (section >= sections.size() || static_cast<std::size_t>(ip.row) >= sections[section].numberOfObjects) {
        return nullptr;
    }
    return fetchController_->objectAt<Set>(ip);
}

// ---- the table

long HistoryController::numberOfSections(plat::TableView&) {
    return fetchController_ ? static_cast<long>(fetchController_->sections().size()) : 0;
}

long HistoryController::numberOfRows(plat::TableView&, long section) {
    if (!fetchController_ || section < 0) return 0;
    const auto& sections = fetchController_->sections();
    const auto index = static_cast<std::size_t>(section);
    return index < sections.size() ? static_cast<long>(sections[index].numberOfObjects) : 0;
}

plat::TableViewCellPtr HistoryController::cellForRow(plat::TableView& table, const plat::IndexPath& ip) {
    auto cell = std::dynamic_pointer_cast<SetTableCell>(table.dequeueReusableCell(SetTableCell::kReuseIdentifier));
    if (!cell) cell = SetTableCell::make(plat::CellStyle::Default, SetTableCell::kReuseIdentifier);
    cell->updateUI();
    if (auto set = setAt(ip)) configure(*cell, *set);
    return cell;
}

void HistoryController::configure(SetTableCell& cell, Set& set) {
    cell.configureWithSet(set, cellEditAccessoryView_);
    cell.setChecked(selectedSets_.count(set.objectID()) > 0);
    cell.setDelegate(selfAsCellDelegate());
    // Without a details screen a row leads nowhere, so it promises nothing.
    cell.setAccessoryType(detailsFactory() ? plat::AccessoryType::DisclosureIndicator : plat::AccessoryType::None);
}

std::shared_ptr<plat::View> HistoryController::viewForHeader(plat::TableView&, long) { return headerView_; }

double HistoryController::heightForHeader(plat::TableView&, long) { return kHeaderHeight; }

double HistoryController::heightForFooter(plat::TableView&, long) { return 0; }

double HistoryController::heightForRow(plat::TableView&, const plat::IndexPath&) { return kRowHeight; }

void HistoryController::didSelectRow(plat::TableView& table, const plat::IndexPath& ip) {
    table.deselectRow(ip, true);
    if (manageMode_) return;
    if (auto set = setAt(ip)) openSet(set);
}

void HistoryController::openSet(const std::shared_ptr<Set>& set) {
    const auto& factory = detailsFactory();
    if (!factory) return;
    auto screen = factory(set);
    auto* visible = visibleViewController();
    auto* stack = visible ? visible->navigationController() : nullptr;
    if (!screen || !stack) return;
    screen->setOnBackBlock([] {
        auto* top = visibleViewController();
        if (auto* nav = top ? top->navigationController() : nullptr) nav->popViewController(true);
    });
    stack->pushViewController(screen, true);
}

void HistoryController::commitEditingStyle(plat::TableView&, plat::EditingStyle style, const plat::IndexPath& ip) {
    if (style != plat::EditingStyle::Delete) return;
    if (auto set = setAt(ip)) deleteSet(set);
}

void HistoryController::deleteSet(const std::shared_ptr<Set>& set) {
    const ObjectID id = set->objectID();
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    // A save of its own: a deletion the disk refuses must not stay pending in the main context,
    // where the next save of anything else would carry it out after all.
    Store::defaultStore().saveWithBlock(
        [id](Context& context) {
            if (auto object = context.existingObjectWithID(id)) context.deleteObject(object);
        },
        [weak, id](bool success, const StoreError* error) {
            if (!success) {
                Store::reportFailedChange("HistoryController delete", "Not Deleted", "It could not be deleted: %@.", error);
                return;
            }
            auto current = Set::getCurrentSet();
            if (current && current->objectID() == id) Set::setCurrentSet(nullptr);
            if (auto self = std::dynamic_pointer_cast<HistoryController>(weak.lock())) self->selectedSets_.erase(id);
            // Today always has its day: deleting it makes a new, empty one.
            Set::getCurrentSet();
        });
}

// ---- the buttons

void HistoryController::filter() {
    auto screen = HistoryScreenHooks::makeSetFilter();
    auto* visible = visibleViewController();
    if (!screen || !visible) return;
    screen->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    screen->setOnBackBlock([weak] {
        if (auto* top = visibleViewController()) top->dismissViewController(true);
        if (auto self = std::dynamic_pointer_cast<HistoryController>(weak.lock())) self->updateData();
    });
    visible->presentViewController(screen, true);
}

void HistoryController::share() {
    if (selectedSets_.empty() || !fetchController_) return;
    HistoryScreenHooks::Records days;
    // Marked days in the order the list shows them; the share service reads their waypoints.
    for (const auto& object : fetchController_->fetchedObjects()) {
        if (selectedSets_.count(object->objectID())) days.push_back(object);
    }
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    HistoryScreenHooks::shareWaypointsOfDays(days, kShareOptions, [weak] {
        auto self = std::dynamic_pointer_cast<HistoryController>(weak.lock());
        if (!self) return;
        self->selectedSets_.clear();
        self->tableView()->reloadData();
    });
}

void HistoryController::manage() {
    manageMode_ = !manageMode_;
    tableView()->setEditing(manageMode_, true);
    tableView()->reloadData();
}

// ---- the rows' check boxes

void HistoryController::cellDidChecked(HistoryTableCell& cell, bool checked) {
    auto ip = tableView()->indexPathForCell(&cell);
    auto set = ip ? setAt(*ip) : nullptr;
    if (!set) return;
    if (checked) {
        selectedSets_.insert(set->objectID());
    } else {
        selectedSets_.erase(set->objectID());
    }
}

// ---- the live result list

void HistoryController::controllerWillChangeContent(FetchedResultsController&) {
    if (isViewLoaded()) tableView()->beginUpdates();
}

// The list has one section while it holds any day: the first day brings it, the last takes it.
void HistoryController::controllerDidChangeSection(FetchedResultsController&, const SectionChange& change) {
    if (!isViewLoaded()) return;
    const long index = static_cast<long>(change.index);
    if (change.type == ChangeType::insert) tableView()->insertSections({index}, plat::RowAnimation::Fade);
    if (change.type == ChangeType::remove) tableView()->deleteSections({index}, plat::RowAnimation::Fade);
}

void HistoryController::controllerDidChangeObject(FetchedResultsController&, const ObjectChange& change) {
    if (!isViewLoaded()) return;
    auto table = tableView();
    constexpr auto fade = plat::RowAnimation::Fade;
    switch (change.type) {
        case ChangeType::insert:
            if (change.newIndexPath) table->insertRows({*change.newIndexPath}, fade);
            break;
        case ChangeType::remove:
            if (change.indexPath) table->deleteRows({*change.indexPath}, fade);
            if (change.object) selectedSets_.erase(change.object->objectID());
            break;
        case ChangeType::move:
            if (change.indexPath) table->deleteRows({*change.indexPath}, fade);
            if (change.newIndexPath) table->insertRows({*change.newIndexPath}, fade);
            break;
        case ChangeType::update:
            if (change.indexPath && change.object) {
                auto cell = std::dynamic_pointer_cast<SetTableCell>(table->loadedCellForRow(*change.indexPath));
                if (cell) configure(*cell, static_cast<Set&>(*change.object));
            }
            break;
    }
}

void HistoryController::controllerDidChangeContent(FetchedResultsController&) {
    if (isViewLoaded()) tableView()->endUpdates();
}

}  // namespace qx
