#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/map/Annotation.h"
#include "platform/ui/View.h"

namespace plat {

class CalloutView;
class MapView;

// The view of one annotation on a map. Its image is drawn when it has pixels; otherwise (no
// pin pictures exist here) a marker in markerColor is drawn, a pin with its tip on the
// coordinate or a dot centred on it.
//
// Views are made by the map's delegate and kept by the map while their annotation is on
// screen; views that leave it wait in the map's reuse queue under their reuse identifier.
class AnnotationView : public View {
public:
    enum class MarkerStyle { Pin, Dot };
    static constexpr Size kPinSize{20, 30};
    static constexpr Size kDotSize{16, 16};

    AnnotationView(AnnotationPtr annotation, std::string reuseIdentifier, MarkerStyle style = MarkerStyle::Pin);
    ~AnnotationView() override;

    const AnnotationPtr& annotation() const { return annotation_; }
    virtual void setAnnotation(AnnotationPtr annotation);
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    // Runs when the view is taken from the reuse queue, before it gets its new annotation.
    virtual void prepareForReuse();

    const ImagePtr& image() const { return image_; }
    // An image with pixels also gives the view its size.
    void setImage(ImagePtr image);
    const Color& markerColor() const { return markerColor_; }
    void setMarkerColor(const Color& color);
    MarkerStyle markerStyle() const { return style_; }
    // Where the view's centre sits relative to the annotation's point; a pin's tip is on the
    // point by default.
    Point centerOffset() const { return centerOffset_; }
    void setCenterOffset(Point offset) { centerOffset_ = offset; }

    // Views of higher priority are drawn above those of lower priority; equal ones keep the
    // order they were added in.
    double zPriority() const { return zPriority_; }
    void setZPriority(double priority);

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    bool canShowCallout() const { return canShowCallout_; }
    void setCanShowCallout(bool on) { canShowCallout_ = on; }
    // The control at the callout's right end; a control's touch is reported to the map's
    // delegate as well as to the control's own actions.
    // Made first when only its maker is set.
    const ViewPtr& rightCalloutAccessoryView();
    void setRightCalloutAccessoryView(ViewPtr view);
    // Makes the control when it is first needed (a callout opens, or it is asked for): a map
    // shows thousands of pins and opens few callouts. A maker that gives nullptr leaves none.
    void setRightCalloutAccessoryMaker(std::function<ViewPtr()> maker);
    // The control if it is made already; nullptr while its maker waits.
    const ViewPtr& madeRightCalloutAccessoryView() const { return rightAccessory_; }

    bool isSelected() const { return selected_; }
    // Selection shows the callout when the view can show one (the map does this through
    // selectAnnotation).
    void setSelected(bool selected);
    // The callout while shown, else nullptr.
    const std::shared_ptr<CalloutView>& callout() const { return callout_; }

    // The map showing this view (plain pointer, set and cleared by the map).
    MapView* mapView() const { return map_; }
    void setMapView(MapView* map) { map_ = map; }

    void drawRect(DrawingContext& context, const Rect& rect) override;
    bool performTap() override;
    std::string kindName() const override { return "Pin"; }
    std::string displayText() const override;
    std::string describeLine() const override;

private:
    void hideCallout();

    AnnotationPtr annotation_;
    std::string reuseIdentifier_;
    MarkerStyle style_;
    ImagePtr image_;
    Color markerColor_ = Color::red();
    Point centerOffset_;
    bool enabled_ = true;
    bool canShowCallout_ = false;
    bool selected_ = false;
    double zPriority_ = 0;
    ViewPtr rightAccessory_;
    std::function<ViewPtr()> accessoryMaker_;
    std::shared_ptr<CalloutView> callout_;
    MapView* map_ = nullptr;
};

using AnnotationViewPtr = std::shared_ptr<AnnotationView>;

}  // namespace plat
