#include "history/MeasurementTableCell.h"

#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "store/Measurement.h"

namespace qx {

MeasurementTableCell::MeasurementTableCell(Token token, plat::CellStyle style, std::string reuseIdentifier)
    : ReadingTableCell(token, style, std::move(reuseIdentifier)) {}

std::shared_ptr<MeasurementTableCell> MeasurementTableCell::make(plat::CellStyle style, std::string reuseIdentifier) {
    return makeRow<MeasurementTableCell>(style, std::move(reuseIdentifier));
}

void MeasurementTableCell::initUI() {
    buildReadingRow(7, 21);
    applyRowLook(plat::AccessoryType::None);
}

void MeasurementTableCell::configureWithMeasurement(const Measurement& measurement) {
    setAccessoryType(plat::AccessoryType::None);
    DoseUnit unit;
    nameTextField()->setText(DateStrings::dateTimeLongStr(measurement.date()));
    showReading(&measurement, unit);
    updateUI();
}

}  // namespace qx
