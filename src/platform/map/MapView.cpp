#include "platform/map/MapView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_set>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/map/CalloutView.h"
#include "platform/ui/DescriptionWriter.h"

namespace plat {

namespace {

// The closest the map zooms in: about zoom level 25.
constexpr double kMinMapPointsPerPoint = 1.0 / 16;
// Annotation views are kept this far outside the visible area, so that a pin half on screen
// is still drawn.
constexpr double kViewMargin = 40;
// Width of the ground that following the user starts with, in metres.
constexpr double kFollowWidthMeters = 1000;
// The nominal view width used to size a map that has no size yet.
constexpr double kNominalWidth = 256;

bool finite(const MapRect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

struct Palette {
    Color ground, grid;
};

Palette paletteFor(MapType type) {
    switch (type) {
        case MapType::Satellite: return {Color::rgba(0.16, 0.25, 0.18), Color::rgba(0.24, 0.34, 0.26)};
        case MapType::Hybrid: return {Color::rgba(0.16, 0.25, 0.18), Color::rgba(0.93, 0.82, 0.38)};
        case MapType::Standard: break;
    }
    return {Color::rgba(0.94, 0.93, 0.89), Color::rgba(0.80, 0.79, 0.75)};
}

// Room for `extra` more elements, growing by doubling as the containers themselves do: a long
// track adds thousands at once, a recording one at a time.
template <class T>
void reserveMore(std::vector<T>& v, std::size_t extra) {
    if (v.size() + extra > v.capacity()) v.reserve(std::max(v.size() + extra, 2 * v.capacity()));
}
template <class Hashed>
void reserveMore(Hashed& h, std::size_t extra) {
    const std::size_t need = h.size() + extra;
    if (static_cast<double>(need) > static_cast<double>(h.bucket_count()) * h.max_load_factor())
        h.reserve(std::max(need, 2 * h.size()));
}

}  // namespace

MapView::MapView(const Rect& frame) : View(frame) {
    setClipsToBounds(true);
    userShown_.annotation = userLocation_;
}

MapView::~MapView() {
    for (auto& s : shown_) {
        if (s.view) s.view->setMapView(nullptr);
    }
    if (userShown_.view) userShown_.view->setMapView(nullptr);
}

// --- visible area ---------------------------------------------------------------------------

namespace {
double usableWidth(const Rect& b) { return b.width() > 0 ? b.width() : kNominalWidth; }
double usableHeight(const Rect& b) { return b.height() > 0 ? b.height() : kNominalWidth; }
}  // namespace

double MapView::zoomScale() const {
    const double mpp = mapPointsPerPoint_ > 0 ? mapPointsPerPoint_ : kMapWorldWidth / usableWidth(bounds());
    return 1.0 / mpp;
}

MapRect MapView::visibleMapRect() const {
    const double mpp = 1.0 / zoomScale();
    const double w = bounds().width() * mpp, h = bounds().height() * mpp;
    return MapRect::make(center_.x - w / 2, center_.y - h / 2, w, h);
}

double MapView::fittingScale(const MapRect& rect) const {
    return std::max(rect.size.width / usableWidth(bounds()), rect.size.height / usableHeight(bounds()));
}

void MapView::setVisibleMapRect(const MapRect& rect, bool animated) { setVisibleMapRect(rect, EdgeInsets{}, animated); }

void MapView::setVisibleMapRect(const MapRect& rect, const EdgeInsets& padding, bool animated) {
    if (rect.isNull() || !finite(rect) || rect.size.width < 0 || rect.size.height < 0) {
        Log::line("MapView: ignored an invalid map rectangle");
        return;
    }
    // Padding wider than the map leaves at least a point to fit into.
    const double width = std::max(1.0, usableWidth(bounds()) - padding.left - padding.right);
    const double height = std::max(1.0, usableHeight(bounds()) - padding.top - padding.bottom);
    const double scale = std::max(rect.size.width / width, rect.size.height / height);
    // The rectangle's centre goes to the middle of the padded area.
    const MapPoint centre{rect.midX() - (padding.left - padding.right) / 2 * scale,
                          rect.midY() - (padding.top - padding.bottom) / 2 * scale};
    moveCamera(centre, scale, animated);
}

CoordinateRegion MapView::region() const {
    const MapRect vis = visibleMapRect();
    const double top = std::clamp(vis.minY(), 0.0, kMapWorldWidth);
    const double bottom = std::clamp(vis.maxY(), 0.0, kMapWorldWidth);
    const double north = coordinateForMapPoint({center_.x, top}).latitude;
    const double south = coordinateForMapPoint({center_.x, bottom}).latitude;
    return {centerCoordinate(), {north - south, vis.size.width / kMapWorldWidth * 360.0}};
}

void MapView::setRegion(const CoordinateRegion& region, bool animated) {
    const auto& s = region.span;
    if (!region.center.isValid() || !std::isfinite(s.latitudeDelta) || !std::isfinite(s.longitudeDelta) ||
        s.latitudeDelta < 0 || s.longitudeDelta < 0) {
        Log::line("MapView: ignored an invalid region");
        return;
    }
    const Coordinate2D c = region.center;
    const MapPoint centre = mapPointForCoordinate(c);
    const double north = std::min(c.latitude + s.latitudeDelta / 2, 90.0);
    const double south = std::max(c.latitude - s.latitudeDelta / 2, -90.0);
    const double y0 = mapPointForCoordinate({north, c.longitude}).y;
    const double y1 = mapPointForCoordinate({south, c.longitude}).y;
    // Mercator stretches the north more than the south: cover both halves around the centre.
    const double h = 2 * std::max(centre.y - y0, y1 - centre.y);
    const double w = std::min(s.longitudeDelta, 360.0) / 360.0 * kMapWorldWidth;
    moveCamera(centre, fittingScale(MapRect::make(centre.x - w / 2, centre.y - h / 2, w, h)), animated);
}

void MapView::setCenterCoordinate(const Coordinate2D& coordinate, bool animated) {
    if (!coordinate.isValid()) {
        Log::line("MapView: ignored an invalid centre");
        return;
    }
    moveCamera(mapPointForCoordinate(coordinate), 1.0 / zoomScale(), animated);
}

void MapView::moveCamera(MapPoint center, double mapPointsPerPoint, bool animated) {
    const double widest = kMapWorldWidth / usableWidth(bounds());
    mapPointsPerPoint_ = std::clamp(mapPointsPerPoint, kMinMapPointsPerPoint, widest);
    center.x = std::fmod(center.x, kMapWorldWidth);
    if (center.x < 0) center.x += kMapWorldWidth;
    center.y = std::clamp(center.y, 0.0, kMapWorldWidth);
    center_ = center;
    lastAnimated_ = animated;
    refreshAnnotationViews();
    setNeedsDisplay();
    regionChanged(animated);
}

void MapView::regionChanged(bool animated) {
    if (auto d = delegate()) d->mapViewRegionDidChangeAnimated(*this, animated);
}

void MapView::setFrame(const Rect& frame) {
    const bool resized = frame.size != this->frame().size;
    View::setFrame(frame);
    if (resized) {
        refreshAnnotationViews();
        regionChanged(false);
    }
}

void MapView::setBounds(const Rect& bounds) {
    const bool resized = bounds.size != this->bounds().size;
    View::setBounds(bounds);
    if (resized) {
        refreshAnnotationViews();
        regionChanged(false);
    }
}

// --- map type, loading, user location ---------------------------------------------------------

void MapView::setMapType(MapType type) {
    if (type == mapType_) return;
    mapType_ = type;
    setNeedsDisplay();
    if (window()) startLoading();
}

void MapView::didMoveToWindow() {
    if (window() && !loadedOnce_) {
        loadedOnce_ = true;
        startLoading();
    }
}

void MapView::startLoading() {
    if (auto d = delegate()) d->mapViewWillStartLoadingMap(*this);
    // The drawing needs nothing to load; finishing is still reported later, as a map that
    // fetches its pictures would.
    std::weak_ptr<View> weak = weak_from_this();
    RunLoop::main().post([weak] {
        auto self = std::static_pointer_cast<MapView>(weak.lock());
        if (!self) return;
        if (auto d = self->delegate()) d->mapViewDidFinishLoadingMap(*self);
    });
}

void MapView::setUserTrackingMode(UserTrackingMode mode, bool animated) {
    const bool starting = trackingMode_ == UserTrackingMode::None && mode != UserTrackingMode::None;
    trackingMode_ = mode;
    if (mode == UserTrackingMode::None) return;
    if (!showsUserLocation_) setShowsUserLocation(true);
    if (starting) followZoomPending_ = true;
    followUser(animated);
}

void MapView::followUser(bool animated) {
    const auto& fix = userLocation_->location();
    if (!fix) return;
    double mpp = 1.0 / zoomScale();
    if (followZoomPending_) {
        // Following starts close enough to see the streets around the user.
        followZoomPending_ = false;
        const Circle ground(fix->coordinate(), kFollowWidthMeters);
        mpp = kFollowWidthMeters * ground.mapPointsPerMeter() / usableWidth(bounds());
    }
    moveCamera(mapPointForCoordinate(fix->coordinate()), mpp, animated);
}

void MapView::setShowsUserLocation(bool on) {
    showsUserLocation_ = on;
    userLocation_->setUpdating(on);
    refreshAnnotationViews();
}

void MapView::updateUserLocation(const Location& location) {
    if (!location.coordinate().isValid()) return;
    userLocation_->setLocation(location);
    if (!showsUserLocation_) return;
    if (trackingMode_ != UserTrackingMode::None) {
        followUser(true);
    } else {
        refreshAnnotationViews();
    }
    if (auto d = delegate()) d->mapViewDidUpdateUserLocation(*this, *userLocation_);
}

bool MapView::isUserLocationVisible() const {
    const auto& fix = userLocation_->location();
    if (!showsUserLocation_ || !fix) return false;
    return Rect(bounds()).contains(convertCoordinateToPoint(fix->coordinate()));
}

// --- conversions -----------------------------------------------------------------------------

Point MapView::pointForMapPoint(const MapPoint& p) const {
    double dx = p.x - center_.x;
    if (dx > kMapWorldWidth / 2) dx -= kMapWorldWidth;
    if (dx < -kMapWorldWidth / 2) dx += kMapWorldWidth;
    const double scale = zoomScale();
    return {bounds().midX() + dx * scale, bounds().midY() + (p.y - center_.y) * scale};
}

MapPoint MapView::mapPointForPoint(Point p) const {
    const double mpp = 1.0 / zoomScale();
    double x = std::fmod(center_.x + (p.x - bounds().midX()) * mpp, kMapWorldWidth);
    if (x < 0) x += kMapWorldWidth;
    return {x, center_.y + (p.y - bounds().midY()) * mpp};
}

Point MapView::convertCoordinateToPoint(const Coordinate2D& coordinate, const View* toView) const {
    const Point p = pointForMapPoint(mapPointForCoordinate(coordinate));
    return toView ? convertPoint(p, toView) : p;
}

Coordinate2D MapView::convertPointToCoordinate(Point point, const View* fromView) const {
    const Point p = fromView ? fromView->convertPoint(point, this) : point;
    return coordinateForMapPoint(mapPointForPoint(p));
}

// --- annotations -----------------------------------------------------------------------------

std::vector<AnnotationPtr> MapView::annotations() const {
    std::vector<AnnotationPtr> all;
    all.reserve(shown_.size() + 1);
    if (showsUserLocation_ && userLocation_->location()) all.push_back(userLocation_);
    for (const auto& s : shown_) all.push_back(s.annotation);
    return all;
}

void MapView::addAnnotation(const AnnotationPtr& annotation) { addAnnotations({annotation}); }

void MapView::addAnnotations(const std::vector<AnnotationPtr>& annotations) {
    // Only the new ones get views: adding many pins costs one pass, not one per pin.
    const std::size_t first = shown_.size();
    reserveMore(shown_, annotations.size());
    reserveMore(known_, annotations.size());
    for (const auto& a : annotations) {
        if (!a || a == userLocation_ || !known_.insert(a.get()).second) continue;
        shown_.push_back({a, nullptr});
    }
    for (std::size_t i = first; i < shown_.size(); ++i) {
        if (shown_[i].view || !isOnScreen(*shown_[i].annotation)) continue;
        auto view = makeView(shown_[i].annotation);
        if (i < shown_.size()) {
            attachView(shown_[i], std::move(view));
            placeView(shown_[i]);
        }
    }
    orderAnnotationViews();
}

void MapView::removeAnnotation(const AnnotationPtr& annotation) { removeAnnotations({annotation}); }

void MapView::removeAnnotations(const std::vector<AnnotationPtr>& annotations) {
    std::unordered_set<const Annotation*> gone;
    for (const auto& a : annotations) {
        if (a && known_.erase(a.get())) gone.insert(a.get());
    }
    if (gone.empty()) return;
    std::vector<Shown> kept;
    kept.reserve(shown_.size() - gone.size());
    std::vector<Shown> removed;
    for (auto& s : shown_) (gone.count(s.annotation.get()) ? removed : kept).push_back(std::move(s));
    shown_ = std::move(kept);
    std::vector<ViewPtr> leaving;
    for (auto& s : removed) retireView(s, &leaving);
    removeSubviews(leaving);
}

AnnotationViewPtr MapView::viewForAnnotation(const AnnotationPtr& annotation) const {
    return viewForAnnotation(annotation.get());
}

AnnotationViewPtr MapView::viewForAnnotation(const Annotation* annotation) const {
    auto it = views_.find(annotation);
    return it == views_.end() ? nullptr : it->second;
}

void MapView::attachView(Shown& shown, AnnotationViewPtr view) {
    views_[shown.annotation.get()] = view;
    shown.view = std::move(view);
}

AnnotationViewPtr MapView::dequeueReusableAnnotationView(const std::string& identifier) {
    auto it = reuseQueue_.find(identifier);
    if (it == reuseQueue_.end() || it->second.empty()) return nullptr;
    AnnotationViewPtr view = std::move(it->second.back());
    it->second.pop_back();
    view->prepareForReuse();
    return view;
}

bool MapView::isOnScreen(const Annotation& annotation) const {
    const Rect area = Rect(bounds()).insetBy(-kViewMargin, -kViewMargin);
    return area.contains(convertCoordinateToPoint(annotation.coordinate()));
}

void MapView::refreshAnnotationViews() {
    const bool userShown = showsUserLocation_ && userLocation_->location();
    if (userShown && !userShown_.view) attachView(userShown_, makeView(userLocation_));
    if (!userShown && userShown_.view) retireView(userShown_);
    if (userShown_.view) placeView(userShown_);
    // Views that left the screen come off the map before any pin coming on is given a view:
    // the delegate may hand one of them out again, and it must then stay on the map.
    std::vector<ViewPtr> leaving;
    for (auto& shown : shown_) {
        if (shown.view && !isOnScreen(*shown.annotation)) retireView(shown, &leaving);
    }
    removeSubviews(leaving);
    // By index: the delegate may add annotations while it makes a view.
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        if (!shown_[i].view && isOnScreen(*shown_[i].annotation)) {
            auto view = makeView(shown_[i].annotation);
            if (i < shown_.size()) attachView(shown_[i], std::move(view));
        }
        if (i < shown_.size() && shown_[i].view) placeView(shown_[i]);
    }
    orderAnnotationViews();
}

void MapView::orderAnnotationViews() {
    // Pins by priority, the selected one above them, and views the screen put on the map
    // (panels, badges) above every pin.
    const auto key = [](const View& v) {
        const auto* pin = dynamic_cast<const AnnotationView*>(&v);
        if (!pin) return std::numeric_limits<double>::infinity();
        return pin->isSelected() ? std::numeric_limits<double>::max() : pin->zPriority();
    };
    restackSubviewsByKey(key);
}

AnnotationViewPtr MapView::makeView(const AnnotationPtr& annotation) {
    AnnotationViewPtr view;
    if (auto d = delegate()) view = d->mapViewViewForAnnotation(*this, annotation);
    if (!view) {
        const bool user = annotation == userLocation_;
        view = std::make_shared<AnnotationView>(annotation, std::string{},
                                                user ? AnnotationView::MarkerStyle::Dot : AnnotationView::MarkerStyle::Pin);
    }
    if (view->annotation() != annotation) view->setAnnotation(annotation);
    view->setMapView(this);
    addSubview(view);
    return view;
}

void MapView::retireView(Shown& shown, std::vector<ViewPtr>* leaving) {
    AnnotationViewPtr view = std::move(shown.view);
    shown.view = nullptr;
    if (!view) return;
    views_.erase(shown.annotation.get());
    if (view->isSelected()) view->setSelected(false);
    if (leaving)
        leaving->push_back(view);
    else
        view->removeFromSuperview();
    view->setMapView(nullptr);
    if (!view->reuseIdentifier().empty()) reuseQueue_[view->reuseIdentifier()].push_back(std::move(view));
}

void MapView::placeView(const Shown& shown) const {
    const Point p = convertCoordinateToPoint(shown.annotation->coordinate());
    const Point off = shown.view->centerOffset();
    const Rect f = shown.view->frame();
    shown.view->setFrame({p.x + off.x - f.width() / 2, p.y + off.y - f.height() / 2, f.width(), f.height()});
}

void MapView::selectAnnotation(const AnnotationPtr& annotation, bool animated) {
    (void)animated;
    auto view = viewForAnnotation(annotation);
    if (!view || view->isSelected()) return;
    for (const auto& other : selectedAnnotations()) deselectAnnotation(other, false);
    view->setSelected(true);
    revealCallout(*view, animated);
    orderAnnotationViews();
    if (auto d = delegate()) d->mapViewDidSelectAnnotationView(*this, *view);
}

void MapView::revealCallout(const AnnotationView& view, bool animated) {
    const auto& callout = view.callout();
    if (!callout) return;
    // The bubble rises above its pin: near the map's top edge it would stand under whatever
    // borders the map there (a navigation bar), so the map moves down until it shows whole.
    constexpr double kMargin = 4;
    const double top = callout->convertPoint({0, 0}, this).y - bounds().y();
    if (top >= kMargin) return;
    const double mapPointsPerPoint = 1.0 / zoomScale();
    moveCamera({center_.x, center_.y - (kMargin - top) * mapPointsPerPoint}, mapPointsPerPoint, animated);
}

void MapView::deselectAnnotation(const AnnotationPtr& annotation, bool animated) {
    (void)animated;
    auto view = viewForAnnotation(annotation);
    if (!view || !view->isSelected()) return;
    view->setSelected(false);
    orderAnnotationViews();
    if (auto d = delegate()) d->mapViewDidDeselectAnnotationView(*this, *view);
}

std::vector<AnnotationPtr> MapView::selectedAnnotations() const {
    std::vector<AnnotationPtr> selected;
    if (userShown_.view && userShown_.view->isSelected()) selected.push_back(userLocation_);
    for (const auto& s : shown_) {
        if (s.view && s.view->isSelected()) selected.push_back(s.annotation);
    }
    return selected;
}

void MapView::calloutAccessoryTapped(AnnotationView& view, Control& control) {
    if (auto d = delegate()) d->mapViewAnnotationViewCalloutAccessoryControlTapped(*this, view, control);
}

// --- overlays --------------------------------------------------------------------------------

void MapView::addOverlay(const OverlayPtr& overlay) {
    if (!overlay || !overlaySet_.insert(overlay.get()).second) return;
    overlays_.push_back(overlay);
    OverlayViewPtr view;
    if (auto d = delegate()) view = d->mapViewViewForOverlay(*this, overlay);
    if (view) overlayViews_[overlay.get()] = std::move(view);
    setNeedsDisplay();
}

void MapView::addOverlays(const std::vector<OverlayPtr>& overlays) {
    reserveMore(overlays_, overlays.size());
    reserveMore(overlaySet_, overlays.size());
    reserveMore(overlayViews_, overlays.size());
    for (const auto& o : overlays) addOverlay(o);
}

void MapView::removeOverlay(const OverlayPtr& overlay) { removeOverlays({overlay}); }

void MapView::removeOverlays(const std::vector<OverlayPtr>& overlays) {
    // One pass over the map's list, however many go (a long track's path has thousands).
    std::unordered_set<const Overlay*> gone;
    for (const auto& o : overlays) {
        if (o && overlaySet_.erase(o.get())) gone.insert(o.get());
    }
    if (gone.empty()) return;
    std::erase_if(overlays_, [&](const OverlayPtr& o) { return gone.count(o.get()) > 0; });
    for (const Overlay* o : gone) overlayViews_.erase(o);
    setNeedsDisplay();
}

OverlayViewPtr MapView::viewForOverlay(const OverlayPtr& overlay) const {
    auto it = overlayViews_.find(overlay.get());
    return it == overlayViews_.end() ? nullptr : it->second;
}

// --- drawing and description -----------------------------------------------------------------

void MapView::drawBackground(DrawingContext& ctx) const {
    const Palette palette = paletteFor(mapType_);
    const Rect b = bounds();
    ctx.setFillColor(palette.ground);
    ctx.fillRect(b);
    // Grid lines of the flat world, a power of two of map points apart, so that they stay
    // where they are on the ground while the map moves and zooms.
    const double mpp = 1.0 / zoomScale();
    const double spacing = std::exp2(std::ceil(std::log2(64 * mpp)));
    const MapRect vis = visibleMapRect();
    ctx.saveState();
    ctx.setStrokeColor(palette.grid);
    ctx.setLineWidth(1);
    ctx.beginPath();
    for (double x = std::floor(vis.minX() / spacing) * spacing; x <= vis.maxX(); x += spacing) {
        const double px = pointForMapPoint({x, center_.y}).x;
        ctx.moveTo({px, b.minY()});
        ctx.lineTo({px, b.maxY()});
    }
    const double y0 = std::max(0.0, std::floor(vis.minY() / spacing) * spacing);
    for (double y = y0; y <= std::min(vis.maxY(), kMapWorldWidth); y += spacing) {
        const double py = pointForMapPoint({center_.x, y}).y;
        ctx.moveTo({b.minX(), py});
        ctx.lineTo({b.maxX(), py});
    }
    ctx.strokePath();
    ctx.restoreState();
}

void MapView::drawRect(DrawingContext& ctx, const Rect& rect) {
    (void)rect;
    drawBackground(ctx);
    for (const auto& overlay : overlays_) {
        if (auto view = viewForOverlay(overlay)) view->draw(ctx, *this);
    }
}

std::string MapView::describeLine() const {
    const CoordinateRegion r = region();
    char text[160];
    std::snprintf(text, sizeof text, "Map %s centre %.5f,%.5f span %.5fx%.5f", mapTypeName(mapType_),
                  r.center.latitude, r.center.longitude, r.span.latitudeDelta, r.span.longitudeDelta);
    std::string line = text;
    if (trackingMode_ != UserTrackingMode::None) line += std::string(" tracking ") + trackingModeName(trackingMode_);
    return line;
}

void MapView::describeContent(DescriptionWriter& out) const {
    out.line(describeLine());
    DescriptionWriter::Nested nested(out);
    for (const auto& overlay : overlays_) {
        if (auto view = viewForOverlay(overlay)) out.line(view->describeLine());
    }
    describeSubviews(out);
}

}  // namespace plat
