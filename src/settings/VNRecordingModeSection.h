#pragma once

#include "settings/ChoiceListSection.h"

namespace qx {

// How the instrument records its history: cyclic (row 0, the oldest records give way) or
// linear (row 1). The choice is saved and written to the instrument.
class VNRecordingModeSection : public ChoiceListSection {
public:
    VNTableViewCellPtr cyclicCell() { return choiceCell(0); }
    VNTableViewCellPtr linearCell() { return choiceCell(1); }

protected:
    std::vector<std::string> choiceKeys() const override { return {"Cyclic", "Linear"}; }
    std::optional<std::size_t> currentIndex() const override;
    void choose(std::size_t index) override;
};

}  // namespace qx
