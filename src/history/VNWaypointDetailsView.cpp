#include "history/VNWaypointDetailsView.h"

#include <cmath>
#include <cstdio>

#include "history/HistoryInterfaces.h"
#include "model/DateStrings.h"
#include "model/DeviceModels.h"
#include "model/DoseUnit.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "store/Measurement.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

constexpr plat::Rect kPanelFrame{0, 0, 320, 230};

// "48.5000° North": the absolute angle with its hemisphere word.
std::string angleText(double degrees, const char* positiveWord, const char* negativeWord) {
    if (!std::isfinite(degrees)) return Language::get("n/a");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f° ", std::fabs(degrees));
    return buf + Language::get(degrees >= 0 ? positiveWord : negativeWord);
}

}  // namespace

VNWaypointDetailsView::VNWaypointDetailsView() : VNView(kPanelFrame) {}

std::shared_ptr<VNWaypointDetailsView> VNWaypointDetailsView::loadFromNib() {
    registerHistoryInterfaces();
    return plat::Interface::loadAs<VNWaypointDetailsView>(kNibName);
}

std::shared_ptr<plat::View> VNWaypointDetailsView::buildInterface(plat::Outlets& outlets) {
    auto panel = std::make_shared<VNWaypointDetailsView>();
    panel->build(outlets);
    panel->awakeFromNib();
    return panel;
}

void VNWaypointDetailsView::build(plat::Outlets& outlets) {
    setBackgroundColor(kPanelGrey);
    dateLabel_ = addPanelLabel(*this, {10, 10, 275, 24}, 13, true);
    uploadedIcon_ = std::make_shared<plat::ImageView>(plat::Image::named("icon-uploaded.png"));
    uploadedIcon_->setFrame({288, 12, 20, 20});
    // Shown only for a reading the monitoring service took: it must never claim an upload.
    uploadedIcon_->setHidden(true);
    addSubview(uploadedIcon_);

    doseRateTitleLabel_ = addPanelLabel(*this, {10, 48, 150, 18}, 12, false);
    variationTitleLabel_ = addPanelLabel(*this, {170, 48, 140, 18}, 12, false);
    doseRateLabel_ = addPanelLabel(*this, {10, 68, 90, 30}, 24, true);
    doseRateUnitLabel_ = addPanelLabel(*this, {92, 76, 68, 20}, 14, false);
    variationLabel_ = addPanelLabel(*this, {170, 68, 140, 30}, 24, true);
    // A variation in the thousands shrinks rather than running past the panel.
    variationLabel_->setAdjustsFontSizeToFitWidth(true);
    variationLabel_->setMinimumScaleFactor(0.4);

    doseTitleLabel_ = addPanelLabel(*this, {10, 110, 150, 18}, 12, false);
    accumulationTitleLabel_ = addPanelLabel(*this, {170, 110, 140, 18}, 12, false);
    doseLabel_ = addPanelLabel(*this, {10, 130, 90, 30}, 24, true);
    doseUnitLabel_ = addPanelLabel(*this, {92, 138, 68, 20}, 14, false);
    accumulationLabel_ = addPanelLabel(*this, {170, 130, 140, 30}, 24, true);

    latitudeTitleLabel_ = addPanelLabel(*this, {10, 175, 100, 18}, 12, false);
    longitudeTitleLabel_ = addPanelLabel(*this, {115, 175, 100, 18}, 12, false);
    altitudeTitleLabel_ = addPanelLabel(*this, {220, 175, 90, 18}, 12, false);
    latitudeLabel_ = addPanelLabel(*this, {10, 195, 105, 22}, 11, true);
    longitudeLabel_ = addPanelLabel(*this, {115, 195, 105, 22}, 11, true);
    altitudeLabel_ = addPanelLabel(*this, {220, 195, 45, 22}, 11, true);
    altitudeUnitLabel_ = addPanelLabel(*this, {265, 195, 45, 22}, 11, false);
    altitudeUnitLabel_->setText(Language::get("short.meters"));

    outlets.set("dateLabel", dateLabel_);
    outlets.set("uploadedIcon", uploadedIcon_);
    outlets.set("doseRateLabel", doseRateLabel_);
    outlets.set("doseLabel", doseLabel_);
    outlets.set("latitudeLabel", latitudeLabel_);
    outlets.set("longitudeLabel", longitudeLabel_);
    outlets.set("altitudeLabel", altitudeLabel_);
}

void VNWaypointDetailsView::awakeFromNib() { initTiles(); }

void VNWaypointDetailsView::initTiles() {
    doseRateTitleLabel_->setText(Language::get("Dose Rate:"));
    variationTitleLabel_->setText(Language::get("Variation:"));
    doseTitleLabel_->setText(Language::get("Dose:"));
    accumulationTitleLabel_->setText(Language::get("Accumulation:"));
    latitudeTitleLabel_->setText(Language::get("Latitude:"));
    longitudeTitleLabel_->setText(Language::get("Longitude:"));
    altitudeTitleLabel_->setText(Language::get("Altitude:"));
}

void VNWaypointDetailsView::setWaypoint(const Waypoint* waypoint) {
    if (!waypoint) return;
    // A waypoint always has its reading; one without shows a reading of nothing.
    auto reading = waypoint->measurement();
    const std::string notAvailable = Language::get("n/a");

    if (waypoint->name()) {
        dateLabel_->setText(reading ? *waypoint->name() + " " + DateStrings::dateMediumStr(reading->date())
                                    : *waypoint->name());
    } else {
        dateLabel_->setText(reading ? DateStrings::dateTimeLongStr(reading->date()) : notAvailable);
    }

    Settings& settings = Settings::sharedSettings();
    DoseUnit unit(reading ? reading->der() : 0);
    const auto rateColor = settings.derColor(std::isfinite(unit.value()) ? unit.value() : 0);
    doseRateLabel_->setText(unit.stringValue());
    doseRateUnitLabel_->setText(unit.unitString(DoseUnit::doseRateKind));
    colorPanelFigure(*doseRateLabel_, rateColor);
    colorPanelFigure(*doseRateUnitLabel_, rateColor);

    if (reading && reading->measuresDose()) {
        unit.setValue(reading->de());
        const auto doseColor = settings.deColor(std::isfinite(unit.value()) ? unit.value() : 0);
        doseLabel_->setText(unit.stringValue());
        doseUnitLabel_->setText(unit.unitString(DoseUnit::doseKind));
        colorPanelFigure(*doseLabel_, doseColor);
        colorPanelFigure(*doseUnitLabel_, doseColor);
        const auto& accumulation = reading->accumulation();
        accumulationLabel_->setText(accumulation ? Language::get(*accumulation) : notAvailable);
    } else {
        // One "n/a": the unit of no value says nothing more.
        doseLabel_->setText(notAvailable);
        doseUnitLabel_->setText({});
        accumulationLabel_->setText(notAvailable);
        colorPanelFigure(*doseLabel_, plat::Color::black());
    }

    variationLabel_->setText(variationText(reading ? reading->variation() : 0));
    uploadedIcon_->setHidden(!(reading && reading->uploaded()));
    showPosition(*waypoint);
}

void VNWaypointDetailsView::showPosition(const Waypoint& waypoint) {
    if (!waypoint.hasPosition()) {
        const std::string notAvailable = Language::get("n/a");
        latitudeLabel_->setText(notAvailable);
        longitudeLabel_->setText(notAvailable);
        altitudeLabel_->setText(notAvailable);
        return;
    }
    latitudeLabel_->setText(angleText(waypoint.latitude(), "North", "South"));
    longitudeLabel_->setText(angleText(waypoint.longitude(), "East", "West"));
    if (!waypoint.hasAltitude()) {
        altitudeLabel_->setText(Language::get("n/a"));
        altitudeUnitLabel_->setText({});
        return;
    }
    const long metres = wholeNumber(waypoint.altitude());
    // The unit follows the number: a height in yards must not read as metres.
    if (Settings::sharedSettings().metric()) {
        altitudeLabel_->setText(std::to_string(metres));
        altitudeUnitLabel_->setText(Language::get("short.meters"));
    } else {
        altitudeLabel_->setText(std::to_string(yardsFromMetres(metres)));
        altitudeUnitLabel_->setText(Language::get("yd"));
    }
}

}  // namespace qx
