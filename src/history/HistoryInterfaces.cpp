#include "history/HistoryInterfaces.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "history/SetDetailsController.h"
#include "history/VNDetailsViewController.h"
#include "history/VNTrackDetailsView.h"
#include "history/VNTrackGraphView.h"
#include "history/VNTrackGraphViewController.h"
#include "history/VNWaypointDetailsView.h"
#include "history/VNWaypointPhotoViewController.h"
#include "history/VNWaypointTableViewController.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Screen.h"

namespace qx {

namespace {
constexpr float kMetresPerYard = 0.9144f;

// The Graph page: the dose-rate graph above the dose graph, filling the details' page area.
std::shared_ptr<plat::View> buildGraphPageInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    const double height = screen.height() - 88;
    auto root = std::make_shared<plat::View>(plat::Rect{0, 0, screen.width(), height});
    root->setBackgroundColor(plat::Color::fromBytes(234, 234, 234));
    auto doseRate = VNTrackGraphView::fromInterface({0, 0, screen.width(), height / 2});
    auto dose = VNTrackGraphView::fromInterface({0, height / 2, screen.width(), height / 2});
    root->addSubview(doseRate);
    root->addSubview(dose);
    outlets.set("doseRateGraphView", doseRate);
    outlets.set("doseGraphView", dose);
    return root;
}

}  // namespace

void registerHistoryInterfaces() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::Interface::registerBuilder(VNWaypointDetailsView::kNibName,
                                         &VNWaypointDetailsView::buildInterface);
        plat::Interface::registerBuilder(VNTrackDetailsView::kNibName,
                                         &VNTrackDetailsView::buildInterface);
        plat::Interface::registerBuilder(VNDetailsViewController::kNibName, buildDetailsInterface);
        plat::Interface::registerBuilder(VNTrackGraphViewController::kNibName,
                                         buildGraphPageInterface);
        plat::Interface::registerBuilder(VNWaypointPhotoViewController::kNibName,
                                         buildPhotoPageInterface);
        plat::Interface::registerBuilder(VNWaypointTableViewController::kNibName,
                                         buildWaypointListInterface);
        plat::Interface::registerBuilder(SetDetailsController::kNibName, buildSetDetailsInterface);
    });
}

std::shared_ptr<plat::Label> addPanelLabel(plat::View& parent, const plat::Rect& frame,
                                           double fontSize, bool bold) {
    auto label = std::make_shared<plat::Label>(frame);
    label->setBackgroundColor(plat::Color::clear());
    label->setTextColor(plat::Color::black());
    label->setFont(plat::Font::named(bold ? "HelveticaNeue-Bold" : "HelveticaNeue", fontSize));
    parent.addSubview(label);
    return label;
}

long wholeNumber(double value) {
    if (!std::isfinite(value)) return 0;
    constexpr double kLimit = 9.0e18;  // inside the range of a 64-bit long
    return static_cast<long>(std::clamp(value, -kLimit, kLimit));
}

long yardsFromMetres(long metres) {
    return static_cast<long>(static_cast<float>(metres) / kMetresPerYard);
}

std::string plainNumber(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

}  // namespace qx
