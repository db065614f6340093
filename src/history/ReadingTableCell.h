#pragma once

#include <memory>
#include <string>
#include <vector>

#include "history/HistoryTableCell.h"

namespace qx {

class DoseUnit;
class Measurement;

// What the waypoint and measurement rows share: the dose-rate and dose of one reading under
// captions that follow the interface language, and a check box that a list can hide.
class ReadingTableCell : public HistoryTableCell {
public:

    using HistoryTableCell::HistoryTableCell;

    // Sets the captions again in the current language.
    virtual void updateUI();
    void hideCheckButton(bool hidden);

    const std::shared_ptr<plat::Label>& DERLabel() const { return derLabel_; }
    const std::shared_ptr<plat::Label>& DERValueLabel() const { return derValueLabel_; }
    const std::shared_ptr<plat::Label>& doseLabel() const { return doseLabel_; }
    const std::shared_ptr<plat::Label>& doseValueLabel() const { return doseValueLabel_; }

protected:
    // The name field, check box and the reading's labels; `top` is the y of the captions, the
    // values sit 13 points below them.
    // `middle`: a column of the row's own between the dose rate and the dose.
    void buildReadingRow(double checkTop, double top, std::vector<std::shared_ptr<plat::Label>> middle = {});
    // Dose rate and dose of the reading; a missing reading shows "n/a" for both.
    void showReading(const Measurement* reading, DoseUnit& unit);

private:
    std::shared_ptr<plat::Label> derLabel_, derValueLabel_, doseLabel_, doseValueLabel_;
};

}  // namespace qx
