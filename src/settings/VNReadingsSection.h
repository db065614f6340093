#pragma once

#include "settings/ChoiceListSection.h"

namespace qx {

// Distances in miles and yards (row 0) or kilometres and metres (row 1).
class VNReadingsSection : public ChoiceListSection {
public:
    VNTableViewCellPtr imperialCell() { return choiceCell(0); }
    VNTableViewCellPtr metricCell() { return choiceCell(1); }

protected:
    std::vector<std::string> choiceKeys() const override { return {"Imperial", "Metric"}; }
    std::optional<std::size_t> currentIndex() const override;
    void choose(std::size_t index) override;
};

}  // namespace qx
