#include "history/VNTrackDetailsView.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "history/HistoryInterfaces.h"
#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/Button.h"
#include "store/ReadingStats.h"
#include "store/Track.h"

namespace qx {

namespace {

constexpr plat::Rect kPanelFrame{0, 0, 320, 290};
// Three columns with the panel's margin of 10 on both sides.
constexpr double kColumnX[] = {10, 112, 214};
constexpr double kColumnWidth = 96;
constexpr std::int64_t kMetresPerKilometre = 1000;
constexpr std::int64_t kMetresPerMile = 1609;
constexpr std::int64_t kSecondsPerHour = 3600;

// Caption keys and outlet names of the figures, in the order of VNTrackDetailsView::Figure.
struct FigureNames {
    const char* captionKey;
    const char* outlet;
};
constexpr FigureNames kFigures[] = {
    {"Waypoints", "waypoint"},        {"Alarms", "alarms"},
    {"Min. Dose Rate", "minDoseRate"}, {"Avg. Dose Rate", "avgDoseRate"},
    {"Max. Dose Rate", "maxDoseRate"}, {"Start Time", "startTime"},
    {"End Time", "endTime"},          {"Duration", "duration"},
    {"Avg. Speed", "avgSpeed"},       {"Max. Speed", "maxSpeed"},
    {"Distance", "distance"},         {"Min. Altitude", "minAltitude"},
    {"Max. Altitude", "maxAltitude"}, {"Dose", "dose"},
};
static_assert(std::size(kFigures) == VNTrackDetailsView::figureCount);

// Metres per second as whole kilometres or miles per hour: the stored value is converted, then
// the fraction is dropped. A figure that is no finite number has no text.
std::optional<std::string> speedText(double metresPerSecond, bool metric) {
    const double perHour =
        metresPerSecond * kSecondsPerHour / static_cast<double>(metric ? kMetresPerKilometre : kMetresPerMile);
    if (!std::isfinite(perHour)) return std::nullopt;
    return std::to_string(wholeNumber(perHour));
}

std::optional<std::string> distanceText(double metres, bool metric) {
    if (!std::isfinite(metres)) return std::nullopt;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.02f", metres / static_cast<double>(metric ? kMetresPerKilometre : kMetresPerMile));
    return buf;
}

std::optional<std::string> altitudeText(double metres, bool metric) {
    if (!std::isfinite(metres)) return std::nullopt;
    const long whole = wholeNumber(metres);
    return std::to_string(metric ? whole : yardsFromMetres(whole));
}

}  // namespace

VNTrackDetailsView::VNTrackDetailsView() : VNView(kPanelFrame) {}

std::shared_ptr<VNTrackDetailsView> VNTrackDetailsView::loadFromNib() {
    registerHistoryInterfaces();
    return plat::Interface::loadAs<VNTrackDetailsView>(kNibName);
}

std::shared_ptr<plat::View> VNTrackDetailsView::buildInterface(plat::Outlets& outlets) {
    auto panel = std::make_shared<VNTrackDetailsView>();
    panel->build(outlets);
    panel->awakeFromNib();
    return panel;
}

void VNTrackDetailsView::addFigure(Figure f, const plat::Rect& frame, bool withUnit) {
    const double valueWidth = withUnit ? frame.width() * 0.6 : frame.width();
    titles_[f] = addPanelLabel(*this, {frame.x(), frame.y(), frame.width(), 16}, 11, false);
    titles_[f]->setAdjustsFontSizeToFitWidth(true);
    titles_[f]->setMinimumScaleFactor(0.5);
    values_[f] = addPanelLabel(*this, {frame.x(), frame.y() + 16, valueWidth, 22}, 16, true);
    // A time with its day half ("12:45:41 PM") is wider than its column at full size.
    values_[f]->setAdjustsFontSizeToFitWidth(true);
    values_[f]->setMinimumScaleFactor(0.5);
    if (withUnit) {
        units_[f] = addPanelLabel(*this, {frame.x() + valueWidth, frame.y() + 20, frame.width() - valueWidth, 16}, 11, false);
        // The longer languages' units ("мкЗв/ч") are a little wider than the column leaves them.
        units_[f]->setAdjustsFontSizeToFitWidth(true);
        units_[f]->setMinimumScaleFactor(0.8);
    }
}

void VNTrackDetailsView::build(plat::Outlets& outlets) {
    setBackgroundColor(kPanelGrey);
    // The tap control lies behind the figures and covers the whole panel.
    tapControl_ = plat::Button::make(plat::ButtonType::Custom, bounds());
    tapControl_->setBackgroundColor(kPanelGrey);
    std::weak_ptr<View> weakPanel = weak_from_this();
    tapControl_->addAction(plat::TouchUpInside, [weakPanel](plat::Control&) {
        if (auto panel = std::dynamic_pointer_cast<VNTrackDetailsView>(weakPanel.lock())) panel->tapAction();
    });
    addSubview(tapControl_);

    nameLabel_ = addPanelLabel(*this, {10, 8, 275, 22}, 16, true);
    uploadedIcon_ = std::make_shared<plat::ImageView>(plat::Image::named("icon-uploaded.png"));
    uploadedIcon_->setFrame({290, 10, 20, 20});
    // Shown only for a track marked uploaded: it must never claim an upload.
    uploadedIcon_->setHidden(true);
    addSubview(uploadedIcon_);

    addFigure(waypoints, {kColumnX[0], 40, 145, 0}, false);
    addFigure(alarms, {165, 40, 145, 0}, false);
    const Figure rows[][3] = {{minDoseRate, avgDoseRate, maxDoseRate},
                              {startTime, endTime, duration},
                              {avgSpeed, maxSpeed, distance},
                              {minAltitude, maxAltitude, dose}};
    const double rowTops[] = {86, 136, 196, 246};
    for (int r = 0; r < 4; ++r) {
        for (int column = 0; column < 3; ++column) {
            const Figure f = rows[r][column];
            const bool times = f == startTime || f == endTime || f == duration;
            addFigure(f, {kColumnX[column], rowTops[r], kColumnWidth, 0}, !times);
        }
    }
    // Start and end show their date under the time.
    startDateLabel_ = addPanelLabel(*this, {kColumnX[0], rowTops[1] + 38, kColumnWidth, 16}, 11, false);
    endDateLabel_ = addPanelLabel(*this, {kColumnX[1], rowTops[1] + 38, kColumnWidth, 16}, 11, false);

    outlets.set("nameLabel", nameLabel_);
    outlets.set("uploadedIcon", uploadedIcon_);
    outlets.set("startDateLabel", startDateLabel_);
    outlets.set("endDateLabel", endDateLabel_);
    for (int f = 0; f < figureCount; ++f) {
        const std::string outlet = kFigures[f].outlet;
        outlets.set(outlet + "TitleLabel", titles_[f]);
        outlets.set(outlet == "waypoint" ? "waypointsLabel" : outlet + "Label", values_[f]);
        if (units_[f]) outlets.set(outlet + "UnitLabel", units_[f]);
    }
}

void VNTrackDetailsView::layoutSubviews() {
    VNView::layoutSubviews();
    // The whole panel answers a tap, however tall its page makes it.
    if (tapControl_) tapControl_->setFrame(bounds());
}

void VNTrackDetailsView::awakeFromNib() { initTiles(); }

void VNTrackDetailsView::initTiles() {
    // What a tap on the panel opens, for those who cannot see the panel.
    tapControl_->setAccessibilityLabel(Language::get("Track Waypoints"));
    for (int f = 0; f < figureCount; ++f) titles_[f]->setText(Language::get(kFigures[f].captionKey));
}

void VNTrackDetailsView::tapAction() {
    if (auto handler = onTapHandler_) handler();
}

void VNTrackDetailsView::setTrack(std::shared_ptr<Track> track) {
    track_ = std::move(track);
    if (track_) fill(*track_);
}

void VNTrackDetailsView::showDoseRate(Figure f, double value) {
    // The lowest dose rate of a track without points is infinite: it has no value and no unit.
    if (!std::isfinite(value)) {
        values_[f]->setText(Language::get("n/a"));
        colorPanelFigure(*values_[f], plat::Color::black());
        units_[f]->setText({});
        return;
    }
    DoseUnit unit(value);
    const auto color = Settings::sharedSettings().derColor(value);
    values_[f]->setText(unit.stringValue());
    colorPanelFigure(*values_[f], color);
    units_[f]->setText(unit.unitString(DoseUnit::doseRateKind));
    colorPanelFigure(*units_[f], color);
}

void VNTrackDetailsView::showFigure(Figure f, const std::optional<std::string>& value, const char* unitKey) {
    values_[f]->setText(value ? *value : Language::get("n/a"));
    units_[f]->setText(value ? Language::get(unitKey) : std::string());
}

void VNTrackDetailsView::fill(Track& track) {
    const plat::Date start = track.dateFrom();
    nameLabel_->setText(track.name() ? *track.name() + " " + DateStrings::dateMediumStr(start)
                                     : DateStrings::dateLongStr(start));
    uploadedIcon_->setHidden(!track.uploaded());
    values_[waypoints]->setText(std::to_string(track.waypointsCount()));
    values_[alarms]->setText(std::to_string(track.alarms()));
    // One pass of the store over the readings for all three figures: a track may be long.
    const auto stats = ReadingStats::of(track);
    showDoseRate(minDoseRate, stats.minDER);
    showDoseRate(avgDoseRate, stats.avgDER);
    showDoseRate(maxDoseRate, stats.maxDER);

    // A track being recorded goes on until now, with the dose gathered so far; an instrument
    // that measures no dose has none to show.
    const plat::Date end = track.currentDateTo();
    DoseUnit unit(track.shownDe());
    if (unit.value() > 0) {
        const auto color = Settings::sharedSettings().deColor(unit.value());
        values_[dose]->setText(unit.stringValue());
        colorPanelFigure(*values_[dose], color);
        units_[dose]->setText(unit.unitString(DoseUnit::doseKind));
        colorPanelFigure(*units_[dose], color);
    } else {
        values_[dose]->setText(Language::get("n/a"));
        colorPanelFigure(*values_[dose], plat::Color::black());
        units_[dose]->setText({});
    }

    values_[startTime]->setText(DateStrings::timeMediumStr(start));
    startDateLabel_->setText(DateStrings::dateStr(start));
    values_[endTime]->setText(DateStrings::timeMediumStr(end));
    endDateLabel_->setText(DateStrings::dateStr(end));
    values_[duration]->setText(track.duration());

    const bool metric = Settings::sharedSettings().metric();
    const char* speedUnit = metric ? "km/h" : "mph";
    const char* altitudeUnit = metric ? "short.meters" : "yd";
    showFigure(avgSpeed, speedText(track.avgSpeed(), metric), speedUnit);
    showFigure(maxSpeed, speedText(track.maxSpeed(), metric), speedUnit);
    showFigure(distance, distanceText(track.distance(), metric), metric ? "km" : "mi");
    showFigure(minAltitude, altitudeText(track.minAltitude(), metric), altitudeUnit);
    showFigure(maxAltitude, altitudeText(track.maxAltitude(), metric), altitudeUnit);
}

}  // namespace qx
