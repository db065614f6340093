#include "maps/WorldMapController.h"

#include <cmath>
#include <mutex>
#include <algorithm>
#include <unordered_set>

#include "maps/MapHelper.h"
#include "maps/MapZoomLevel.h"
#include "maps/VNMapViewController.h"
#include "maps/VNWaypointAnnotationView.h"
#include "maps/WaypointAnnotation.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "platform/map/MapView.h"
#include "platform/map/Overlay.h"
#include "platform/map/OverlayView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBar.h"
#include "shell/AppWindow.h"
#include "store/Store.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

WorldMapController::ScreenFactory& filterFactory() {
    static WorldMapController::ScreenFactory factory;
    return factory;
}

WorldMapController::ScreenFactory& searchFactory() {
    static WorldMapController::ScreenFactory factory;
    return factory;
}

constexpr plat::Size kSegment{56, 24};
constexpr double kPanelHeight = 50;

std::shared_ptr<plat::Button> overlayButton(plat::View& root, plat::Outlets& outlets, const char* name,
                                            const plat::Rect& frame) {
    auto b = plat::Button::make(plat::ButtonType::Custom, frame);
    b->setTitleColor(plat::Color::black());
    b->setBackgroundColor(plat::Color::white().withAlpha(0.85));
    b->titleLabel().setFont(plat::Font::system(13));
    b->titleLabel().setAdjustsFontSizeToFitWidth(true);
    root.addSubview(b);
    outlets.set(name, b);
    return b;
}

std::shared_ptr<plat::View> buildWorldMapInterface(plat::Outlets& outlets) {
    // The tab's screen sits above the tab bar.
    const plat::Rect screen = plat::Screen::bounds();
    const double bottom = screen.height() - plat::TabBar::kHeight;
    auto root = std::make_shared<plat::View>(plat::Rect{0, 0, screen.width(), bottom});
    const double top = VNBaseViewController::kNavBarHeight;
    auto map = std::make_shared<plat::MapView>(plat::Rect{0, top, screen.width(), bottom - top});
    root->addSubview(map);
    outlets.set("mapView", map);

    const double row = bottom - 40;
    const double typeRow = row - 40;
    // The panel opens right above the button that shows it, its caption left of the segments.
    auto panel = std::make_shared<plat::View>(plat::Rect{0, typeRow - kPanelHeight - 6, screen.width(), kPanelHeight});
    panel->setBackgroundColor(plat::Color::white().withAlpha(0.92));
    panel->setHidden(true);
    root->addSubview(panel);
    outlets.set("mapSettingsView", panel);
    auto caption = std::make_shared<plat::Label>(plat::Rect{10, 0, 124, kPanelHeight});
    caption->setFont(plat::Font::boldSystem(14));
    caption->setAdjustsFontSizeToFitWidth(true);
    panel->addSubview(caption);
    outlets.set("mapTypeCaption", caption);
    // The three segments are handed to the segmented control, which places them.
    for (const char* name : {"mapButton", "satButton", "hybridButton"}) {
        auto b = plat::Button::make(plat::ButtonType::Custom, {0, 0, kSegment.width, kSegment.height});
        b->setTitleColor(plat::Color::black());
        b->titleLabel().setFont(plat::Font::system(11));
        b->titleLabel().setAdjustsFontSizeToFitWidth(true);
        outlets.set(name, b);
    }

    // The notes over the top of the map: why nothing is shown, and that the map is being prepared.
    const std::pair<const char*, double> notes[] = {{"noLocationLabel", top + 4}, {"preparingLabel", top + 48}};
    for (const auto& [name, y] : notes) {
        auto note = std::make_shared<plat::Label>(plat::Rect{10, y, screen.width() - 20, 40});
        note->setNumberOfLines(2);
        note->setFont(plat::Font::system(13));
        note->setTextAlignment(plat::TextAlignment::Center);
        note->setBackgroundColor(plat::Color::white().withAlpha(0.85));
        note->setHidden(true);
        root->addSubview(note);
        outlets.set(name, note);
    }

    overlayButton(*root, outlets, "filterButton", {10, row, 90, 30});
    overlayButton(*root, outlets, "searchButton", {106, row, 90, 30});
    overlayButton(*root, outlets, "mapTypeButton", {screen.width() - 120, typeRow, 110, 30});
    auto location = overlayButton(*root, outlets, "locationButton", {screen.width() - 50, row - 4, 40, 40});
    location->setBackgroundImage(plat::Image::named("btn-my-location"));
    return root;
}

}  // namespace

void WorldMapController::setFilterScreenFactory(ScreenFactory factory) { filterFactory() = std::move(factory); }
void WorldMapController::setSearchScreenFactory(ScreenFactory factory) { searchFactory() = std::move(factory); }

WorldMapController::WorldMapController() : VNBaseViewController(kNibName) {}

WorldMapController::~WorldMapController() {
    if (map_) map_->setDelegate({});
}

std::shared_ptr<plat::MapView> WorldMapController::mapView() {
    view();
    return map_;
}
std::shared_ptr<plat::View> WorldMapController::mapSettingsView() { return loadedOutlet<plat::View>("mapSettingsView"); }
std::shared_ptr<plat::Button> WorldMapController::mapButton() { return loadedOutlet<plat::Button>("mapButton"); }
std::shared_ptr<plat::Button> WorldMapController::satButton() { return loadedOutlet<plat::Button>("satButton"); }
std::shared_ptr<plat::Button> WorldMapController::hybridButton() { return loadedOutlet<plat::Button>("hybridButton"); }
std::shared_ptr<plat::Button> WorldMapController::locationButton() {
    return loadedOutlet<plat::Button>("locationButton");
}
std::shared_ptr<plat::Button> WorldMapController::mapTypeButton() { return loadedOutlet<plat::Button>("mapTypeButton"); }
std::shared_ptr<plat::Button> WorldMapController::filterButton() { return loadedOutlet<plat::Button>("filterButton"); }
std::shared_ptr<plat::Button> WorldMapController::searchButton() { return loadedOutlet<plat::Button>("searchButton"); }
std::shared_ptr<plat::Label> WorldMapController::noLocationLabel() {
    return loadedOutlet<plat::Label>("noLocationLabel");
}
std::shared_ptr<plat::Label> WorldMapController::preparingLabel() { return loadedOutlet<plat::Label>("preparingLabel"); }

void WorldMapController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    map_ = outlet<plat::MapView>("mapView");
    if (!map_) {
        map_ = std::make_shared<plat::MapView>(contentFrame());
        view()->insertSubview(map_, 0);
    }
    auto self = std::dynamic_pointer_cast<WorldMapController>(shared_from_this());
    mapModeControl_ = std::make_shared<CustomSegmentedControl>(
        3, kSegment, nullptr, 1, std::shared_ptr<CustomSegmentedControlDelegate>(self, this));
    mapModeControl_->setFrame({139, 13, mapModeControl_->frame().width(), mapModeControl_->frame().height()});
    if (auto panel = mapSettingsView()) panel->addSubview(mapModeControl_);
    map_->setDelegate(std::shared_ptr<plat::MapViewDelegate>(self, this));
    wireButtons();

    map_->setUserTrackingMode(plat::UserTrackingMode::Follow, true);
    locationSubscription_ = VNMapViewController::followLocationFeed(map_);
    map_->setMapType(plat::MapType::Standard);
    VNMapViewController::markMapType(mapButton().get(), satButton().get(), hybridButton().get(), plat::MapType::Standard);
    initTitles();
}

void WorldMapController::wireButtons() {
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    auto on = [weak](const std::shared_ptr<plat::Button>& button, void (WorldMapController::*action)()) {
        if (!button) return;
        button->addAction(plat::TouchUpInside, [weak, action](plat::Control&) {
            if (auto s = std::static_pointer_cast<WorldMapController>(weak.lock())) ((*s).*action)();
        });
    };
    on(locationButton(), &WorldMapController::location);
    on(mapTypeButton(), &WorldMapController::showHideMapControlls);
    on(filterButton(), &WorldMapController::showFilter);
    on(searchButton(), &WorldMapController::showSearch);
}

void WorldMapController::initTitles() {
    VNBaseViewController::initTitles();
    setTitle(Language::get("World Map"));
    if (auto b = filterButton()) {
        b->setTitle(Language::get("Filter"));
        b->setHidden(!filterFactory());
    }
    if (auto b = searchButton()) {
        b->setTitle(Language::get("Search"));
        b->setHidden(!searchFactory());
    }
    if (auto b = mapTypeButton()) b->setTitle(Language::get("Map type"));
    if (auto caption = loadedOutlet<plat::Label>("mapTypeCaption")) caption->setText(Language::get("Map type"));
    if (auto l = noLocationLabel()) l->setText(Language::get("Your position is not known: no waypoints by distance"));
    if (auto l = preparingLabel()) l->setText(Language::get("Preparing the map's waypoints…"));
    const std::pair<std::shared_ptr<plat::Button>, const char*> segments[] = {
        {mapButton(), "Map"}, {satButton(), "Satellite"}, {hybridButton(), "Hybrid"}};
    for (const auto& [button, key] : segments)
        if (button) button->setTitle(Language::get(key));
}

void WorldMapController::languageDidSwitch() { initTitles(); }

// --- actions ------------------------------------------------------------------------------------

void WorldMapController::location() { mapView()->setUserTrackingMode(plat::UserTrackingMode::Follow, true); }

void WorldMapController::showHideMapControlls() {
    if (auto panel = mapSettingsView()) panel->setHidden(!panel->isHidden());
}

void WorldMapController::showFilter() {
    if (!filterFactory()) return;
    auto screen = filterFactory()();
    if (!screen) return;
    screen->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    screen->setOnBackBlock([weak] {
        if (auto top = visibleViewController()) top->dismissViewController(true);
        if (auto s = std::static_pointer_cast<WorldMapController>(weak.lock())) s->initData();
    });
    plat::ViewController* presenter = visibleViewController();
    (presenter ? *presenter : static_cast<plat::ViewController&>(*this)).presentViewController(screen, true);
}

void WorldMapController::showSearch() {
    if (!searchFactory()) return;
    auto screen = searchFactory()();
    if (!screen) return;
    screen->setOnBackBlock([] {
        if (auto top = visibleViewController()) top->dismissViewController(true);
    });
    screen->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    presentViewController(screen, true);
}

void WorldMapController::quitReview() { dismissViewController(true); }

// --- reloading ----------------------------------------------------------------------------------

std::optional<plat::Location> WorldMapController::userLocation() const {
    if (!map_) return std::nullopt;
    return map_->userLocation()->location();
}

void WorldMapController::initData() {
    // The distance filter is a condition of the query itself: nothing is marked in the store.
    initFetchController();
    initAnnotations();
    initRadiusOverlay();
}

WaypointGrid::Filter WorldMapController::cellFilter(const std::optional<plat::Location>& user) {
    auto& settings = Settings::sharedSettings();
    WaypointGrid::Filter filter;
    filter.doseRateAbove = settings.WMthresholdValue();
    if (settings.WMAlertsOnly())
        filter.doseRateAbove = std::max(filter.doseRateAbove, settings.DERthreshold().firstThreshold->value());
    if (settings.WMTimeFromOn()) filter.from = settings.WMTimeFrom().timeIntervalSince1970();
    if (settings.WMTimeToOn()) filter.before = settings.WMTimeTo().timeIntervalSince1970();
    if (settings.WMDistanceOn()) {
        if (user)
            filter.within = WaypointGrid::Filter::Circle{user->coordinate(), radiusInMetres()};
        else
            filter.nothing = true;
    }
    return filter;
}

void WorldMapController::initFetchController() {
    auto map = mapView();
    const auto user = userLocation();
    // Without the user's position the distance filter has no centre: nothing is shown and the
    // screen says why, rather than showing points around an earlier position.
    showNoLocationNote(Settings::sharedSettings().WMDistanceOn() && !user);
    if (!cells_) {
        std::weak_ptr<plat::ViewController> weak = weak_from_this();
        cells_ = WaypointCells::make(Store::defaultStore().mainContext(), [weak](const WaypointCells::Change& change) {
            if (auto s = std::static_pointer_cast<WorldMapController>(weak.lock())) s->applyCells(change);
        });
    }
    const auto grid = WaypointGrid::CellGrid::forScale(1.0 / map->zoomScale());
    pending_ = cells_->reload(map->visibleMapRect(), grid, cellFilter(user));
    listLoaded_ = true;
    showPreparingNote();
}

void WorldMapController::showNoLocationNote(bool show) {
    if (auto label = noLocationLabel()) label->setHidden(!show);
}

void WorldMapController::showPreparingNote() {
    if (auto label = preparingLabel()) label->setHidden(!cells_ || !cells_->preparing());
}

void WorldMapController::initAnnotations() {
    WaypointCells::Change change = std::move(pending_);
    pending_ = {};
    plat::Log::line("Start adding " + std::to_string(cells_ ? cells_->pins().size() : 0) + " waypoints");
    applyCells(change);
    // Pins that stay keep their object; their cell is that of the map now. One taken off the map
    // by other hands goes back on.
    auto map = mapView();
    std::unordered_set<const plat::Annotation*> onMap;
    for (const auto& a : map->annotations()) onMap.insert(a.get());
    std::vector<plat::AnnotationPtr> missing;
    for (auto& [row, pin] : pinByRow_) {
        pin->updatePointOnMap(*map);
        if (!onMap.count(pin.get())) missing.push_back(pin);
    }
    if (!missing.empty()) map->addAnnotations(missing);
    plat::Log::line("End adding waypoints");
    plat::Log::line("Wps on map:" + std::to_string(map->annotations().size()));
}

void WorldMapController::applyCells(const WaypointCells::Change& change) {
    showPreparingNote();  // the cells tell when the map grid is made
    auto map = mapView();
    std::vector<plat::AnnotationPtr> gone;
    gone.reserve(change.removed.size());
    for (const auto& pin : change.removed) {
        auto it = pinByRow_.find(pin.waypoint);
        if (it == pinByRow_.end()) continue;
        gone.push_back(it->second);
        pinByRow_.erase(it);
    }
    if (!gone.empty()) map->removeAnnotations(gone);
    if (change.added.empty() || !cells_) return;
    std::weak_ptr<Context> context = Store::defaultStore().mainContext().shared_from_this();
    std::vector<plat::AnnotationPtr> added;
    added.reserve(change.added.size());
    for (const auto& point : cells_->pointsOf(change.added)) {
        auto pin = WaypointAnnotation::make(point, context);
        pin->updatePointOnMap(*map);
        pinByRow_[point.row] = pin;
        added.push_back(std::move(pin));
    }
    if (!added.empty()) map->addAnnotations(added);
}

double WorldMapController::radiusInMetres() { return Waypoint::filterRadius(); }

void WorldMapController::initRadiusOverlay() {
    auto map = mapView();
    const auto loc = userLocation();
    if (radiusOverlay_ && !map->overlays().empty()) map->removeOverlay(radiusOverlay_);
    radiusOverlay_.reset();
    if (!Settings::sharedSettings().WMDistanceOn() || !loc) return;
    lastLocation_ = loc;
    radiusOverlay_ = std::make_shared<plat::Circle>(loc->coordinate(), radiusInMetres());
    map->addOverlay(radiusOverlay_);
}

// --- reload triggers ----------------------------------------------------------------------------

bool WorldMapController::regionChangeReloads(double zoom, double previousZoom, double movedMetres) {
    if (std::abs(zoom - previousZoom) >= 1.0) return true;
    return std::log2(4000000.0 / movedMetres) <= previousZoom - 1.0;
}

bool WorldMapController::walkReloads(double walkedMetres, double zoom) {
    if (zoom == 0) return false;
    return std::trunc(walkedMetres) >= std::trunc(600.0 / zoom);
}

void WorldMapController::mapViewWillStartLoadingMap(plat::MapView&) { mapLoaded_ = false; }

void WorldMapController::mapViewDidFinishLoadingMap(plat::MapView& map) {
    mapLoaded_ = true;
    // The region the map opened on counts as its first change: without it a map that opens on
    // the whole world, where no zoom or move test passes, would stay empty until moved.
    if (!listLoaded_) mapViewRegionDidChangeAnimated(map, false);
}

void WorldMapController::mapViewRegionDidChangeAnimated(plat::MapView& map, bool) {
    if (!mapLoaded_) return;
    const double zoom = getZoomLevel(map);
    const plat::CoordinateRegion region = map.region();
    const double moved = MapHelper::distanceFrom(region.center, lastMapRegion_.center);
    if (!listLoaded_ || regionChangeReloads(zoom, mapZoomLevel_, moved)) {
        initData();
        lastMapRegion_ = region;
    }
    mapZoomLevel_ = zoom;
}

void WorldMapController::mapViewDidUpdateUserLocation(plat::MapView& map, plat::UserLocation& location) {
    if (!mapLoaded_ || mapZoomLevel_ == 0) return;
    const auto& fix = location.location();
    if (!fix) return;
    if (!lastLocation_) lastLocation_ = fix;
    if (!map.isUserLocationVisible()) return;
    if (walkReloads(lastLocation_->distanceFromLocation(*fix), mapZoomLevel_)) {
        initData();
        lastLocation_ = fix;
    }
}

// --- map views ----------------------------------------------------------------------------------

plat::OverlayViewPtr WorldMapController::mapViewViewForOverlay(plat::MapView&, const plat::OverlayPtr& overlay) {
    auto circle = std::dynamic_pointer_cast<plat::Circle>(overlay);
    if (!circle) return nullptr;
    auto view = std::make_shared<plat::CircleView>(circle);
    view->setFillColor(plat::Color::rgba(0, 0, 1, 0.1));
    view->setStrokeColor(plat::Color::rgba(0, 0, 1, 0.2));
    view->setLineWidth(1.0);
    return view;
}

std::shared_ptr<plat::AnnotationView> WorldMapController::mapViewViewForAnnotation(plat::MapView& map,
                                                                     const plat::AnnotationPtr& annotation) {
    auto pin = std::dynamic_pointer_cast<WaypointAnnotation>(annotation);
    if (!pin) return nullptr;
    auto view = std::dynamic_pointer_cast<VNWaypointAnnotationView>(map.dequeueReusableAnnotationView(kPinReuseIdentifier));
    if (view) {
        view->setAnnotation(annotation);
    } else {
        view = std::make_shared<VNWaypointAnnotationView>(annotation, kPinReuseIdentifier);
        view->setEnabled(true);
        view->setCanShowCallout(true);
        view->setRightCalloutAccessoryView(plat::Button::make(plat::ButtonType::DetailDisclosure));
    }
    // The details button only while a details screen can be opened: no dead end.
    view->rightCalloutAccessoryView()->setHidden(!VNMapViewController::hasWaypointDetailsFactory());
    view->showPinColor(pin->pinColor());
    return view;
}

void WorldMapController::mapViewAnnotationViewCalloutAccessoryControlTapped(plat::MapView&, plat::AnnotationView& view,
                                                                            plat::Control&) {
    auto pin = std::dynamic_pointer_cast<WaypointAnnotation>(view.annotation());
    if (pin) VNMapViewController::presentWaypointDetails(*this, pin->waypoint());
}

// --- map-type segments --------------------------------------------------------------------------

std::shared_ptr<plat::Button> WorldMapController::buttonFor(CustomSegmentedControl&, std::size_t index) {
    switch (index) {
        case 0: return mapButton();
        case 1: return satButton();
        case 2: return hybridButton();
        default: return nullptr;
    }
}

void WorldMapController::touchUpInsideSegmentIndex(CustomSegmentedControl&, std::size_t index) {
    static constexpr plat::MapType kTypes[] = {plat::MapType::Standard, plat::MapType::Satellite,
                                               plat::MapType::Hybrid};
    if (index >= 3) return;
    mapView()->setMapType(kTypes[index]);
    VNMapViewController::markMapType(mapButton().get(), satButton().get(), hybridButton().get(), kTypes[index]);
}

void registerWorldMapInterface() {
    static std::once_flag once;
    std::call_once(once, [] { plat::Interface::registerBuilder(WorldMapController::kNibName, buildWorldMapInterface); });
}

}  // namespace qx
