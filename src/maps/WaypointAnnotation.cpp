#include "maps/WaypointAnnotation.h"

#include <cmath>

#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "model/Settings.h"
#include "platform/map/MapView.h"
#include "store/Measurement.h"
#include "store/Waypoint.h"

namespace qx {

WaypointAnnotation::WaypointAnnotation(std::shared_ptr<Waypoint> waypoint) { applyWaypoint(std::move(waypoint)); }

void WaypointAnnotation::applyWaypoint(std::shared_ptr<Waypoint> waypoint) {
    waypoint_ = std::move(waypoint);
    if (!waypoint_) return;
    coordinate_ = {waypoint_->latitude(), waypoint_->longitude()};
    const auto measurement = waypoint_->measurement();
    const double der = measurement ? measurement->der() : 0;
    date_ = measurement ? std::optional<plat::Date>(measurement->date()) : std::nullopt;
    subtitle_.reset();
    const DoseUnit unit(der);
    title_ = unit.stringValue() + " " + unit.unitString(DoseUnit::doseRateKind);
    if (const auto& name = waypoint_->name()) title_ += " " + *name;
    pinColor_ = colorClassForDoseRate(der);
}

std::string WaypointAnnotation::subtitle() const {
    if (!subtitle_) subtitle_ = date_ ? DateStrings::dateTimeShortStr(*date_) : std::string{};
    return *subtitle_;
}

void WaypointAnnotation::updatePointOnMap(const plat::MapView& map) {
    pointOnMap_ = snapToGrid(map.convertCoordinateToPoint(coordinate_));
}

plat::Point WaypointAnnotation::snapToGrid(plat::Point p) {
    auto snap = [](double v) { return static_cast<double>(std::round(static_cast<float>(v / 10.0))) * 10; };
    return {snap(p.x), snap(p.y)};
}

long WaypointAnnotation::colorClassForDoseRate(double doseRate) {
    auto& threshold = Settings::sharedSettings().DERthreshold();
    if (doseRate > threshold.secondThreshold->value()) return kRed;
    if (doseRate > threshold.firstThreshold->value()) return kOrange;
    return kGreen;
}

}  // namespace qx
