#include "history/SetDetailsController.h"

#include <algorithm>
#include <utility>

#include "dashboard/VNSegmentedControlView.h"
#include "history/HistoryInterfaces.h"
#include "history/HistoryScreenHooks.h"
#include "history/MeasurementTableCell.h"
#include "history/SetDetailsQuery.h"
#include "history/TrackTableCell.h"
#include "history/VNTrackDetailsViewController.h"
#include "history/VNWaypointDetailsViewController.h"
#include "history/WaypointTableCell.h"
#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "shell/AppWindow.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

constexpr plat::Color kTableBackground = plat::Color::rgba(0.9176470637321472, 0.9176470637321472, 0.9176470637321472);
constexpr double kSegmentedHeight = 44;
constexpr double kButtonStripHeight = 36;

const char* const kHeaderOutlets[] = {"tracksHeader", "waypointsHeader", "measuresHeader"};

std::shared_ptr<plat::View> headerView(plat::Outlets& outlets, const std::string& name, double width) {
    auto header = std::make_shared<plat::View>(plat::Rect{0, 0, width, SetDetailsController::kHeaderHeight});
    header->setBackgroundColor(plat::Color::fromBytes(70, 70, 70));
    auto label = std::make_shared<plat::Label>(plat::Rect{10, 2, width - 20, SetDetailsController::kHeaderHeight - 4});
    label->setBackgroundColor(plat::Color::clear());
    label->setTextColor(plat::Color::white());
    label->setFont(plat::Font::named("HelveticaNeue-Bold", 12));
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.6);
    header->addSubview(label);
    outlets.set(name + "View", header);
    outlets.set(name + "Label", label);
    return header;
}

void stripButton(plat::View& root, plat::Outlets& outlets, const char* name, double x, double y, double width) {
    auto button = plat::Button::make(plat::ButtonType::System, {x, y, width, kButtonStripHeight - 6});
    button->setBackgroundColor(plat::Color::white());
    button->setTitleColor(plat::Color::black());
    fitButtonTitle(*button, 14);
    root.addSubview(button);
    outlets.set(name, button);
}

template <class T>
std::shared_ptr<T> as(const std::shared_ptr<ManagedObject>& object) {
    return std::dynamic_pointer_cast<T>(object);
}

}  // namespace

std::shared_ptr<plat::View> buildSetDetailsInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(screen);
    root->setBackgroundColor(kTableBackground);
    const double bar = plat::NavigationBar::kHeight;
    auto navBar = std::make_shared<plat::NavigationBar>(plat::Rect{0, 0, screen.width(), bar});
    auto segmented = std::make_shared<plat::View>(plat::Rect{0, bar, screen.width(), kSegmentedHeight});
    segmented->setBackgroundColor(plat::Color::fromBytes(38, 38, 38));
    const double strip = bar + kSegmentedHeight;
    const double top = strip + kButtonStripHeight;
    auto table = std::make_shared<plat::TableView>(plat::Rect{0, top, screen.width(), screen.height() - top});
    root->addSubview(table);
    root->addSubview(segmented);
    root->addSubview(navBar);
    const double width = (screen.width() - 40) / 3;
    stripButton(*root, outlets, "filterButton", 10, strip + 3, width);
    stripButton(*root, outlets, "shareButton", 20 + width, strip + 3, width);
    stripButton(*root, outlets, "manageButton", 30 + 2 * width, strip + 3, width);
    for (const char* name : kHeaderOutlets) headerView(outlets, name, screen.width());
    outlets.set("navBar", navBar);
    outlets.set("segmentedContainerView", segmented);
    outlets.set("tableView", table);
    return root;
}

SetDetailsController::SetDetailsController()
    : VNTableViewController(kNibName), editBar_([this] { cellDidEndEditing(); }) {}

SetDetailsController::~SetDetailsController() {
    for (const auto& list : {tracks_, waypoints_, measurements_}) {
        if (list) list->setDelegate(nullptr);
    }
}

std::shared_ptr<SetDetailsController> SetDetailsController::make() {
    registerHistoryInterfaces();
    return std::make_shared<SetDetailsController>();
}

std::shared_ptr<plat::Label> SetDetailsController::tracksHeaderLabel() {
    view();
    return outlet<plat::Label>("tracksHeaderLabel");
}
std::shared_ptr<plat::Label> SetDetailsController::waypointsHeaderLabel() {
    view();
    return outlet<plat::Label>("waypointsHeaderLabel");
}
std::shared_ptr<plat::Label> SetDetailsController::measuresHeaderLabel() {
    view();
    return outlet<plat::Label>("measuresHeaderLabel");
}

void SetDetailsController::setSet(std::shared_ptr<Set> set) {
    set_ = std::move(set);
    updateData();
}

void SetDetailsController::viewDidLoad() {
    VNTableViewController::viewDidLoad();
    options_ = kAllShown;
    tracksSection_ = 0;
    waypointsSection_ = 1;
    measuresSection_ = 2;

    segmentedControlView_ = VNSegmentedControlView::loadFromNibWithStyle(0);
    if (auto container = outlet<plat::View>("segmentedContainerView"); container && segmentedControlView_) {
        const auto size = segmentedControlView_->frame().size;
        segmentedControlView_->setFrame({(container->bounds().width() - size.width) / 2,
                                         (container->bounds().height() - size.height) / 2, size.width, size.height});
        container->addSubview(segmentedControlView_);
    }
    fitSwitchTitles(*segmentedControlView_);
    segmentedControlView_->setMultiCheck(true);
    segmentedControlView_->selectAll();
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    auto toggle = [weak](std::uint64_t bit) {
        return [weak, bit](bool) {
            if (auto self = std::dynamic_pointer_cast<SetDetailsController>(weak.lock())) self->toggleList(bit);
        };
    };
    segmentedControlView_->setLeftButtonPressBlock(toggle(kTracksBit));
    segmentedControlView_->setCenterButtonPressBlock(toggle(kWaypointsBit));
    segmentedControlView_->setRightButtonPressBlock(toggle(kMeasurementsBit));

    auto action = [weak](void (SetDetailsController::*method)()) {
        return [weak, method](plat::Control&) {
            if (auto self = std::dynamic_pointer_cast<SetDetailsController>(weak.lock())) (self.get()->*method)();
        };
    };
    if (auto b = outlet<plat::Button>("filterButton"))
        b->addAction(plat::TouchUpInside, action(&SetDetailsController::filter));
    if (auto b = outlet<plat::Button>("shareButton"))
        b->addAction(plat::TouchUpInside, action(&SetDetailsController::share));
    if (auto b = outlet<plat::Button>("manageButton"))
        b->addAction(plat::TouchUpInside, action(&SetDetailsController::manage));

    manageMode_ = false;
    tableView()->setBackgroundColor(kTableBackground);
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(true, false);
    initTitles();
    updateData();
}

void SetDetailsController::initTitles() {
    VNTableViewController::initTitles();
    if (set_) setTitle(DateStrings::dateStr(set_->date()));
    editBar_.initTitles();
    if (auto b = outlet<plat::Button>("filterButton")) b->setTitle(Language::get("Filter"));
    if (auto b = outlet<plat::Button>("shareButton")) b->setTitle(Language::get("Share"));
    if (auto b = outlet<plat::Button>("manageButton")) b->setTitle(Language::get("Manage"));
    if (!segmentedControlView_) return;
    segmentedControlView_->leftButton().setTitle(Language::get("Tracks"));
    segmentedControlView_->centerButton().setTitle(Language::get("Waypoints"));
    segmentedControlView_->rightButton().setTitle(Language::get("Measurements"));
}

void SetDetailsController::languageDidSwitch() {
    initTitles();
    updateHeaderTexts();
    reloadTable();
}

void SetDetailsController::toggleList(std::uint64_t bit) {
    options_ ^= bit;
    assignSections();
    reloadTable();
}

void SetDetailsController::updateData() {
    if (!isViewLoaded()) return;
    if (set_) setTitle(DateStrings::dateStr(set_->date()));
    for (const auto& list : {tracks_, waypoints_, measurements_}) {
        if (list) list->setDelegate(nullptr);
    }
    tracks_ = waypoints_ = measurements_ = nullptr;
    if (set_) {
        Settings& settings = Settings::sharedSettings();
        StoreError error;
        tracks_ = FetchedResultsController::fetchAll(SetDetailsQuery::tracks(*set_, settings), this, &error);
        waypoints_ = FetchedResultsController::fetchAll(SetDetailsQuery::waypoints(*set_, settings), this, &error);
        measurements_ =
            FetchedResultsController::fetchAll(SetDetailsQuery::measurements(*set_, settings), this, &error);
        if (error) plat::Log::line("SetDetailsController updateData: " + error.message);
    }
    updateHeaderTexts();
    reloadTable();
}

void SetDetailsController::updateHeaderTexts() {
    const std::string filters = SetDetailsQuery::filterText(Settings::sharedSettings());
    if (auto l = measuresHeaderLabel()) l->setText(Language::get("Measurements: ") + filters);
    if (auto l = waypointsHeaderLabel()) l->setText(Language::get("Waypoints: ") + filters);
    if (auto l = tracksHeaderLabel()) l->setText(Language::get("Tracks: ") + filters);
}

void SetDetailsController::assignSections() {
    tracksSection_ = waypointsSection_ = measuresSection_ = kHidden;
    if (options_ == kAllShown) {
        tracksSection_ = 0;
        waypointsSection_ = 1;
        measuresSection_ = 2;
        return;
    }
    long next = 0;
    if (options_ & kMeasurementsBit) measuresSection_ = next++;
    if (options_ & kTracksBit) tracksSection_ = next++;
    if (options_ & kWaypointsBit) waypointsSection_ = next++;
}

long SetDetailsController::numberOfSections(plat::TableView&) {
    assignSections();
    long count = 0;
    for (long s : {tracksSection_, waypointsSection_, measuresSection_}) count += s != kHidden ? 1 : 0;
    return count;
}

SetDetailsController::List SetDetailsController::listOfSection(long section) const {
    if (section == kHidden) return List::none;
    if (section == tracksSection_) return List::tracks;
    if (section == waypointsSection_) return List::waypoints;
    if (section == measuresSection_) return List::measurements;
    return List::none;
}

SetDetailsController::List SetDetailsController::listOf(const FetchedResultsController& list) const {
    if (&list == tracks_.get()) return List::tracks;
    if (&list == waypoints_.get()) return List::waypoints;
    if (&list == measurements_.get()) return List::measurements;
    return List::none;
}

long SetDetailsController::sectionOf(List list) const {
    switch (list) {
        case List::tracks:
            return tracksSection_;
        case List::waypoints:
            return waypointsSection_;
        case List::measurements:
            return measuresSection_;
        case List::none:
            break;
    }
    return kHidden;
}

FetchedResultsController* SetDetailsController::controllerOf(List list) const {
    switch (list) {
        case List::tracks:
            return tracks_.get();
        case List::waypoints:
            return waypoints_.get();
        case List::measurements:
            return measurements_.get();
        case List::none:
            break;
    }
    return nullptr;
}

std::vector<ObjectID>& SetDetailsController::marksOf(List list) {
    switch (list) {
        case List::tracks:
            return markedTracks_;
        case List::waypoints:
            return markedWaypoints_;
        default:
            return markedMeasurements_;
    }
}

bool SetDetailsController::isMarked(const ManagedObject& record) const {
    for (const auto* marks : {&markedTracks_, &markedWaypoints_, &markedMeasurements_}) {
        if (std::find(marks->begin(), marks->end(), record.objectID()) != marks->end()) return true;
    }
    return false;
}

std::shared_ptr<ManagedObject> SetDetailsController::objectAt(const plat::IndexPath& ip) const {
    auto* list = controllerOf(listOfSection(ip.section));
    if (!list || ip.row < 0 || static_cast<std::size_t>(ip.row) >= list->numberOfObjects()) return nullptr;
    return list->fetchedObjects()[static_cast<std::size_t>(ip.row)];
}

long SetDetailsController::numberOfRows(plat::TableView&, long section) {
    auto* list = controllerOf(listOfSection(section));
    return list ? static_cast<long>(list->numberOfObjects()) : 0;
}

std::shared_ptr<plat::View> SetDetailsController::viewForHeader(plat::TableView&, long section) {
    switch (listOfSection(section)) {
        case List::tracks:
            return outlet<plat::View>("tracksHeaderView");
        case List::waypoints:
            return outlet<plat::View>("waypointsHeaderView");
        case List::measurements:
            return outlet<plat::View>("measuresHeaderView");
        case List::none:
            break;
    }
    return nullptr;
}

double SetDetailsController::heightForHeader(plat::TableView&, long) {
    return kHeaderHeight;
}

double SetDetailsController::heightForRow(plat::TableView&, const plat::IndexPath& ip) {
    switch (listOfSection(ip.section)) {
        case List::measurements:
            return kMeasurementRowHeight;
        case List::tracks:
            return kTrackRowHeight;
        default:
            return kWaypointRowHeight;
    }
}

void SetDetailsController::configureRow(HistoryTableCell& row, List list,
                                        const std::shared_ptr<ManagedObject>& object) {
    if (auto* waypointRow = dynamic_cast<WaypointTableCell*>(&row); waypointRow && list == List::waypoints) {
        waypointRow->configureWithWaypoint(as<Waypoint>(object), editBar_.toolbar());
    } else if (auto* trackRow = dynamic_cast<TrackTableCell*>(&row); trackRow && list == List::tracks) {
        if (auto track = as<Track>(object)) trackRow->configureWithTrack(*track, editBar_.toolbar());
    } else if (auto* readingRow = dynamic_cast<MeasurementTableCell*>(&row); readingRow && list == List::measurements) {
        if (auto reading = as<Measurement>(object)) readingRow->configureWithMeasurement(*reading);
    }
    if (manageMode_) {
        row.manageMode();
    } else {
        row.normalMode();
    }
    row.setChecked(object && isMarked(*object));
}

plat::TableViewCellPtr SetDetailsController::cellForRow(plat::TableView& table, const plat::IndexPath& ip) {
    const List list = listOfSection(ip.section);
    const char* identifier = list == List::tracks      ? TrackTableCell::kReuseIdentifier
                             : list == List::waypoints ? WaypointTableCell::kReuseIdentifier
                                                       : MeasurementTableCell::kReuseIdentifier;
    auto row = std::dynamic_pointer_cast<HistoryTableCell>(table.dequeueReusableCell(identifier));
    if (!row) {
        if (list == List::tracks) {
            row = TrackTableCell::make(plat::CellStyle::Default, identifier);
        } else if (list == List::waypoints) {
            row = WaypointTableCell::make(plat::CellStyle::Default, identifier);
        } else {
            row = MeasurementTableCell::make(plat::CellStyle::Default, identifier);
        }
        row->setDelegate(std::shared_ptr<HistoryTableCellDelegate>(weak_from_this().lock(), this));
    }
    configureRow(*row, list, objectAt(ip));
    return row;
}

void SetDetailsController::didSelectRow(plat::TableView& table, const plat::IndexPath& ip) {
    table.deselectRow(ip, true);
    if (manageMode_) return;
    const List list = listOfSection(ip.section);
    auto object = objectAt(ip);
    if (!object || list == List::measurements) return;
    openDetails(list, object);
}

void SetDetailsController::openDetails(List list, const std::shared_ptr<ManagedObject>& object) {
    std::shared_ptr<VNDetailsViewController> details;
    if (list == List::tracks) {
        details = VNTrackDetailsViewController::make();
    } else {
        details = VNWaypointDetailsViewController::make();
    }
    details->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    details->setOnBackBlock([] {
        if (auto* top = visibleViewController()) top->dismissViewController(true);
    });
    plat::ViewController* top = visibleViewController();
    if (!top) top = this;
    top->presentViewController(details, true);
    if (auto track = as<Track>(object)) {
        std::static_pointer_cast<VNTrackDetailsViewController>(details)->setTrack(track);
    } else if (auto waypoint = as<Waypoint>(object)) {
        std::static_pointer_cast<VNWaypointDetailsViewController>(details)->setWaypoint(waypoint);
    }
}

void SetDetailsController::cellDidChecked(HistoryTableCell& cell, bool checked) {
    auto ip = tableView()->indexPathForCell(&cell);
    if (!ip) return;
    auto object = objectAt(*ip);
    const List list = listOfSection(ip->section);
    if (!object || list == List::none) return;
    auto& marks = marksOf(list);
    auto at = std::find(marks.begin(), marks.end(), object->objectID());
    if (checked && at == marks.end()) marks.push_back(object->objectID());
    if (!checked && at != marks.end()) marks.erase(at);
}

void SetDetailsController::forgetMark(List list, const ObjectID& id) {
    std::erase(marksOf(list), id);
}

void SetDetailsController::cellDidBeginEdit(HistoryTableCell& cell) {
    auto ip = tableView()->indexPathForCell(&cell);
    auto object = ip ? objectAt(*ip) : nullptr;
    const List list = ip ? listOfSection(ip->section) : List::none;
    if (!object || (list != List::tracks && list != List::waypoints)) return;
    // One edit at a time: an edit left open on another row ends.
    if (editedCell_.get() != &cell) {
        leaveEdit();
        shownName_ = cell.name();
    }
    editedCell_ = std::dynamic_pointer_cast<HistoryTableCell>(cell.shared_from_this());
    editedID_ = object->objectID();
    editBar_.show(*view());
}

void SetDetailsController::endEdit() {
    auto row = std::exchange(editedCell_, nullptr);
    const auto id = std::exchange(editedID_, std::nullopt);
    editBar_.hide();
    if (!row) return;
    row->resignFirstResponder();
    // A row still showing the record drops the unstored text.
    auto ip = tableView()->indexPathForCell(row.get());
    auto object = ip ? objectAt(*ip) : nullptr;
    if (object && id && object->objectID() == *id) configureRow(*row, listOfSection(ip->section), object);
}

void SetDetailsController::leaveEdit() {
    std::optional<std::pair<ObjectID, std::string>> typed;
    if (editedCell_ && editedID_ && editedCell_->name() != shownName_) typed.emplace(*editedID_, editedCell_->name());
    endEdit();
    if (typed) askToStoreName(typed->first, typed->second);
}

void SetDetailsController::askToStoreName(const ObjectID& id, const std::string& name) {
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    plat::AlertView::show(Language::get("Save the New Name?"), name, Language::get("Discard"), {Language::get("Save")},
                          [weak, id, name](long) {
                              if (auto self = std::dynamic_pointer_cast<SetDetailsController>(weak.lock()))
                                  self->storeName(id, name);
                          });
}

void SetDetailsController::reloadTable() {
    leaveEdit();
    tableView()->reloadData();
}

void SetDetailsController::cellDidEndEditing() {
    if (!editedCell_ || !editedID_) return;
    editedCell_->resignFirstResponder();
    const ObjectID id = *editedID_;
    // The row must still show the record the edit began on; otherwise its text belongs to
    // another record and nothing is stored.
    auto ip = tableView()->indexPathForCell(editedCell_.get());
    auto object = ip ? objectAt(*ip) : nullptr;
    if (!manageMode_ || !object || object->objectID() != id) {
        endEdit();
        return;
    }
    const std::string name = editedCell_->name();
    // The row shows the name with its date, or the date alone: left as shown, that text is no
    // new name, and storing it would pile dates onto the name at each Done.
    if (name == shownName_) {
        endEdit();
        return;
    }
    storeName(id, name);
}

void SetDetailsController::storeName(const ObjectID& id, const std::string& name) {
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    Store::defaultStore().saveWithBlock(
        [id, name](Context& context) {
            auto own = context.existingObjectWithID(id);
            if (auto track = as<Track>(own)) track->setName(name);
            if (auto waypoint = as<Waypoint>(own)) waypoint->setName(name);
        },
        [weak, id](bool success, const StoreError* error) {
            auto self = std::dynamic_pointer_cast<SetDetailsController>(weak.lock());
            if (!self) return;
            // The edit stays open: Done stores it once there is room.
            if (!success || error) {
                Store::reportFailedChange("SetDetailsController rename", "Name Not Saved", "The new name could not be saved: %@.", error);
                return;
            }
            // Another edit may have begun meanwhile; it stays open.
            if (self->editedID_ != id) return;
            self->editedCell_.reset();
            self->editedID_.reset();
            self->editBar_.hide();
        });
}

void SetDetailsController::manage() {
    manageMode_ = !manageMode_;
    tableView()->setEditing(manageMode_, true);
    reloadTable();
}

void SetDetailsController::filter() {
    auto screen = HistoryScreenHooks::makeSetDetailsFilter();
    if (!screen) return;
    screen->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    // Closing the filter fetches the lists again under the settings it stored.
    screen->setOnBackBlock([weak] {
        if (auto* top = visibleViewController()) top->dismissViewController(true);
        if (auto self = std::dynamic_pointer_cast<SetDetailsController>(weak.lock())) self->updateData();
    });
    presentViewController(screen, true);
}

void SetDetailsController::share() {
    HistoryScreenHooks::Records records;
    auto addMarked = [&](List list, const std::shared_ptr<FetchedResultsController>& results) {
        if (!results) return;
        const auto& marks = marksOf(list);
        for (const auto& object : results->fetchedObjects()) {
            if (std::find(marks.begin(), marks.end(), object->objectID()) == marks.end()) continue;
            if (auto track = as<Track>(object)) {
                for (const auto& point : track->waypoints()) records.push_back(point);
            } else {
                records.push_back(object);
            }
        }
    };
    // Marks in a hidden list are not shared.
    if (options_ & kMeasurementsBit) addMarked(List::measurements, measurements_);
    if (options_ & kTracksBit) addMarked(List::tracks, tracks_);
    if (options_ & kWaypointsBit) addMarked(List::waypoints, waypoints_);
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    HistoryScreenHooks::share(records, 15, [weak] {
        auto self = std::dynamic_pointer_cast<SetDetailsController>(weak.lock());
        if (!self) return;
        self->markedTracks_.clear();
        self->markedWaypoints_.clear();
        self->markedMeasurements_.clear();
        self->reloadTable();
    });
}

void SetDetailsController::commitEditingStyle(plat::TableView&, plat::EditingStyle style, const plat::IndexPath& ip) {
    if (style != plat::EditingStyle::Delete) return;
    const List list = listOfSection(ip.section);
    auto object = objectAt(ip);
    if (!object) return;
    const ObjectID id = object->objectID();
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    Store::defaultStore().saveWithBlock(
        [id](Context& context) {
            if (auto own = context.existingObjectWithID(id)) context.deleteObject(own);
        },
        [weak, list, id](bool success, const StoreError* error) {
            auto self = std::dynamic_pointer_cast<SetDetailsController>(weak.lock());
            if (!self) return;
            if (!success || error) {
                Store::reportFailedChange("SetDetailsController delete", "Not Deleted", "It could not be deleted: %@.", error);
                return;
            }
            self->forgetMark(list, id);
        });
}

void SetDetailsController::controllerWillChangeContent(FetchedResultsController&) {
    changedRows_.clear();
    tableView()->beginUpdates();
}

void SetDetailsController::controllerDidChangeObject(FetchedResultsController& results, const ObjectChange& change) {
    // A hidden list has no rows in the table: its changes are simply not shown.
    const long section = sectionOf(listOf(results));
    if (section == kHidden) return;
    auto table = tableView();
    auto at = [section](const std::optional<IndexPath>& ip) { return plat::IndexPath{section, ip ? ip->row : 0}; };
    switch (change.type) {
        case ChangeType::insert:
            table->insertRows({at(change.newIndexPath)}, plat::RowAnimation::Right);
            break;
        case ChangeType::remove:
            if (editedID_ && change.object && change.object->objectID() == *editedID_) endEdit();
            table->deleteRows({at(change.indexPath)}, plat::RowAnimation::Right);
            break;
        case ChangeType::move:
            table->deleteRows({at(change.indexPath)}, plat::RowAnimation::Right);
            table->insertRows({at(change.newIndexPath)}, plat::RowAnimation::Right);
            break;
        case ChangeType::update:
            changedRows_.push_back(at(change.newIndexPath ? change.newIndexPath : change.indexPath));
            break;
    }
}

void SetDetailsController::controllerDidChangeContent(FetchedResultsController& results) {
    auto table = tableView();
    table->endUpdates();
    const List list = listOf(results);
    for (const auto& ip : changedRows_) {
        auto row = std::dynamic_pointer_cast<HistoryTableCell>(table->cellForRow(ip));
        if (row) configureRow(*row, list, objectAt(ip));
    }
    changedRows_.clear();
}

}  // namespace qx
