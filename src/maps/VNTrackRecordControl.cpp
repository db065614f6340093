#include "maps/VNTrackRecordControl.h"

#include <cstdio>

#include "dashboard/FittingTitle.h"
#include "model/Language.h"
#include "platform/foundation/Date.h"
#include "store/Track.h"

namespace qx {

namespace {
const plat::Color kRecordRed = plat::Color::fromBytes(200, 30, 30);
}  // namespace

VNTrackRecordControl::VNTrackRecordControl(const plat::Rect& frame) : plat::View(frame) {
    const plat::Rect inside{0, 0, frame.width(), frame.height()};
    startButton_ = plat::Button::make(plat::ButtonType::Custom, inside);
    startButton_->setBackgroundColor(kRecordRed);
    startButton_->setTitleColor(plat::Color::white());
    startButton_->titleLabel().setFont(plat::Font::named("HelveticaNeue-Bold", 19));
    startButton_->addAction(plat::TouchUpInside, [this](plat::Control&) { start(); });
    addSubview(startButton_);

    stopContainerView_ = std::make_shared<plat::View>(inside);
    const double stopWidth = frame.width() * 0.4;
    stopButton_ = plat::Button::make(plat::ButtonType::Custom, {0, 0, stopWidth, frame.height()});
    stopButton_->setBackgroundColor(kRecordRed);
    stopButton_->setTitleColor(plat::Color::white());
    stopButton_->titleLabel().setFont(plat::Font::named("HelveticaNeue-Bold", 19));
    stopButton_->addAction(plat::TouchUpInside, [this](plat::Control&) { stop(); });
    stopContainerView_->addSubview(stopButton_);
    durationLabel_ = std::make_shared<plat::Label>(
        plat::Rect{stopWidth + 8, 0, frame.width() - stopWidth - 8, frame.height()});
    durationLabel_->setFont(plat::Font::named("HelveticaNeue-Bold", 24));
    durationLabel_->setTextAlignment(plat::TextAlignment::Center);
    durationLabel_->setAdjustsFontSizeToFitWidth(true);
    stopContainerView_->addSubview(durationLabel_);
    addSubview(stopContainerView_);
}

VNTrackRecordControl::~VNTrackRecordControl() { stopTimer(); }

void VNTrackRecordControl::awakeFromNib() {
    stopContainerView_->setHidden(true);
    updateTitles();
}

void VNTrackRecordControl::updateTitles() {
    setFittingTitle(*startButton_, Language::get("Record"), 19);
    setFittingTitle(*stopButton_, Language::get("Stop"), 19);
}

void VNTrackRecordControl::stopTimer() {
    if (recordTimer_) recordTimer_->invalidate();
    recordTimer_.reset();
}

void VNTrackRecordControl::start() {
    stopTimer();
    durationLabel_->setText("00:00:00");
    // The run loop keeps the timer; the control only refers to it and stops it before it goes.
    recordTimer_ = plat::Timer::scheduled(1.0, true, [this](plat::Timer&) { updateDurationLabel(); });
    stopContainerView_->setHidden(false);
    startButton_->setHidden(true);
    if (onStartHandler_) onStartHandler_();
}

void VNTrackRecordControl::stop() {
    stopContainerView_->setHidden(true);
    startButton_->setHidden(false);
    stopTimer();
    if (onStopHandler_) onStopHandler_();
}

std::string VNTrackRecordControl::durationText(unsigned long seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lu:%02lu:%02lu", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return text;
}

void VNTrackRecordControl::updateDurationLabel() {
    const auto track = Track::getCurrentTrack();
    const double elapsed = track ? plat::Date::now().timeIntervalSince(track->dateFrom()) : 0;
    durationLabel_->setText(durationText(elapsed > 0 ? static_cast<unsigned long>(elapsed) : 0));
    setNeedsDisplay();
}

}  // namespace qx
