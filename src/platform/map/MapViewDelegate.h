#pragma once

#include <memory>

#include "platform/map/Annotation.h"
#include "platform/map/Overlay.h"
#include "platform/map/OverlayView.h"

namespace plat {

class AnnotationView;
class Control;
class MapView;

// What a map view tells its owner and asks of it. Every operation is optional: the defaults
// do nothing, and a nullptr view means the map's own default.
class MapViewDelegate {
public:
    virtual ~MapViewDelegate() = default;

    virtual void mapViewRegionDidChangeAnimated(MapView& map, bool animated) { (void)map, (void)animated; }
    virtual std::shared_ptr<AnnotationView> mapViewViewForAnnotation(MapView& map, const AnnotationPtr& annotation) {
        (void)map, (void)annotation;
        return nullptr;
    }
    // Overlays without a view are not drawn.
    virtual OverlayViewPtr mapViewViewForOverlay(MapView& map, const OverlayPtr& overlay) {
        (void)map, (void)overlay;
        return nullptr;
    }
    virtual void mapViewAnnotationViewCalloutAccessoryControlTapped(MapView& map, AnnotationView& view,
                                                                    Control& control) {
        (void)map, (void)view, (void)control;
    }
    virtual void mapViewDidSelectAnnotationView(MapView& map, AnnotationView& view) { (void)map, (void)view; }
    virtual void mapViewDidDeselectAnnotationView(MapView& map, AnnotationView& view) { (void)map, (void)view; }
    virtual void mapViewDidUpdateUserLocation(MapView& map, UserLocation& location) { (void)map, (void)location; }
    virtual void mapViewWillStartLoadingMap(MapView& map) { (void)map; }
    virtual void mapViewDidFinishLoadingMap(MapView& map) { (void)map; }
};

}  // namespace plat
