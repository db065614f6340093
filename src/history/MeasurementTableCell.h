#pragma once

#include <memory>
#include <string>

#include "history/ReadingTableCell.h"

namespace qx {

class Measurement;

// The row of one stored reading that belongs to no waypoint: its date and time, dose rate and
// dose. It has no "Edit" button: a reading has no name.
class MeasurementTableCell : public ReadingTableCell {
public:
    static constexpr const char* kReuseIdentifier = "MeasureCell";

    MeasurementTableCell(Token, plat::CellStyle style, std::string reuseIdentifier);
    static std::shared_ptr<MeasurementTableCell> make(plat::CellStyle style = plat::CellStyle::Default,
                                                      std::string reuseIdentifier = kReuseIdentifier);

    void configureWithMeasurement(const Measurement& measurement);

protected:
    void initUI() override;
};

}  // namespace qx
