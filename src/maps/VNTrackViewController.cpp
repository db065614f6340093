#include "maps/VNTrackViewController.h"

#include <mutex>

#include "dashboard/FittingTitle.h"
#include "dashboard/PDColoredProgressView.h"
#include "link/DeviceManager.h"
#include "link/LocationFeed.h"
#include "maps/TrackPath.h"
#include "maps/VNTrackAlarmsView.h"
#include "maps/VNTrackRecordControl.h"
#include "maps/WaypointAnnotation.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "model/StorageAlert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBar.h"
#include "shell/AppWindow.h"
#include "shell/VNSection.h"
#include "shell/VNTableViewController.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

VNTrackViewController::SettingsSectionsMaker& sectionsMaker() {
    static VNTrackViewController::SettingsSectionsMaker maker;
    return maker;
}

constexpr double kPanelHeight = 116;

std::shared_ptr<plat::Button> panelButton(const plat::Rect& frame) {
    auto b = plat::Button::make(plat::ButtonType::Custom, frame);
    b->setBackgroundColor(plat::Color::fromBytes(70, 70, 70));
    b->setTitleColor(plat::Color::white());
    b->titleLabel().setFont(plat::Font::named("HelveticaNeue-Bold", 15));
    return b;
}

// The map with the record panel under it: the dose-rate bar; the add-waypoint and settings
// buttons; the record control.
std::shared_ptr<plat::View> buildTrackInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    const double height = screen.height() - plat::TabBar::kHeight;
    const double panelTop = height - kPanelHeight;
    auto root = buildMapInterface(outlets, panelTop);
    root->setFrame({0, 0, screen.width(), height});

    auto panel = std::make_shared<plat::View>(plat::Rect{0, panelTop, screen.width(), kPanelHeight});
    panel->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    root->addSubview(panel);
    const double width = screen.width() - 20;
    auto bar = std::make_shared<PDColoredProgressView>(plat::Rect{10, 6, width, 12});
    panel->addSubview(bar);
    outlets.set("progressBar", bar);

    const double half = (width - 6) / 2;
    auto add = panelButton({10, 26, half, 36});
    panel->addSubview(add);
    outlets.set("addWaypointButton", add);
    auto config = panelButton({16 + half, 26, half, 36});
    panel->addSubview(config);
    outlets.set("configButton", config);

    auto control = std::make_shared<VNTrackRecordControl>(plat::Rect{10, 68, width, 42});
    panel->addSubview(control);
    outlets.set("trackRecordControl", control);
    control->awakeFromNib();
    return root;
}

}  // namespace

void registerTrackInterface() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerMapsInterfaces();
        plat::Interface::registerBuilder(VNTrackViewController::kNibName, buildTrackInterface);
    });
}

void VNTrackViewController::setSettingsSectionsMaker(SettingsSectionsMaker maker) { sectionsMaker() = std::move(maker); }

VNTrackViewController::VNTrackViewController() : VNTrackMapViewController(kNibName) { registerTrackInterface(); }

VNTrackViewController::~VNTrackViewController() {
    presenceObserver_.reset();
    if (waypointsFetch_) waypointsFetch_->setDelegate(nullptr);
    if (trackFetch_) trackFetch_->setDelegate(nullptr);
    if (recordControl_) {
        recordControl_->setOnStartHandler({});
        recordControl_->setOnStopHandler({});
    }
}

std::weak_ptr<VNTrackViewController> VNTrackViewController::weakSelf() {
    return std::static_pointer_cast<VNTrackViewController>(shared_from_this());
}

void VNTrackViewController::viewDidLoad() {
    VNTrackMapViewController::viewDidLoad();
    recordControl_ = outlet<VNTrackRecordControl>("trackRecordControl");
    progressBar_ = outlet<PDColoredProgressView>("progressBar");
    addWaypointButton_ = outlet<plat::Button>("addWaypointButton");
    configButton_ = outlet<plat::Button>("configButton");
    if (!recordControl_ || !progressBar_ || !addWaypointButton_ || !configButton_) {
        plat::Log::line("VNTrackViewController: the interface file lacks the record panel");
        return;
    }
    updateTitles();

    auto weak = weakSelf();
    auto self = weak.lock();
    DeviceManager::sharedDeviceManager().setTrackDelegate(std::shared_ptr<DeviceManagerLocationDelegate>(self, this));
    recordControl_->setOnStartHandler([weak] {
        if (auto s = weak.lock()) s->startRecord();
    });
    recordControl_->setOnStopHandler([weak] {
        if (auto s = weak.lock()) s->stopRecord();
    });
    addWaypointButton_->addAction(plat::TouchUpInside, [weak](plat::Control&) {
        if (auto s = weak.lock()) s->addWaypoint();
    });
    configButton_->addAction(plat::TouchUpInside, [weak](plat::Control&) {
        if (auto s = weak.lock()) s->config();
    });

    const auto& threshold = Settings::sharedSettings().DERthreshold();
    setBarThresholds(threshold.firstThreshold->value(), threshold.secondThreshold->value());

    presenceObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        kDevicePresentNotification, [weak](const plat::Notification& n) {
            if (auto s = weak.lock()) s->handleDevicePresentNotification(n);
        });
    // Nothing matches yet: points stored by hand from now on bring their pins.
    watchHandAddedWaypoints(false);
}

void VNTrackViewController::viewWillAppear(bool animated) {
    VNTrackMapViewController::viewWillAppear(animated);
    auto self = weakSelf().lock();
    DeviceManager::sharedDeviceManager().setDelegate(std::shared_ptr<DeviceManagerDelegate>(self, this));
}

void VNTrackViewController::updateTitles() {
    setTitle(Language::get("Track"));
    if (recordControl_) recordControl_->updateTitles();
    setFittingTitles({{addWaypointButton_.get(), Language::get("Add Waypoint")},
                      {configButton_.get(), Language::get("Track Settings")}},
                     15);
}

void VNTrackViewController::languageDidSwitch() {
    VNTrackMapViewController::languageDidSwitch();
    updateTitles();
}

void VNTrackViewController::setBarThresholds(double first, double second) {
    if (!progressBar_) return;
    progressBar_->setFirstThreshold(first);
    progressBar_->setSecondThreshold(second);
}

void VNTrackViewController::valueUpdate() {
    const auto& threshold = Settings::sharedSettings().DERthreshold();
    setBarThresholds(threshold.firstThreshold->value(), threshold.secondThreshold->value());
    if (progressBar_) progressBar_->setDer(DeviceManager::sharedDeviceManager().getDER().value());
}

void VNTrackViewController::watchHandAddedWaypoints(bool ascending) {
    if (waypointsFetch_) waypointsFetch_->setDelegate(nullptr);
    auto request = FetchRequest::of<Waypoint>()
                       .where(Key("measurement.date") > Value(plat::Date::now()) && Key("autoSaved") == false)
                       .sortedBy("measurement.date", ascending);
    StoreError error;
    waypointsFetch_ = FetchedResultsController::fetchAll(std::move(request), this, &error);
}

// ---- recording --------------------------------------------------------------------------------

void VNTrackViewController::startRecord() {
    DeviceManager::sharedDeviceManager().setLastSaveTime(plat::Date::now());
    StoreError error;
    auto track = Track::startTrack(&error);
    if (!track) {
        StorageAlert::show("Track Not Started", "The track could not be started: %@.", Store::failureReason(error));
        if (recordControl_ && recordControl_->isRecording()) recordControl_->stop();
        return;
    }
    // Where the recording starts is known already: a track shorter than the time between two
    // fixes still has the altitude of the ground it was recorded on.
    if (const auto& fix = LocationFeed::shared().lastFix()) didUpdateLocation(*fix, std::nullopt);
    if (auto badge = alarmsView()) badge->setTrack(track);
    removeAllOverlays();
    removeAllPins();
    watchHandAddedWaypoints(true);
    if (trackFetch_) trackFetch_->setDelegate(nullptr);
    auto request = FetchRequest::of<Track>()
                       .where(Key("dateFrom") >= Value(track->dateFrom()))
                       .sortedBy("dateFrom")
                       .sectionedBy("dateFrom");
    trackFetch_ = FetchedResultsController::fetchAll(std::move(request), this);
}

void VNTrackViewController::stopRecord() {
    if (auto badge = alarmsView()) badge->setHidden(true);
    // A track is stopped, and asked for its name, once.
    const auto track = Track::recordingTrack();
    if (!track) return;
    Track::stopTrack();
    if (track->waypointsCount() == 0) {
        discardStoppedTrack();
        // Without an instrument the timer ran all the same: without a word the person would
        // take the walk as recorded.
        if (!DeviceManager::sharedDeviceManager().isConnected())
            plat::AlertView::show(Language::get("Nothing Recorded"),
                                  Language::get("No instrument sent readings while recording, so no track was kept."),
                                  Language::get("OK"), {}, {});
        return;
    }
    auto alert = plat::AlertView::make(Language::get("Save Track"), "", Language::get("Cancel"),
                                       {Language::get("Save")});
    alert->setAlertViewStyle(plat::AlertStyle::PlainTextInput);
    auto field = alert->textFieldAtIndex(0);
    field->setPlaceholder(Language::get("Track Name"));
    auto weak = weakSelf();
    std::weak_ptr<plat::TextField> weakField = field;
    alert->setDismissHandler([weak, weakField](long) {
        auto self = weak.lock();
        auto f = weakField.lock();
        if (self) self->keepStoppedTrack(f ? f->text() : std::string{});
    });
    alert->setCancelHandler([weak] {
        if (auto self = weak.lock()) self->discardStoppedTrack();
    });
    alert->show();
}

void VNTrackViewController::keepStoppedTrack(const std::string& name) {
    const auto track = Track::getCurrentTrack();
    if (!track) return;
    // The figures from the location fixes live on this context's object; the save carries them.
    // Fixes counted while the disk refused their readings do not: the stored points give them.
    if (Track::recordingFiguresAhead()) track->refigureFromStoredPoints();
    // The timer and the location fixes read the current track on this thread: it ends here,
    // not inside the background save.
    Track::setCurrentTrack(nullptr);
    TrackPath::setCurrentTrackPath(nullptr);
    const auto row = track->objectID().row;
    const double distance = track->distance(), avgSpeed = track->avgSpeed(), maxSpeed = track->maxSpeed();
    const double minAltitude = track->minAltitude(), maxAltitude = track->maxAltitude();
    Store::defaultStore().saveWithBlock([=](Context& context) {
        auto t = context.objectWithRow<Track>(row);
        if (!t) return;
        t->setDistance(distance);
        t->setAvgSpeed(avgSpeed);
        t->setMaxSpeed(maxSpeed);
        t->setMinAltitude(minAltitude);
        t->setMaxAltitude(maxAltitude);
        auto day = Set::currentSetInContext(context);
        t->setSet(day);
        day->addTracksObject(t);
        if (!name.empty()) t->setName(name);
    }, [row, name](bool ok, const StoreError* error) {
        // Its points stay stored and the track stays open in the store: the next start closes it,
        // under the name typed, which the close of the store writes once there is room.
        if (!ok && !name.empty()) Track::keepNameUntilClose(row, name);
        if (!ok && error)
            StorageAlert::show("Track Not Saved",
                               "The track could not be saved: %@. Its stored points are kept, and it is saved when "
                               "quorix next starts.",
                               Store::failureReason(*error));
    });
}

void VNTrackViewController::discardStoppedTrack() {
    const auto track = Track::getCurrentTrack();
    if (!track) return;
    Track::setCurrentTrack(nullptr);
    TrackPath::setCurrentTrackPath(nullptr);
    const auto row = track->objectID().row;
    Store::defaultStore().saveWithBlock(
        [row](Context& context) {
            if (auto t = context.objectWithRow<Track>(row)) context.deleteObject(t);
        },
        [](bool ok, const StoreError* error) {
            // The track stays stored, and comes back closed at the next start: the person must
            // know it is still there.
            if (!ok) Store::reportFailedChange("VNTrackViewController discard", "Not Deleted",
                                               "It could not be deleted: %@.", error);
        });
}

void VNTrackViewController::handleDevicePresentNotification(const plat::Notification& notification) {
    const auto* model = std::any_cast<std::string>(&notification.object);
    if (!model || !model->empty()) return;
    // Only a running recording asks; a stopped one already waits for its name.
    const auto track = Track::recordingTrack();
    const auto shown = lostAlert_.lock();
    if (!track || (shown && shown->isVisible())) return;
    auto weak = weakSelf();
    std::weak_ptr<Track> weakTrack = track;
    auto alert = plat::AlertView::show(Language::get("Contact to the device is lost"), "",
                                       Language::get("Stop track record"), {Language::get("Continue track record")},
                                       [](long) {}, [weak, weakTrack] {
                                           auto self = weak.lock();
                                           const auto t = weakTrack.lock();
                                           // Stopped meanwhile with the Stop button: nothing more to do.
                                           if (!self || !t || Track::recordingTrack() != t) return;
                                           self->trackRecordControl().stop();
                                       });
    lostAlert_ = alert;
}

void VNTrackViewController::addWaypoint() { Waypoint::addWaypointWithPhotoPrompt(); }

std::shared_ptr<VNTableViewController> VNTrackViewController::config() {
    auto screen = VNTableViewController::make();
    screen->setTitle(Language::get("Track Settings"));
    screen->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    if (const auto& maker = sectionsMaker()) screen->setSections(maker(screen));
    auto weak = weakSelf();
    std::weak_ptr<VNTableViewController> weakScreen = screen;
    screen->setOnBackBlock([weak, weakScreen] {
        if (auto shown = weakScreen.lock()) shown->dismissViewController(true);
        auto& settings = Settings::sharedSettings();
        settings.save();
        auto self = weak.lock();
        if (!self) return;
        // Until the next reading, the bar shows the thresholds a track goes by.
        const auto& threshold = settings.trackDRSettingsOn() ? settings.DERthreshold() : settings.trackThresh();
        self->setBarThresholds(threshold.firstThreshold->value(), threshold.secondThreshold->value());
    });
    plat::ViewController* host = visibleViewController();
    if (!host) host = this;
    if (!host->presentViewController(screen, true)) return nullptr;
    return screen;
}

// ---- location fixes ---------------------------------------------------------------------------

void VNTrackViewController::didUpdateLocation(const plat::Location& newLocation,
                                              const std::optional<plat::Location>& oldLocation) {
    if (const auto track = Track::recordingTrack()) track->addLocation(newLocation, oldLocation);
}

// ---- live lists -------------------------------------------------------------------------------

void VNTrackViewController::controllerDidChangeObject(FetchedResultsController& controller,
                                                      const ObjectChange& change) {
    if (&controller == waypointsFetch_.get()) {
        waypointChanged(change);
    } else if (&controller == trackFetch_.get()) {
        trackChanged(change);
    }
}

void VNTrackViewController::waypointChanged(const ObjectChange& change) {
    auto waypoint = std::dynamic_pointer_cast<Waypoint>(change.object);
    if (!waypoint) return;
    auto& pins = mutableAnnotations();
    auto map = mapView();
    if (change.type == ChangeType::insert) {
        // A point without a position has no place on the map.
        if (!waypoint->hasPosition()) return;
        auto pin = WaypointAnnotation::make(waypoint);
        pins.push_back(pin);
        map->addAnnotation(pin);
        if (!Track::recordingTrack()) map->setCenterCoordinate(waypoint->coordinate(), false);
    } else if (change.type == ChangeType::remove) {
        std::vector<plat::AnnotationPtr> gone;
        std::erase_if(pins, [&](const std::shared_ptr<WaypointAnnotation>& pin) {
            if (pin->waypoint() != waypoint) return false;
            gone.push_back(pin);
            return true;
        });
        map->removeAnnotations(gone);
    }
}

void VNTrackViewController::trackChanged(const ObjectChange& change) {
    if (change.type == ChangeType::remove) {
        clearRecordingFromMap();
        return;
    }
    if (change.type != ChangeType::update || !change.changedKeys.count("waypoints")) return;
    reconcilePathOverlays();
}

void VNTrackViewController::clearRecordingFromMap() {
    removeAllOverlays();
    removeAllPins();
    trackFetch_->setDelegate(nullptr);
    retiredTrackFetch_ = std::move(trackFetch_);
    // Released once the report that deleted the track has finished.
    auto weak = weakSelf();
    plat::RunLoop::main().post([weak] {
        if (auto self = weak.lock()) self->retiredTrackFetch_.reset();
    });
    if (auto badge = alarmsView()) badge->update();
    // The recording track went from under the running recording (the history was reset):
    // nothing records any more, so the control must not go on looking as if it did.
    if (recordControl_ && recordControl_->isRecording() && !Track::getCurrentTrack()) recordControl_->stop();
}

void VNTrackViewController::reconcilePathOverlays() {
    auto path = TrackPath::getCurrentTrackPath();
    auto badge = alarmsView();
    if (!path || !path->track()) return;
    // Compared with the points the path knows, not its segments (one fewer than its points):
    // a deleted point would otherwise leave the counts equal and the old path on the map.
    if (path->track()->waypointsCount() == path->knownWaypointCount()) return;
    path->updatePath();
    const auto& segments = path->pathForTrack();
    auto map = mapView();
    if (!path->lastUpdateOnlyGrew()) {
        // A rebuilt path is made of new segments: the map's old ones may pass through a deleted
        // point, so they all go.
        removeAllOverlays();
        addPathOverlays(*path);
    } else if (segments && !segments->empty()) {
        while (map->overlays().size() > segments->size()) map->removeOverlay(map->overlays().back());
        // Several points may arrive in one save: each missing segment is added once.
        for (std::size_t i = map->overlays().size(); i < segments->size(); ++i) map->addOverlay((*segments)[i]);
    }
    // Counting a long track's alarms again is the costly part of a new point; points at or
    // below the first threshold change neither the count nor the highest alarming dose rate.
    const double first = Settings::sharedSettings().DERthreshold().firstThreshold->value();
    if (badge && !(path->lastUpdateOnlyGrew() && path->lastAddedMaxDoseRate() <= first)) badge->update();
}

void VNTrackViewController::controllerDidChangeContent(FetchedResultsController& controller) {
    if (&controller != trackFetch_.get()) return;
    if (shouldCenterTrack_) fitRecordingTrack(true);
    mapView()->setNeedsDisplay();
}

void VNTrackViewController::fitRecordingTrack(bool animated) {
    const auto track = Track::getCurrentTrack();
    if (!track || track->waypointsCount() < 2) return;
    const auto path = TrackPath::getCurrentTrackPath();
    const plat::MapRect bounds = path && path->track() == track ? path->boundingMapRect() : track->boundingMapRect();
    if (!bounds.isNull()) fitMapRect(bounds, animated);
}

// ---- map modes --------------------------------------------------------------------------------

void VNTrackViewController::showTrack() {
    // The tab never has a page track of its own, so the parent's fitting does nothing here:
    // the map stops following the user and shows the recording track, and goes on showing it
    // as it grows.
    VNTrackMapViewController::showTrack();
    stopFollowingUser();
    shouldCenterTrack_ = true;
    fitRecordingTrack(true);
}

void VNTrackViewController::showLocation() {
    VNMapViewController::showLocation();
    shouldCenterTrack_ = false;
}

}  // namespace qx
