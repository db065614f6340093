#include "history/HistoryInterfaces.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "history/VNTrackDetailsView.h"
#include "history/VNWaypointDetailsView.h"
#include "platform/ui/Interface.h"

namespace qx {

namespace {
constexpr float kMetresPerYard = 0.9144f;
}

void registerHistoryInterfaces() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::Interface::registerBuilder(VNWaypointDetailsView::kNibName, &VNWaypointDetailsView::buildInterface);
        plat::Interface::registerBuilder(VNTrackDetailsView::kNibName, &VNTrackDetailsView::buildInterface);
    });
}

std::shared_ptr<plat::Label> addPanelLabel(plat::View& parent, const plat::Rect& frame, double fontSize, bool bold) {
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

long yardsFromMetres(long metres) { return static_cast<long>(static_cast<float>(metres) / kMetresPerYard); }

std::string plainNumber(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

}  // namespace qx
