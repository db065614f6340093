#include "history/ReadingTableCell.h"

#include "model/DoseUnit.h"
#include "model/Language.h"
#include "store/Measurement.h"

namespace qx {

namespace {
constexpr double kValueOffset = 13;
}

void ReadingTableCell::updateUI() {
    doseLabel_->setText(Language::get("Dose:"));
    derLabel_->setText(Language::get("Dose Rate") + ":");
}

void ReadingTableCell::hideCheckButton(bool hidden) {
    if (checkButton()) checkButton()->setHidden(hidden);
}

void ReadingTableCell::buildReadingRow(double checkTop, double top) {
    derLabel_ = addLabel(plat::Rect{42, top, 100, 21}, false, 10, Language::get("Dose Rate") + ":");
    derValueLabel_ = addLabel(plat::Rect{42, top + kValueOffset, 55, 21}, true, 9);
    doseLabel_ = addLabel(plat::Rect{200, top, 30, 21}, false, 10, Language::get("Dose:"));
    doseValueLabel_ = addLabel(plat::Rect{200, top + kValueOffset, 55, 21}, true, 9, "0");
    installNameField(plat::Rect{42, 4, 270, 21}, 14);
    installCheckButton(plat::Rect{6, checkTop, 32, 32});
}

void ReadingTableCell::showReading(const Measurement* reading, DoseUnit& unit) {
    showDoseRate(*derValueLabel_, unit, reading ? reading->der() : 0);
    if (reading && reading->measuresDose()) {
        showDose(*doseValueLabel_, unit, reading->de());
    } else {
        showNotAvailable(*doseValueLabel_);
    }
}

}  // namespace qx
