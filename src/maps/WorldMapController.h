#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

#include "dashboard/CustomSegmentedControl.h"
#include "platform/foundation/Observable.h"
#include "platform/map/Location.h"
#include "platform/map/MapTypes.h"
#include "platform/map/MapViewDelegate.h"
#include "shell/VNBaseViewController.h"
#include "store/WaypointCells.h"

namespace plat {
class Button;
class Circle;
class Label;
class MapView;
}  // namespace plat

namespace qx {

class Waypoint;
class WaypointAnnotation;

// The World Map tab: the stored waypoints inside the visible region that pass the world-map
// filter (alarms only, within a radius of the user, a time window, above a dose-rate floor), as
// threshold-coloured pins, one per 10-point cell of the screen (the cell's highest dose rate,
// so that an alarm is never hidden behind a quiet reading), and the filter radius drawn around
// the user. It reloads when the filter screen closes, when the map zooms or moves far enough and
// when the user has walked far enough. Only the cells' pins are read and made: the cost of a
// reload follows the screen, not the number of stored points.
class WorldMapController : public VNBaseViewController,
                           public plat::MapViewDelegate,
                           public CustomSegmentedControlDelegate {
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
    // Says the map is being prepared while the store's map grid is made (the first map on a
    // store an earlier version wrote): the pins come when it goes.
    std::shared_ptr<plat::Label> preparingLabel();
    const std::shared_ptr<CustomSegmentedControl>& mapModeControl() const { return mapModeControl_; }

    // The pins of the last reload, kept current as points are stored and deleted.
    const std::shared_ptr<WaypointCells>& cells() const { return cells_; }
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

    // Reloads: reads the cells of the visible area, diffs the pins and redraws the circle.
    void initData();
    // Reads the pins of the cells of the visible area.
    void initFetchController();
    // Puts the pins read on the map: those that stay are kept, the others come and go.
    void initAnnotations();
    void initRadiusOverlay();

    // What a pin's point must pass: the filter of the preferences. `user` is the user's
    // position; without it the distance filter lets nothing through.
    static WaypointGrid::Filter cellFilter(const std::optional<plat::Location>& user);
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

    std::string kindName() const override { return "World map"; }

private:
    std::optional<plat::Location> userLocation() const;
    void wireButtons();
    void showNoLocationNote(bool show);
    void showPreparingNote();
    // Takes the pins that went off the map and puts the new ones on it.
    void applyCells(const WaypointCells::Change& change);

    std::shared_ptr<plat::MapView> map_;
    std::shared_ptr<CustomSegmentedControl> mapModeControl_;
    std::shared_ptr<WaypointCells> cells_;
    WaypointCells::Change pending_;  // read by initFetchController, put on the map by initAnnotations
    std::unordered_map<std::int64_t, std::shared_ptr<WaypointAnnotation>> pinByRow_;
    bool listLoaded_ = false;  // a first reload was made: later region changes reload by distance and zoom
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
