#include "history/WaypointTableCell.h"

#include "history/HistoryInterfaces.h"
#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "model/Language.h"
#include "store/Measurement.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

std::string waypointTitle(const Waypoint& waypoint, const Measurement* reading) {
    if (waypoint.name()) {
        return reading ? *waypoint.name() + " " + DateStrings::dateMediumStr(reading->date()) : *waypoint.name();
    }
    return reading ? DateStrings::dateTimeLongStr(reading->date()) : std::string();
}

}  // namespace

WaypointTableCell::WaypointTableCell(Token token, plat::CellStyle style, std::string reuseIdentifier)
    : ReadingTableCell(token, style, std::move(reuseIdentifier)) {}

std::shared_ptr<WaypointTableCell> WaypointTableCell::make(plat::CellStyle style, std::string reuseIdentifier) {
    return makeRow<WaypointTableCell>(style, std::move(reuseIdentifier));
}

void WaypointTableCell::initUI() {
    variationLabel_ = addLabel(plat::Rect{130, 31, 100, 21}, false, 10, Language::get("Variation:"));
    variationValueLabel_ = addLabel(plat::Rect{130, 44, 55, 21}, true, 9, Language::get("n/a"));
    // The variation is shown with all its digits: a long one shrinks to fit.
    variationValueLabel_->setAdjustsFontSizeToFitWidth(true);
    variationValueLabel_->setMinimumScaleFactor(0.4);
    buildReadingRow(17, 31, {variationLabel_, variationValueLabel_});
    installEditButton();
    applyRowLook(plat::AccessoryType::None);
}

void WaypointTableCell::updateUI() {
    ReadingTableCell::updateUI();
    variationLabel_->setText(Language::get("Variation:"));
}

void WaypointTableCell::configureWithWaypoint(const std::shared_ptr<Waypoint>& waypoint,
                                              std::shared_ptr<plat::View> accessoryView) {
    waypoint_ = waypoint;
    setAccessoryType(plat::AccessoryType::None);
    // A waypoint always has its reading; a row without one shows "n/a" rather than failing.
    auto reading = waypoint ? waypoint->measurement() : nullptr;
    nameTextField()->setText(waypoint ? waypointTitle(*waypoint, reading.get()) : std::string());
    nameTextField()->setInputAccessoryView(std::move(accessoryView));

    DoseUnit unit;
    const double variation = reading ? reading->variation() : 0;
    variationValueLabel_->setText(variation > 0 ? variationText(variation) : Language::get("n/a"));
    showReading(reading.get(), unit);
    updateUI();
}

}  // namespace qx
