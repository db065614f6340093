#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/map/Annotation.h"
#include "platform/map/AnnotationView.h"
#include "platform/map/MapGeometry.h"
#include "platform/map/MapTypes.h"
#include "platform/map/MapViewDelegate.h"
#include "platform/map/Overlay.h"
#include "platform/map/OverlayView.h"
#include "platform/ui/View.h"

namespace plat {

// A map of the flat world (map points, see MapGeometry.h) seen through a view: a centre and a
// scale decide what is visible; annotations are shown by annotation views (subviews placed at
// their points), overlays are drawn by overlay views under them.
//
// There are no map tiles here: the map draws a plain background with a grid of the flat world
// whose colours follow the map type, so that a rendered picture still shows where things are.
//
// Every change of the visible area takes effect at once (the animation flag is only recorded)
// and is reported to the delegate with mapViewRegionDidChangeAnimated.
//
// The delegate is held weakly; its owner clears it before going away.
class MapView : public View {
public:
    explicit MapView(const Rect& frame = {});
    ~MapView() override;

    void setDelegate(std::weak_ptr<MapViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<MapViewDelegate> delegate() const { return delegate_.lock(); }

    // What is visible. A region or rectangle with no area, or not a finite number, is refused
    // with a log line and the map stays where it is. The map fits the whole requested area and
    // shows more in the direction where the view's shape asks for it; it never shows more than
    // the world's width.
    CoordinateRegion region() const;
    void setRegion(const CoordinateRegion& region, bool animated);
    MapRect visibleMapRect() const;
    void setVisibleMapRect(const MapRect& rect, bool animated);
    // Fits the rectangle into the map's bounds less the padding (in points), so that pins and
    // controls at the edges leave what is fitted in view.
    void setVisibleMapRect(const MapRect& rect, const EdgeInsets& padding, bool animated);
    Coordinate2D centerCoordinate() const { return coordinateForMapPoint(center_); }
    void setCenterCoordinate(const Coordinate2D& coordinate, bool animated);
    // The animation flag of the last change of the visible area.
    bool lastChangeAnimated() const { return lastAnimated_; }

    MapType mapType() const { return mapType_; }
    void setMapType(MapType type);
    UserTrackingMode userTrackingMode() const { return trackingMode_; }
    // Following centres the map on the user's position now (when known) and on every update.
    void setUserTrackingMode(UserTrackingMode mode, bool animated);

    // The user's position: shown as a blue dot, and listed first among the annotations, while
    // showsUserLocation is on and a fix is known.
    bool showsUserLocation() const { return showsUserLocation_; }
    void setShowsUserLocation(bool on);
    const std::shared_ptr<UserLocation>& userLocation() const { return userLocation_; }
    // A new fix of the user's position (from the machine's location source).
    void updateUserLocation(const Location& location);
    bool isUserLocationVisible() const;

    // Conversions between coordinates and points of a view (nullptr: the map view's own
    // coordinates). A coordinate beside the antimeridian is placed on the side nearer the
    // centre.
    Point convertCoordinateToPoint(const Coordinate2D& coordinate, const View* toView = nullptr) const;
    Coordinate2D convertPointToCoordinate(Point point, const View* fromView = nullptr) const;
    Point pointForMapPoint(const MapPoint& point) const;
    MapPoint mapPointForPoint(Point point) const;
    // View points per map point.
    double zoomScale() const;

    // Annotations, in the order they were added (the user location first when shown).
    std::vector<AnnotationPtr> annotations() const;
    void addAnnotation(const AnnotationPtr& annotation);
    void addAnnotations(const std::vector<AnnotationPtr>& annotations);
    void removeAnnotation(const AnnotationPtr& annotation);
    void removeAnnotations(const std::vector<AnnotationPtr>& annotations);
    // The view of an annotation while it is on screen; nullptr otherwise.
    AnnotationViewPtr viewForAnnotation(const AnnotationPtr& annotation) const;
    AnnotationViewPtr viewForAnnotation(const Annotation* annotation) const;
    // A view waiting for reuse under the identifier, prepared for reuse; nullptr when none.
    AnnotationViewPtr dequeueReusableAnnotationView(const std::string& identifier);
    void selectAnnotation(const AnnotationPtr& annotation, bool animated);
    void deselectAnnotation(const AnnotationPtr& annotation, bool animated);
    std::vector<AnnotationPtr> selectedAnnotations() const;

    // Overlays, drawn in the order added, each by the view its delegate gave when it was added.
    const std::vector<OverlayPtr>& overlays() const { return overlays_; }
    void addOverlay(const OverlayPtr& overlay);
    void addOverlays(const std::vector<OverlayPtr>& overlays);
    void removeOverlay(const OverlayPtr& overlay);
    void removeOverlays(const std::vector<OverlayPtr>& overlays);
    OverlayViewPtr viewForOverlay(const OverlayPtr& overlay) const;

    // Reported by an annotation view's accessory control.
    void calloutAccessoryTapped(AnnotationView& view, class Control& control);

    void setFrame(const Rect& frame) override;
    void setBounds(const Rect& bounds) override;
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "Map"; }
    std::string describeLine() const override;
    void describeContent(DescriptionWriter& out) const override;

    // Restacks the annotation views by their priority (a selected one stays in front).
    void orderAnnotationViews();

protected:
    void didMoveToWindow() override;

private:
    struct Shown {
        AnnotationPtr annotation;
        AnnotationViewPtr view;  // nullptr while off screen
    };

    void moveCamera(MapPoint center, double mapPointsPerPoint, bool animated);
    double fittingScale(const MapRect& rect) const;
    void regionChanged(bool animated);
    void followUser(bool animated);
    void startLoading();
    // Makes views for the annotations that came on screen, queues those that left it and
    // places the rest.
    void refreshAnnotationViews();
    AnnotationViewPtr makeView(const AnnotationPtr& annotation);
    void attachView(Shown& shown, AnnotationViewPtr view);
    // Queues the view for reuse; it leaves the map now, or with the others in `leaving` when
    // many go at once.
    void retireView(Shown& shown, std::vector<ViewPtr>* leaving = nullptr);
    void placeView(const Shown& shown) const;
    // Moves the map so that the selected view's callout lies within the map's bounds.
    void revealCallout(const AnnotationView& view, bool animated);
    bool isOnScreen(const Annotation& annotation) const;
    void drawBackground(DrawingContext& context) const;

    std::weak_ptr<MapViewDelegate> delegate_;
    MapPoint center_{kMapWorldWidth / 2, kMapWorldWidth / 2};
    double mapPointsPerPoint_ = 0;  // 0 until first set: the whole world's width
    bool lastAnimated_ = false;
    MapType mapType_ = MapType::Standard;
    UserTrackingMode trackingMode_ = UserTrackingMode::None;
    bool showsUserLocation_ = false;
    std::shared_ptr<UserLocation> userLocation_ = std::make_shared<UserLocation>();
    Shown userShown_;
    std::vector<Shown> shown_;
    std::unordered_set<const Annotation*> known_;  // the annotations of shown_
    std::unordered_map<const Annotation*, AnnotationViewPtr> views_;  // the views of shown_ and the user
    std::map<std::string, std::vector<AnnotationViewPtr>> reuseQueue_;
    std::vector<OverlayPtr> overlays_;
    std::unordered_set<const Overlay*> overlaySet_;  // the overlays of overlays_
    std::unordered_map<const Overlay*, OverlayViewPtr> overlayViews_;
    bool loadedOnce_ = false;
    bool followZoomPending_ = false;
};

using MapViewPtr = std::shared_ptr<MapView>;

}  // namespace plat
