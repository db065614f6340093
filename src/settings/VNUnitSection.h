#pragma once

#include "settings/ChoiceListSection.h"

namespace qx {

// Dose texts in roentgen (row 0) or sievert (row 1).
class VNUnitSection : public ChoiceListSection {
public:
    VNTableViewCellPtr rCell() { return choiceCell(0); }
    VNTableViewCellPtr svCell() { return choiceCell(1); }

protected:
    std::vector<std::string> choiceKeys() const override { return {"R", "Sv"}; }
    std::optional<std::size_t> currentIndex() const override;
    void choose(std::size_t index) override;
};

}  // namespace qx
