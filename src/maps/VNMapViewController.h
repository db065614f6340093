#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/Observable.h"
#include "platform/map/MapView.h"
#include "platform/ui/Button.h"
#include "shell/VNBaseViewController.h"

namespace plat {
class Outlets;
}

namespace qx {

class VNWaypointAnnotationView;
class Waypoint;

// The base of the map screens: a map with a three-button map-type switch, a my-location and a
// follow-track button, threshold-coloured waypoint pins whose callout opens the waypoint's
// details, track segments in their own colours, and at most one visible pin per 10-point cell
// of the screen.
class VNMapViewController : public VNBaseViewController, public plat::MapViewDelegate {
public:
    static constexpr const char* kNibName = "VNMapViewController";
    static constexpr const char* kPinReuseIdentifier = "WaypointAnnotationView";
    static constexpr double kTrackLineWidth = 6.0;

    // The waypoint details screen lives in a layer above this one, which installs how to make
    // it and how to hand it its waypoint.
    struct WaypointDetailsFactory {
        std::function<std::shared_ptr<VNBaseViewController>()> make;
        std::function<void(VNBaseViewController& screen, const std::shared_ptr<Waypoint>& waypoint)> setWaypoint;
    };
    static void setWaypointDetailsFactory(WaypointDetailsFactory factory);
    // Until a factory is registered the callout's details button is hidden.
    static bool hasWaypointDetailsFactory();
    // Opens the waypoint's details screen over `presenter`, closed by its back button; false
    // when there is no waypoint or no details screen is registered.
    static bool presentWaypointDetails(plat::ViewController& presenter, const std::shared_ptr<Waypoint>& waypoint);
    // Keeps the map's user position on the machine's location fixes (the last one at once)
    // while the subscription lives.
    static plat::Subscription followLocationFeed(const std::shared_ptr<plat::MapView>& map);
    // Gives the three map-type buttons (any may be null) their pictures, the one of `type` on.
    static void markMapType(plat::Button* standard, plat::Button* satellite, plat::Button* hybrid, plat::MapType type);

    // A screen built from the interface file "VNMapViewController" (or another one with the
    // same outlets).
    explicit VNMapViewController(std::string interfaceName = kNibName);
    static std::shared_ptr<VNMapViewController> make() { return std::make_shared<VNMapViewController>(); }
    ~VNMapViewController() override;

    std::shared_ptr<plat::MapView> mapView();
    std::shared_ptr<plat::Button> trackButton();
    std::shared_ptr<plat::Button> locationButton();
    std::shared_ptr<plat::Button> standardMapButton();
    std::shared_ptr<plat::Button> satelliteMapButton();
    std::shared_ptr<plat::Button> hybridMapButton();

    void viewDidLoad() override;
    void initTitles() override;
    void languageDidSwitch() override;

    // The my-location button follows the user; any other sender follows the track.
    void modeDidChange(const plat::Button* sender);
    // The standard and satellite buttons choose their map type; any other sender hybrid.
    void typeDidChange(const plat::Button* sender);
    virtual void showLocation();
    virtual void showTrack();
    // A page that shows a stored object keeps it in view: the map stops following the user's
    // live position (the my-location button shows it off) until that button is pressed again.
    void stopFollowingUser();
    // The button at the right of a pin's callout; nullptr for none.
    virtual std::shared_ptr<plat::Control> calloutButtonForAnnotationView(VNWaypointAnnotationView& view);
    // Opens the waypoint's details screen over this one.
    void annotationCalloutAction(const std::shared_ptr<Waypoint>& waypoint);

    void mapViewRegionDidChangeAnimated(plat::MapView& map, bool animated) override;
    // Hides every pin whose 10-point cell of the screen an earlier pin of the map already
    // holds, and shows the others.
    static void declutterPins(plat::MapView& map);
    plat::OverlayViewPtr mapViewViewForOverlay(plat::MapView& map, const plat::OverlayPtr& overlay) override;
    plat::AnnotationViewPtr mapViewViewForAnnotation(plat::MapView& map, const plat::AnnotationPtr& annotation) override;

    std::string kindName() const override { return "Map screen"; }

protected:
    // Shows the rectangle whole, with room at the edges for the pins on it and the controls
    // over the map.
    void fitMapRect(const plat::MapRect& rect, bool animated);

private:
    void startInDefaultModes();

    std::shared_ptr<plat::MapView> map_;
    plat::Subscription locationSubscription_;
};

// The view tree of the map screens' interface file, the map reaching down to `mapBottom`
// (screens with controls under the map build on it).
std::shared_ptr<plat::View> buildMapInterface(plat::Outlets& outlets, double mapBottom);

// Registers the interface file of the map screens; safe to call more than once.
void registerMapsInterfaces();

}  // namespace qx
