#include "history/SetTableCell.h"

#include <cmath>

#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "model/Language.h"
#include "store/Set.h"

namespace qx {

namespace {
// The disclosure mark's room at the right end of the counts' line; the figures' line below it
// reaches to the row's margin.
constexpr double kChevronRoom = 27;
constexpr double kRightMargin = 8;
}  // namespace

SetTableCell::SetTableCell(Token token, plat::CellStyle style, std::string reuseIdentifier)
    : HistoryTableCell(token, style, std::move(reuseIdentifier)) {}

std::shared_ptr<SetTableCell> SetTableCell::make(plat::CellStyle style, std::string reuseIdentifier) {
    return makeRow<SetTableCell>(style, std::move(reuseIdentifier));
}

void SetTableCell::initUI() {
    installNameField(plat::Rect{42, 12, 203, 21}, 15);
    tracksLabel_ = addLabel(plat::Rect{42, 34, 34, 21}, false, 10);
    tracksValueLabel_ = addLabel(plat::Rect{76, 34, 20, 21}, true, 10, "0");
    waipointsLabel_ = addLabel(plat::Rect{96, 34, 52, 21}, false, 10);
    waipointsValueLabel_ = addLabel(plat::Rect{148, 34, 30, 21}, true, 10, "0");
    measurementsLabel_ = addLabel(plat::Rect{178, 34, 52, 21}, false, 10);
    measurementsValueLabel_ = addLabel(plat::Rect{230, 34, 30, 21}, true, 10, "0");
    minLabel_ = addLabel(plat::Rect{42, 54, 25, 21}, false, 10);
    minValueLabel_ = addLabel(plat::Rect{67, 54, 55, 21}, true, 9);
    maxLabel_ = addLabel(plat::Rect{122, 54, 25, 21}, false, 10);
    maxValueLabel_ = addLabel(plat::Rect{147, 54, 55, 21}, true, 9);
    doseLabel_ = addLabel(plat::Rect{205, 54, 45, 21}, false, 10);
    doseLabel_->setTextAlignment(plat::TextAlignment::Right);
    doseValueLabel_ = addLabel(plat::Rect{253, 54, 60, 21}, true, 9);
    installCheckButton(plat::Rect{6, 24, 32, 32});
    maxDoseButton_ = addAlarmBadge(plat::Rect{260, 20, 36, 35}, "Helvetica-Bold");
    addLine({captionColumn({tracksLabel_}), valueColumn(tracksValueLabel_), captionColumn({waipointsLabel_}),
             valueColumn(waipointsValueLabel_), captionColumn({measurementsLabel_}), valueColumn(measurementsValueLabel_)},
            [this] { return endBefore(*maxDoseButton_, bounds().width() - kChevronRoom); });
    addLine({captionColumn({minLabel_}), valueColumn(minValueLabel_), captionColumn({maxLabel_}), valueColumn(maxValueLabel_),
             captionColumn({doseLabel_}), valueColumn(doseValueLabel_)},
            [this] { return bounds().width() - kRightMargin; });
    updateUI();
    applyRowLook(plat::AccessoryType::DisclosureIndicator);
}

void SetTableCell::updateUI() {
    tracksLabel_->setText(Language::get("Tracks:"));
    waipointsLabel_->setText(Language::get("Waypoints:"));
    measurementsLabel_->setText(Language::get("Measurm.:"));
    minLabel_->setText(Language::get("Min:"));
    maxLabel_->setText(Language::get("Max:"));
    doseLabel_->setText(Language::get("Dose:"));
}

void SetTableCell::configureWithSet(Set& set, std::shared_ptr<plat::View> accessoryView) {
    const std::int64_t alarms = set.alarms();
    maxDoseButton_->setHidden(alarms == 0);
    if (alarms != 0) {
        maxDoseButton_->setTitle(std::to_string(alarms));
        maxDoseButton_->setBackgroundImage(plat::Image::named(set.alarmIcon()));
    }

    tracksValueLabel_->setText(std::to_string(set.tracksCount()));
    waipointsValueLabel_->setText(std::to_string(set.waypointsCount()));
    measurementsValueLabel_->setText(std::to_string(set.measurementsCount()));

    DoseUnit unit;
    showDoseRate(*minValueLabel_, unit, set.minDER());
    showDoseRate(*maxValueLabel_, unit, set.maxDER());
    const double dose = set.dose();
    if (dose > 0) {
        showDose(*doseValueLabel_, unit, dose);
    } else {
        showNotAvailable(*doseValueLabel_);
    }

    nameTextField()->setText(set.name() ? *set.name() : DateStrings::dateLongStr(set.date()));
    nameTextField()->setInputAccessoryView(std::move(accessoryView));
}

}  // namespace qx
