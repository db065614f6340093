#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "dashboard/CustomSegmentedControl.h"
#include "platform/foundation/Observable.h"
#include "platform/map/Location.h"
#include "platform/map/MapTypes.h"
#include "platform/map/MapViewDelegate.h"
#include "shell/VNBaseViewController.h"
#include "store/FetchRequest.h"
#include "store/FetchedResultsController.h"

namespace plat {
class Button;
class Circle;
class Label;
class MapView;
}  // namespace plat

namespace qx {

class Waypoint;

// The World Map tab: every stored waypoint inside the visible region that passes the world-map
// filter (alarms only, within a radius of the user, a time window, above a dose-rate floor), as
// threshold-coloured pins with at most one visible pin per 10-point cell of the screen, and the
// filter radius drawn around the user. It reloads when the filter screen closes, when the map
// zooms or moves far enough and when the user has walked far enough.
class WorldMapController : public VNBaseViewController,
                           public plat::MapViewDelegate,
                           public CustomSegmentedControlDelegate,
                           public FetchedResultsControllerDelegate {
public:
    static constexpr const char* kNibName = "WorldMapController";
    static constexpr const char* kPinReuseIdentifier = "Waypoint";

    // The filter and search screens live in layers above this one, which install how to make
    // them. Without a maker the button that opens the screen is hidden.
    using ScreenFactory = std::function<std::shared_ptr<VNBaseViewController>()>;
    static void setFilterScreenFactory(ScreenFactory factory);
    static void setSearchScreenFactory(ScreenFactory factory);

    WorldMapController();
    static std::shared_ptr<WorldMapController> make() { return std::make_shared<WorldMapController>(); }
    ~WorldMapController() override;

    // Outlets (asking for one loads the view).
    std::shared_ptr<plat::MapView> mapView();
    std::shared_ptr<plat::View> mapSettingsView();
    std::shared_ptr<plat::Button> mapButton();
    std::shared_ptr<plat::Button> satButton();
    std::shared_ptr<plat::Button> hybridButton();
    std::shared_ptr<plat::Button> locationButton();
    std::shared_ptr<plat::Button> mapTypeButton();
    std::shared_ptr<plat::Button> filterButton();
    std::shared_ptr<plat::Button> searchButton();
    // Says why the distance filter shows nothing while the user's position is not known.
    std::shared_ptr<plat::Label> noLocationLabel();
    const std::shared_ptr<CustomSegmentedControl>& mapModeControl() const { return mapModeControl_; }

    const std::shared_ptr<FetchedResultsController>& fetchController() const { return fetchController_; }
    const std::shared_ptr<plat::Circle>& radiusOverlay() const { return radiusOverlay_; }
    const std::optional<plat::Location>& lastLocation() const { return lastLocation_; }
    bool mapLoaded() const { return mapLoaded_; }
    const plat::CoordinateRegion& lastMapRegion() const { return lastMapRegion_; }
    double mapZoomLevel() const { return mapZoomLevel_; }

    // Actions of the screen's buttons.
    void location();
    void showHideMapControlls();
    void showFilter();
    void showSearch();
    void quitReview();

    void viewDidLoad() override;
    void initTitles() override;
    void languageDidSwitch() override;

    // Reloads: with the distance filter on, first marks the points within the radius of the
    // user (in a background save), then queries, diffs the pins and redraws the circle.
    void initData();
    void initFetchController();
    void initAnnotations();
    void initRadiusOverlay();
    // A stored waypoint that arrived while the list is shown gets a pin unless another pin
    // already holds its 10-point cell; a deleted one loses its pin.
    void addAnnotationForWaypoint(const std::shared_ptr<Waypoint>& waypoint);
    void removeAnnotationForWaypoint(const std::shared_ptr<Waypoint>& waypoint);

    // What the map shows: the waypoints of the visible region that pass the filter of the
    // preferences, highest dose rate first. `userKnown` says whether the user's position is
    // known; without it the distance filter lets nothing through.
    static FetchRequest fetchRequestFor(const plat::CoordinateRegion& region, bool userKnown);
    // The radius of the filter circle in metres.
    static double radiusInMetres();
    // Whether a region change reloads: the zoom moved a whole level since the previous change,
    // or the centre moved 8,000,000 / 2^zoom metres or more since the last reload.
    static bool regionChangeReloads(double zoom, double previousZoom, double movedMetres);
    // Whether walking that far (metres) reloads at that zoom level.
    static bool walkReloads(double walkedMetres, double zoom);

    // Map-view delegate.
    void mapViewWillStartLoadingMap(plat::MapView& map) override;
    void mapViewDidFinishLoadingMap(plat::MapView& map) override;
    void mapViewRegionDidChangeAnimated(plat::MapView& map, bool animated) override;
    void mapViewDidUpdateUserLocation(plat::MapView& map, plat::UserLocation& location) override;
    plat::OverlayViewPtr mapViewViewForOverlay(plat::MapView& map, const plat::OverlayPtr& overlay) override;
    std::shared_ptr<plat::AnnotationView> mapViewViewForAnnotation(plat::MapView& map,
                                                                   const plat::AnnotationPtr& annotation) override;
    void mapViewAnnotationViewCalloutAccessoryControlTapped(plat::MapView& map, plat::AnnotationView& view,
                                                            plat::Control& control) override;

    // Map-type segments.
    std::shared_ptr<plat::Button> buttonFor(CustomSegmentedControl& control, std::size_t index) override;
    void touchUpInsideSegmentIndex(CustomSegmentedControl& control, std::size_t index) override;

    // Store changes while the list is shown.
    void controllerDidChangeObject(FetchedResultsController& controller, const ObjectChange& change) override;

    std::string kindName() const override { return "World map"; }

private:
    std::optional<plat::Location> userLocation() const;
    void wireButtons();
    void showNoLocationNote(bool show);

    std::shared_ptr<plat::MapView> map_;
    std::shared_ptr<CustomSegmentedControl> mapModeControl_;
    std::shared_ptr<FetchedResultsController> fetchController_;  // none while the marks are being set
    bool listLoaded_ = false;  // a first list was made: later region changes reload by distance and zoom
    std::shared_ptr<plat::Circle> radiusOverlay_;
    std::optional<plat::Location> lastLocation_;
    bool mapLoaded_ = false;
    plat::CoordinateRegion lastMapRegion_{};
    double mapZoomLevel_ = 0;
    plat::Subscription locationSubscription_;
};

// Registers the interface file of the World Map tab; safe to call more than once.
void registerWorldMapInterface();

}  // namespace qx
