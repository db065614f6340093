#include "history/TrackTableCell.h"

#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "model/Language.h"
#include "store/Track.h"

namespace qx {

namespace {

constexpr double kRightMargin = 8;

std::string dateAndTime(plat::Date date) { return DateStrings::dateStr(date) + " " + DateStrings::timeStr(date); }

}  // namespace

TrackTableCell::TrackTableCell(Token token, plat::CellStyle style, std::string reuseIdentifier)
    : HistoryTableCell(token, style, std::move(reuseIdentifier)) {}

std::shared_ptr<TrackTableCell> TrackTableCell::make(plat::CellStyle style, std::string reuseIdentifier) {
    return makeRow<TrackTableCell>(style, std::move(reuseIdentifier));
}

void TrackTableCell::initUI() {
    startLabel_ = addLabel(plat::Rect{42, 29, 50, 21}, false, 10);
    startValueLabel_ = addLabel(plat::Rect{42, 42, 100, 21}, true, 10, "0");
    finishLabel_ = addLabel(plat::Rect{151, 29, 50, 21}, false, 10);
    finishValueLabel_ = addLabel(plat::Rect{151, 42, 100, 21}, true, 10, "0");
    minLabel_ = addLabel(plat::Rect{42, 60, 30, 21}, false, 10);
    minValueLabel_ = addLabel(plat::Rect{42, 75, 55, 21}, true, 9);
    maxLabel_ = addLabel(plat::Rect{100, 60, 30, 21}, false, 10);
    maxValueLabel_ = addLabel(plat::Rect{100, 75, 55, 21}, true, 9);
    doseLabel_ = addLabel(plat::Rect{156, 60, 30, 21}, false, 10);
    doseValueLabel_ = addLabel(plat::Rect{156, 75, 55, 21}, true, 9);
    // Narrow enough to stay clear of the alarm badge; a long caption shrinks.
    accLabel_ = addLabel(plat::Rect{210, 60, 60, 21}, false, 10);
    accLabel_->setAdjustsFontSizeToFitWidth(true);
    accLabel_->setMinimumScaleFactor(0.5);
    accValueLabel_ = addLabel(plat::Rect{210, 75, 60, 21}, true, 10);
    updateUI();
    maxDoseButton_ = addAlarmBadge(plat::Rect{271, 33, 36, 35}, "HelveticaNeue-Bold");
    const auto end = [this] { return endBefore(*maxDoseButton_, bounds().width() - kRightMargin); };
    addLine({figureUnderCaption(startLabel_, startValueLabel_), figureUnderCaption(finishLabel_, finishValueLabel_)}, end);
    addLine({figureUnderCaption(minLabel_, minValueLabel_), figureUnderCaption(maxLabel_, maxValueLabel_),
             figureUnderCaption(doseLabel_, doseValueLabel_), figureUnderCaption(accLabel_, accValueLabel_)},
            end);
    installNameField(plat::Rect{42, 12, 253, 21}, 15);
    installCheckButton(plat::Rect{6, 35, 32, 32});
    installEditButton();
    applyRowLook(plat::AccessoryType::None);
}

void TrackTableCell::updateUI() {
    startLabel_->setText(Language::get("Start:"));
    finishLabel_->setText(Language::get("Finish:"));
    minLabel_->setText(Language::get("Min:"));
    maxLabel_->setText(Language::get("Max:"));
    doseLabel_->setText(Language::get("Dose:"));
    accLabel_->setText(Language::get("Accumulation:"));
}

void TrackTableCell::configureWithTrack(Track& track, std::shared_ptr<plat::View> accessoryView) {
    // Captions are read on every fill: a reused row must follow a language switch.
    updateUI();
    setAccessoryType(plat::AccessoryType::None);
    const plat::Date start = track.dateFrom();
    nameTextField()->setText(track.name() ? *track.name() + " " + DateStrings::dateMediumStr(start)
                                          : DateStrings::dateLongStr(start));
    nameTextField()->setInputAccessoryView(std::move(accessoryView));
    startValueLabel_->setText(dateAndTime(start));
    // A track being recorded goes on until now.
    finishValueLabel_->setText(dateAndTime(track.currentDateTo()));

    DoseUnit unit;
    showDoseRate(*minValueLabel_, unit, track.minDER());
    showDoseRate(*maxValueLabel_, unit, track.maxDER());
    if (!track.measuresDose()) {
        // Black, so that a reused row keeps no colour of the track it showed before.
        showNotAvailable(*doseValueLabel_);
        showNotAvailable(*accValueLabel_);
    } else {
        showDose(*doseValueLabel_, unit, track.currentDe());
        accValueLabel_->setText(track.duration());
    }

    const std::int64_t alarms = track.alarms();
    maxDoseButton_->setHidden(alarms == 0);
    if (alarms != 0) {
        maxDoseButton_->setTitle(std::to_string(alarms));
        maxDoseButton_->setBackgroundImage(plat::Image::named(track.alarmIcon()));
    }
}

void TrackTableCell::manageMode() {
    HistoryTableCell::manageMode();
    maxDoseButton_->setHidden(true);
}

}  // namespace qx
