#include "maps/VNWaypointAnnotationView.h"

#include "platform/graphics/Image.h"

namespace qx {

VNWaypointAnnotationView::VNWaypointAnnotationView(plat::AnnotationPtr annotation, std::string reuseIdentifier)
    : plat::AnnotationView(std::move(annotation), std::move(reuseIdentifier)) {}

void VNWaypointAnnotationView::calloutAction() {
    // A copy: the handler may close the map and with it this view.
    if (auto handler = calloutHandler_) handler();
}

const char* VNWaypointAnnotationView::pinImageName(long pinColor) {
    if (pinColor == 2) return "red_pin.png";
    if (pinColor == 1) return "orange_pin.png";
    return "green_pin.png";
}

void VNWaypointAnnotationView::showPinColor(long pinColor) {
    // Named images never change: the three pictures are looked up once for every pin.
    static const plat::ImagePtr pictures[] = {plat::Image::named(pinImageName(0)), plat::Image::named(pinImageName(1)),
                                              plat::Image::named(pinImageName(2))};
    setImage(pictures[pinColor == 2 ? 2 : pinColor == 1 ? 1 : 0]);
    setMarkerColor(pinColor == 2 ? plat::Color::red() : pinColor == 1 ? plat::Color::orange() : plat::Color::green());
    // Alarms must not hide under the calmer points around them.
    setZPriority(static_cast<double>(pinColor));
}

}  // namespace qx
