#include "maps/WaypointAnnotation.h"

#include <cmath>

#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "model/Settings.h"
#include "platform/map/MapView.h"
#include "store/Context.h"
#include "store/Measurement.h"
#include "store/TrackPoints.h"
#include "store/Waypoint.h"

namespace qx {

WaypointAnnotation::WaypointAnnotation(std::shared_ptr<Waypoint> waypoint) { applyWaypoint(std::move(waypoint)); }

WaypointAnnotation::WaypointAnnotation(const TrackPoint& point, std::weak_ptr<Context> context)
    : context_(std::move(context)), row_(point.row), coordinate_{point.latitude, point.longitude} {
    applyReading(point.der, point.date, point.name);
}

void WaypointAnnotation::applyWaypoint(std::shared_ptr<Waypoint> waypoint) {
    waypoint_ = std::move(waypoint);
    context_.reset();
    row_ = 0;
    if (!waypoint_) return;
    coordinate_ = {waypoint_->latitude(), waypoint_->longitude()};
    const auto measurement = waypoint_->measurement();
    applyReading(measurement ? measurement->der() : 0,
                 measurement ? std::optional<plat::Date>(measurement->date()) : std::nullopt, waypoint_->name());
}

void WaypointAnnotation::applyReading(double doseRate, std::optional<plat::Date> date, std::optional<std::string> name) {
    doseRate_ = doseRate;
    date_ = date;
    name_ = std::move(name);
    title_.reset();
    subtitle_.reset();
    pinColor_ = colorClassForDoseRate(doseRate);
}

const std::shared_ptr<Waypoint>& WaypointAnnotation::waypoint() const {
    if (row_ != 0) {
        if (auto context = context_.lock()) waypoint_ = context->objectWithRow<Waypoint>(row_);
        // Read once: a pin whose point went away stays without one.
        context_.reset();
        row_ = 0;
    }
    return waypoint_;
}

std::string WaypointAnnotation::title() const {
    if (!title_) {
        const DoseUnit unit(doseRate_);
        title_ = unit.stringValue() + " " + unit.unitString(DoseUnit::doseRateKind);
        if (name_) *title_ += " " + *name_;
    }
    return *title_;
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
