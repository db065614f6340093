#include "history/WorldMapReviewController.h"

#include <cmath>
#include <cstdio>

#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "model/Language.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableViewCell.h"
#include "store/Measurement.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

constexpr const char* kCellNames[] = {"userCell", "userDoseRateCell", "locationCell", "deviceCell"};
constexpr double kFirstRowHeight = 100.0, kRowHeight = 60.0;

struct LabelSpec {
    const char* name;
    int row;
    plat::Rect frame;
    double fontSize;
    bool bold;
};

// Captions on the left, values beside them; the first row carries the date, the dose rate in
// large type with its unit, and the variation.
constexpr LabelSpec kLabels[] = {
    {"dateLabel", 0, {12, 6, 296, 20}, 14, false},
    {"userDoseRateLabel", 0, {12, 30, 150, 40}, 32, true},
    {"userUnitsLabel", 0, {166, 42, 80, 24}, 16, false},
    {"userVariationCaptionLabel", 0, {12, 74, 150, 20}, 13, false},
    {"userVariationValueLabel", 0, {166, 74, 140, 20}, 13, true},
    {"deviceNameLabel", 1, {12, 8, 140, 20}, 13, false},
    {"deviceLabel", 1, {156, 8, 152, 20}, 13, true},
    {"detectorNameLabel", 1, {12, 32, 140, 20}, 13, false},
    {"detectorLabel", 1, {156, 32, 152, 20}, 13, true},
    {"latitudeNameLabel", 2, {12, 2, 140, 18}, 13, false},
    {"latitudeLabel", 2, {156, 2, 152, 18}, 13, true},
    {"longitudeNameLabel", 2, {12, 21, 140, 18}, 13, false},
    {"longitudeLabel", 2, {156, 21, 152, 18}, 13, true},
    {"altitudeNameLabel", 2, {12, 40, 140, 18}, 13, false},
    {"altitudeLabel", 2, {156, 40, 152, 18}, 13, true},
    {"userLabel", 3, {12, 8, 296, 20}, 13, false},
};

std::shared_ptr<plat::View> buildReviewInterface(plat::Outlets& outlets) {
    const plat::Rect screen = plat::Screen::bounds();
    auto root = std::make_shared<plat::View>(screen);
    const double top = VNBaseViewController::kNavBarHeight;
    auto table = std::make_shared<plat::TableView>(plat::Rect{0, top, screen.width(), screen.height() - top});
    root->addSubview(table);
    outlets.set("reviewTable", table);
    std::shared_ptr<plat::TableViewCell> cells[4];
    for (int i = 0; i < 4; ++i) {
        cells[i] = std::make_shared<plat::TableViewCell>();
        cells[i]->setSelectionStyle(plat::SelectionStyle::None);
        outlets.set(kCellNames[i], cells[i]);
    }
    for (const auto& spec : kLabels) {
        auto label = std::make_shared<plat::Label>(spec.frame);
        label->setFont(spec.bold ? plat::Font::boldSystem(spec.fontSize) : plat::Font::system(spec.fontSize));
        label->setAdjustsFontSizeToFitWidth(true);
        cells[spec.row]->contentView().addSubview(label);
        outlets.set(spec.name, label);
    }
    return root;
}

// The whole-number part of a finite number, without a sign for a part of zero (12.7 gives
// "12", -0.4 gives "0"); printed rather than converted, so that no size of number overflows.
std::string wholePart(double v) {
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", std::trunc(v) + 0.0);
    return text;
}

}  // namespace

WorldMapReviewController::WorldMapReviewController() : VNBaseViewController(kNibName) {}

WorldMapReviewController::~WorldMapReviewController() = default;

std::shared_ptr<plat::TableView> WorldMapReviewController::reviewTable() {
    view();
    return outlet<plat::TableView>("reviewTable");
}

std::shared_ptr<plat::Label> WorldMapReviewController::label(const std::string& name) {
    view();
    return outlet<plat::Label>(name);
}

void WorldMapReviewController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    auto self = std::dynamic_pointer_cast<WorldMapReviewController>(shared_from_this());
    if (auto table = reviewTable()) {
        table->setDelegate(std::shared_ptr<plat::TableViewDelegate>(self, this));
        table->setDataSource(std::shared_ptr<plat::TableViewDataSource>(self, this));
        table->reloadData();
    }
    initTitles();
}

void WorldMapReviewController::initTitles() {
    VNBaseViewController::initTitles();
    setTitle(Language::get("Waypoint"));
}

plat::TableViewCellPtr WorldMapReviewController::cellForRow(plat::TableView&, const plat::IndexPath& ip) {
    auto text = [this](const char* name, const char* key) {
        if (auto l = label(name)) l->setText(Language::get(key));
    };
    switch (ip.row) {
        case 0: text("userVariationCaptionLabel", "Variation:"); break;
        case 1:
            text("deviceNameLabel", "Device");
            text("detectorNameLabel", "Detector type:");
            break;
        case 2:
            text("altitudeNameLabel", "Altitude:");
            text("latitudeNameLabel", "Latitude:");
            text("longitudeNameLabel", "Longitude:");
            break;
        case 3: break;
        default: return nullptr;
    }
    return outlet<plat::TableViewCell>(kCellNames[ip.row]);
}

double WorldMapReviewController::heightForRow(plat::TableView&, const plat::IndexPath& ip) {
    return ip.row == 0 ? kFirstRowHeight : kRowHeight;
}

std::string WorldMapReviewController::coordinateText(double degrees, const char* positiveKey, const char* negativeKey) {
    char number[64];
    std::snprintf(number, sizeof number, "%.4f", std::abs(degrees));
    return std::string(number) + "\u00b0 " + Language::get(degrees >= 0 ? positiveKey : negativeKey);
}

const char* WorldMapReviewController::detectorKey(const std::string& deviceName) {
    if (deviceName == "VN2450" || deviceName == "VN2450A" || deviceName == "VN2110BT") return "Geiger-Muller Tube";
    return "Scintillation Detector";
}

void WorldMapReviewController::setWaypoint(const std::shared_ptr<Waypoint>& waypoint) {
    waypoint_ = waypoint;
    if (!waypoint) return;
    auto set = [this](const char* name, const std::string& text) {
        if (auto l = label(name)) l->setText(text);
    };
    const auto reading = waypoint->measurement();
    set("dateLabel", reading ? DateStrings::dateTimeMediumStr(reading->date()) : std::string());
    set("userLabel", "");
    const DoseUnit rate(reading ? reading->der() : 0);
    set("userDoseRateLabel", rate.stringValue());
    set("userUnitsLabel", rate.unitString(DoseUnit::doseRateKind));
    const double variation = reading ? reading->variation() : 0;
    const bool knownVariation = variation > 0 && std::isfinite(variation);
    set("userVariationValueLabel", knownVariation ? wholePart(variation) + "%" : Language::get("n/a"));
    const std::string device = reading && reading->deviceName() ? *reading->deviceName() : std::string();
    set("deviceLabel", device);
    set("detectorLabel", Language::get(detectorKey(device)));
    const bool finite = std::isfinite(waypoint->latitude()) && std::isfinite(waypoint->longitude());
    if (waypoint->hasPosition() && finite) {
        set("latitudeLabel", coordinateText(waypoint->latitude(), "North", "South"));
        set("longitudeLabel", coordinateText(waypoint->longitude(), "East", "West"));
        set("altitudeLabel", waypoint->hasAltitude() ? wholePart(waypoint->altitude()) : Language::get("n/a"));
    } else {
        for (const char* name : {"latitudeLabel", "longitudeLabel", "altitudeLabel"}) set(name, Language::get("n/a"));
    }
}

void WorldMapReviewController::registerInterface() {
    plat::Interface::registerBuilder(kNibName, buildReviewInterface);
}

}  // namespace qx
