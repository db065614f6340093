#pragma once

#include <functional>
#include <string>

#include "platform/map/AnnotationView.h"

namespace qx {

// The view of a waypoint pin: a pin picture by colour class, and a handler the callout's
// button runs.
class VNWaypointAnnotationView : public plat::AnnotationView {
public:
    using CalloutHandler = std::function<void()>;

    VNWaypointAnnotationView(plat::AnnotationPtr annotation, std::string reuseIdentifier);

    const CalloutHandler& calloutHandler() const { return calloutHandler_; }
    void setCalloutHandler(CalloutHandler handler) { calloutHandler_ = std::move(handler); }
    // The callout button's action: runs the handler when one is set.
    void calloutAction();

    // "red_pin.png" for class 2, "orange_pin.png" for 1, "green_pin.png" for anything else; the
    // marker drawn in its place has the same colour.
    void showPinColor(long pinColor);
    static const char* pinImageName(long pinColor);

private:
    CalloutHandler calloutHandler_;
};

}  // namespace qx
