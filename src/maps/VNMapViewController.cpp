#include "maps/VNMapViewController.h"

#include <functional>
#include <mutex>
#include <unordered_set>

#include "dashboard/FittingTitle.h"
#include "link/LocationFeed.h"
#include "maps/TrackPolyLine.h"
#include "maps/VNWaypointAnnotationView.h"
#include "maps/WaypointAnnotation.h"
#include "model/Language.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Screen.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

VNMapViewController::WaypointDetailsFactory& detailsFactory() {
    static VNMapViewController::WaypointDetailsFactory factory;
    return factory;
}

void setBackground(const std::shared_ptr<plat::Button>& button, const char* image) {
    if (button) button->setBackgroundImage(plat::Image::named(image));
}

struct GridPointHash {
    std::size_t operator()(const plat::Point& p) const {
        const std::size_t hx = std::hash<double>{}(p.x);
        return hx ^ (std::hash<double>{}(p.y) + 0x9e3779b97f4a7c15ULL + (hx << 6) + (hx >> 2));
    }
};

}  // namespace

std::shared_ptr<plat::View> buildMapInterface(plat::Outlets& outlets, double mapBottom) {
    const plat::Rect screen = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(screen);
    const double top = VNBaseViewController::kNavBarHeight;
    auto map = std::make_shared<plat::MapView>(plat::Rect{0, top, screen.width(), mapBottom - top});
    root->addSubview(map);
    outlets.set("mapView", map);

    auto typeButton = [&](const char* name, double x) {
        auto b = plat::Button::make(plat::ButtonType::Custom, {x, top + 10, 76, 28});
        b->setTitleColor(plat::Color::black());
        b->setBackgroundColor(plat::Color::white().withAlpha(0.85));
        root->addSubview(b);
        outlets.set(name, b);
    };
    typeButton("standardMapButton", 10);
    typeButton("satelliteMapButton", 86);
    typeButton("hybridMapButton", 162);

    auto roundButton = [&](const char* name, double fromBottom) {
        auto b = plat::Button::make(plat::ButtonType::Custom, {screen.width() - 50, mapBottom - fromBottom, 40, 40});
        b->setBackgroundColor(plat::Color::white().withAlpha(0.85));
        root->addSubview(b);
        outlets.set(name, b);
    };
    roundButton("trackButton", 100);
    roundButton("locationButton", 150);
    return root;
}

void VNMapViewController::setWaypointDetailsFactory(WaypointDetailsFactory factory) {
    detailsFactory() = std::move(factory);
}

bool VNMapViewController::hasWaypointDetailsFactory() { return static_cast<bool>(detailsFactory().make); }

VNMapViewController::VNMapViewController(std::string interfaceName) : VNBaseViewController(std::move(interfaceName)) {}

VNMapViewController::~VNMapViewController() {
    locationSubscription_.dispose();
    if (map_) map_->setDelegate({});
}

std::shared_ptr<plat::MapView> VNMapViewController::mapView() {
    view();
    return map_;
}
std::shared_ptr<plat::Button> VNMapViewController::trackButton() { return loadedOutlet<plat::Button>("trackButton"); }
std::shared_ptr<plat::Button> VNMapViewController::locationButton() {
    return loadedOutlet<plat::Button>("locationButton");
}
std::shared_ptr<plat::Button> VNMapViewController::standardMapButton() {
    return loadedOutlet<plat::Button>("standardMapButton");
}
std::shared_ptr<plat::Button> VNMapViewController::satelliteMapButton() {
    return loadedOutlet<plat::Button>("satelliteMapButton");
}
std::shared_ptr<plat::Button> VNMapViewController::hybridMapButton() {
    return loadedOutlet<plat::Button>("hybridMapButton");
}

void VNMapViewController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    map_ = outlet<plat::MapView>("mapView");
    if (!map_) {
        // Without the interface file the screen still gets a map under its bar.
        map_ = std::make_shared<plat::MapView>(contentFrame());
        view()->insertSubview(map_, 0);
    }
    initTitles();
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    auto self = [weak] { return std::dynamic_pointer_cast<VNMapViewController>(weak.lock()); };
    for (const auto& b : {locationButton(), trackButton()}) {
        if (b) b->addAction(plat::TouchUpInside, [self](plat::Control& sender) {
            if (auto s = self()) s->modeDidChange(dynamic_cast<plat::Button*>(&sender));
        });
    }
    for (const auto& b : {standardMapButton(), satelliteMapButton(), hybridMapButton()}) {
        if (b) b->addAction(plat::TouchUpInside, [self](plat::Control& sender) {
            if (auto s = self()) s->typeDidChange(dynamic_cast<plat::Button*>(&sender));
        });
    }
    map_->setDelegate(std::dynamic_pointer_cast<plat::MapViewDelegate>(self()));

    locationSubscription_ = followLocationFeed(map_);

    startInDefaultModes();
}

void VNMapViewController::startInDefaultModes() {
    // Following the user on the standard map, also when the interface file has no buttons to
    // stand for those modes.
    if (auto button = locationButton()) {
        modeDidChange(button.get());
    } else {
        setBackground(trackButton(), "btn-track");
        showLocation();
    }
    if (auto button = standardMapButton()) {
        typeDidChange(button.get());
    } else {
        setBackground(satelliteMapButton(), "btn-center-small");
        setBackground(hybridMapButton(), "btn-right-small");
        mapView()->setMapType(plat::MapType::Standard);
    }
}

void VNMapViewController::initTitles() {
    VNBaseViewController::initTitles();
    setFittingTitles({{standardMapButton().get(), Language::get("Map")},
                      {satelliteMapButton().get(), Language::get("Satellite")},
                      {hybridMapButton().get(), Language::get("Hybrid")}});
}

void VNMapViewController::languageDidSwitch() { initTitles(); }

void VNMapViewController::modeDidChange(const plat::Button* sender) {
    const bool location = sender && sender == locationButton().get();
    setBackground(locationButton(), location ? "btn-my-location-active" : "btn-my-location");
    setBackground(trackButton(), location ? "btn-track" : "btn-track-active");
    if (location) {
        showLocation();
    } else {
        showTrack();
    }
}

void VNMapViewController::typeDidChange(const plat::Button* sender) {
    plat::MapType type = plat::MapType::Hybrid;
    if (sender && sender == standardMapButton().get()) type = plat::MapType::Standard;
    if (sender && sender == satelliteMapButton().get()) type = plat::MapType::Satellite;
    markMapType(standardMapButton().get(), satelliteMapButton().get(), hybridMapButton().get(), type);
    mapView()->setMapType(type);
}

void VNMapViewController::fitMapRect(const plat::MapRect& rect, bool animated) {
    // A pin stands above its point; the alarm panel and the map buttons sit at the top.
    static constexpr plat::EdgeInsets kRoom{70, 24, 24, 24};
    mapView()->setVisibleMapRect(rect, kRoom, animated);
}

void VNMapViewController::markMapType(plat::Button* standard, plat::Button* satellite, plat::Button* hybrid,
                                      plat::MapType type) {
    const auto mark = [](plat::Button* button, const char* picture, bool on) {
        if (button) button->setBackgroundImage(plat::Image::named(std::string(picture) + (on ? "-active" : "")));
    };
    mark(standard, "btn-left-small", type == plat::MapType::Standard);
    mark(satellite, "btn-center-small", type == plat::MapType::Satellite);
    mark(hybrid, "btn-right-small", type == plat::MapType::Hybrid);
}

void VNMapViewController::showLocation() {
    mapView()->setUserTrackingMode(plat::UserTrackingMode::Follow, true);
}

void VNMapViewController::showTrack() {
    mapView()->setUserTrackingMode(plat::UserTrackingMode::FollowWithHeading, true);
}

void VNMapViewController::stopFollowingUser() {
    mapView()->setUserTrackingMode(plat::UserTrackingMode::None, false);
    setBackground(locationButton(), "btn-my-location");
}

std::shared_ptr<plat::Control> VNMapViewController::calloutButtonForAnnotationView(VNWaypointAnnotationView& view) {
    auto button = plat::Button::make(plat::ButtonType::DetailDisclosure);
    // The button shows only its sign: the name is for those who cannot see it.
    button->setAccessibilityLabel(Language::get("Details"));
    std::weak_ptr<plat::View> weakView = view.weak_from_this();
    button->addAction(plat::TouchUpInside, [weakView](plat::Control&) {
        if (auto v = std::dynamic_pointer_cast<VNWaypointAnnotationView>(weakView.lock())) v->calloutAction();
    });
    return button;
}

void VNMapViewController::annotationCalloutAction(const std::shared_ptr<Waypoint>& waypoint) {
    presentWaypointDetails(*this, waypoint);
}

plat::Subscription VNMapViewController::followLocationFeed(const std::shared_ptr<plat::MapView>& map) {
    auto& feed = LocationFeed::shared();
    std::weak_ptr<plat::MapView> weak = map;
    auto subscription = feed.subscribe([weak](const plat::Location& fix) {
        if (auto m = weak.lock()) m->updateUserLocation(fix);
    });
    if (feed.lastFix()) map->updateUserLocation(*feed.lastFix());
    return subscription;
}

bool VNMapViewController::presentWaypointDetails(plat::ViewController& presenter,
                                                 const std::shared_ptr<Waypoint>& waypoint) {
    // A pin left over from a deleted point opens nothing: the record must not be read again.
    if (!waypoint || waypoint->isDeleted()) return false;
    const auto factory = detailsFactory();
    if (!factory.make) {
        plat::Log::line("VNMapViewController: no waypoint details screen is registered");
        return false;
    }
    auto details = factory.make();
    if (!details) return false;
    std::weak_ptr<plat::ViewController> weak = presenter.weak_from_this();
    details->setOnBackBlock([weak] {
        if (auto self = weak.lock()) self->dismissViewController(true);
    });
    details->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    if (!presenter.presentViewController(details, true)) return false;
    if (factory.setWaypoint) factory.setWaypoint(*details, waypoint);
    return true;
}

void VNMapViewController::mapViewRegionDidChangeAnimated(plat::MapView& map, bool) { declutterPins(map); }

void VNMapViewController::declutterPins(plat::MapView& map) {
    // Of several pins in one 10-point cell of the screen only the first in the map's order
    // stays visible.
    std::unordered_set<plat::Point, GridPointHash> taken;
    const auto annotations = map.annotations();
    taken.reserve(annotations.size());
    for (const auto& annotation : annotations) {
        if (annotation == map.userLocation()) continue;
        const plat::Point cell = WaypointAnnotation::snapToGrid(map.convertCoordinateToPoint(annotation->coordinate()));
        auto view = map.viewForAnnotation(annotation);
        if (!taken.insert(cell).second) {
            if (view) view->setHidden(true);
        } else if (view) {
            view->setHidden(false);
        }
    }
}

plat::OverlayViewPtr VNMapViewController::mapViewViewForOverlay(plat::MapView&, const plat::OverlayPtr& overlay) {
    auto line = std::dynamic_pointer_cast<plat::Polyline>(overlay);
    if (!line) return nullptr;
    auto view = std::make_shared<plat::PolylineView>(line);
    if (auto segment = std::dynamic_pointer_cast<TrackPolyLine>(line)) {
        view->setFillColor(segment->lineColor());
        view->setStrokeColor(segment->lineColor());
    }
    view->setLineWidth(kTrackLineWidth);
    return view;
}

plat::AnnotationViewPtr VNMapViewController::mapViewViewForAnnotation(plat::MapView& map,
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
        std::weak_ptr<plat::View> weakView = view;
        std::weak_ptr<plat::ViewController> weakSelf = weak_from_this();
        view->setRightCalloutAccessoryMaker([weakView, weakSelf]() -> plat::ViewPtr {
            auto v = std::dynamic_pointer_cast<VNWaypointAnnotationView>(weakView.lock());
            auto self = std::dynamic_pointer_cast<VNMapViewController>(weakSelf.lock());
            if (!v || !self) return nullptr;
            auto button = self->calloutButtonForAnnotationView(*v);
            // The callout offers the details only once a screen for them is registered.
            if (button) button->setHidden(!hasWaypointDetailsFactory());
            return button;
        });
        view->setCalloutHandler([weakView, weakSelf] {
            auto v = std::dynamic_pointer_cast<VNWaypointAnnotationView>(weakView.lock());
            auto self = std::dynamic_pointer_cast<VNMapViewController>(weakSelf.lock());
            if (!v || !self) return;
            auto current = std::dynamic_pointer_cast<WaypointAnnotation>(v->annotation());
            self->annotationCalloutAction(current ? current->waypoint() : nullptr);
        });
    }
    // A button made already follows a screen registered since.
    if (const auto& button = view->madeRightCalloutAccessoryView()) button->setHidden(!hasWaypointDetailsFactory());
    view->showPinColor(pin->pinColor());
    return view;
}

void registerMapsInterfaces() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::Interface::registerBuilder(VNMapViewController::kNibName, [](plat::Outlets& outlets) {
            return buildMapInterface(outlets, plat::Screen::bounds().height());
        });
    });
}

}  // namespace qx
