#include "maps/VNTrackMapViewController.h"

#include <algorithm>

#include "maps/TrackPath.h"
#include "maps/VNTrackAlarmsView.h"
#include "maps/WaypointAnnotation.h"
#include "model/Settings.h"
#include "platform/ui/LayoutConstraint.h"
#include "store/Context.h"
#include "store/Track.h"
#include "store/TrackPoints.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

// Pins the badge to the map's top-left corner at a fixed distance; it keeps its own size.
void pinToCorner(const std::shared_ptr<plat::View>& badge, const std::shared_ptr<plat::MapView>& map, double top,
                 double left) {
    using plat::LayoutAttribute;
    map->addConstraint(plat::LayoutConstraint::make(badge, LayoutAttribute::Top, plat::LayoutRelation::Equal, map,
                                                    LayoutAttribute::Top, 1, top));
    map->addConstraint(plat::LayoutConstraint::make(badge, LayoutAttribute::Left, plat::LayoutRelation::Equal, map,
                                                    LayoutAttribute::Left, 1, left));
    const plat::Rect f = badge->frame();
    badge->setFrame({left, top, f.width(), f.height()});
}

// The badge's figures from the points read for the pins, as the store counts them: the
// readings strictly above the first dose-rate threshold, and the highest dose rate.
VNTrackAlarmsView::Figures alarmFigures(const std::vector<TrackPoint>& points) {
    const double threshold = Settings::sharedSettings().DERthreshold().firstThreshold->value();
    VNTrackAlarmsView::Figures figures;
    for (const auto& point : points) {
        if (!point.date) continue;  // no reading
        if (point.der > threshold) ++figures.alarms;
        figures.maxDoseRate = std::max(figures.maxDoseRate, point.der);
    }
    return figures;
}

}  // namespace

VNTrackMapViewController::VNTrackMapViewController(std::string interfaceName)
    : VNMapViewController(std::move(interfaceName)) {}

void VNTrackMapViewController::viewDidLoad() {
    VNMapViewController::viewDidLoad();
    alarmsView_ = VNTrackAlarmsView::loadFromNib();
    if (!alarmsView_) return;
    auto map = mapView();
    map->addSubview(alarmsView_);
    pinToCorner(alarmsView_, map, kAlarmsTop, kAlarmsLeft);
}

const std::shared_ptr<VNTrackAlarmsView>& VNTrackMapViewController::alarmsView() {
    view();
    return alarmsView_;
}

void VNTrackMapViewController::removeAllPins() {
    if (annotations_.empty()) return;
    mapView()->removeAnnotations({annotations_.begin(), annotations_.end()});
    annotations_.clear();
}

void VNTrackMapViewController::removeAllOverlays() {
    auto map = mapView();
    map->removeOverlays(map->overlays());
}

void VNTrackMapViewController::addPathOverlays(const TrackPath& path) {
    if (const auto& segments = path.pathForTrack()) {
        mapView()->addOverlays({segments->begin(), segments->end()});
    }
}

void VNTrackMapViewController::setTrack(std::shared_ptr<Track> track) {
    track_ = std::move(track);
    if (!track_) return;
    auto map = mapView();
    const bool hadSeveralPins = annotations_.size() >= 2;
    removeAllPins();
    removeAllOverlays();

    // A stored track's points come in one query that serves both its pins and its path, and
    // its pins stay light values until one is opened; the objects only where the context
    // holds changes the store does not have yet.
    std::optional<std::vector<TrackPoint>> stored;
    Context* context = track_->managedObjectContext();
    if (context && !context->hasChanges()) stored = TrackPoints::inTrackOrder(*track_);
    std::shared_ptr<TrackPath> path;
    if (stored) {
        auto byDate = *stored;
        TrackPoints::sortByDate(byDate);
        path = TrackPath::make(track_, byDate);
    } else {
        path = TrackPath::make(track_);
    }

    // The path's rectangle is the track's own (its positioned points grown by 10 %); a track
    // whose points have no position has none, and the map stays put.
    const plat::MapRect bounds = path->boundingMapRect();
    if (!bounds.isNull()) {
        stopFollowingUser();
        fitMapRect(bounds, !hadSeveralPins);
    }

    // The pins follow the track's own order.
    std::vector<plat::AnnotationPtr> pins;
    if (stored) {
        const std::weak_ptr<Context> source = context->weak_from_this();
        pins.reserve(stored->size());
        annotations_.reserve(stored->size());
        for (const auto& point : *stored) {
            if (!point.hasPosition()) continue;
            auto pin = WaypointAnnotation::make(point, source);
            annotations_.push_back(pin);
            pins.push_back(std::move(pin));
        }
    } else {
        // Loaded together with their readings in one batch rather than one look-up per pin.
        std::vector<std::shared_ptr<Waypoint>> loaded;
        if (context && !track_->isInserted()) {
            loaded = context->fetch<Waypoint>(FetchRequest::of<Waypoint>().where(Key("track") == track_));
        }
        for (const auto& waypoint : track_->waypoints()) {
            if (!waypoint->hasPosition()) continue;
            auto pin = WaypointAnnotation::make(waypoint);
            annotations_.push_back(pin);
            pins.push_back(std::move(pin));
        }
    }
    map->addAnnotations(pins);
    addPathOverlays(*path);
    if (alarmsView_) {
        if (stored) {
            alarmsView_->setTrack(track_, alarmFigures(*stored));
        } else {
            alarmsView_->setTrack(track_);
        }
    }
}

void VNTrackMapViewController::showTrack() {
    if (!track_) return;
    const plat::MapRect bounds = track_->boundingMapRect();
    if (bounds.isNull()) return;
    stopFollowingUser();
    fitMapRect(bounds, true);
}

}  // namespace qx
