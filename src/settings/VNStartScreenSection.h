#pragma once

#include "settings/ChoiceListSection.h"

namespace qx {

// The tab shown at launch, by its position in the tab bar.
class VNStartScreenSection : public ChoiceListSection {
public:
    VNTableViewCellPtr dashboardCell() { return choiceCell(0); }
    VNTableViewCellPtr trackCell() { return choiceCell(1); }
    VNTableViewCellPtr historyCell() { return choiceCell(2); }
    VNTableViewCellPtr worldMapCell() { return choiceCell(3); }

    // The keys of the start tabs' names, by position.
    static const std::vector<std::string>& screenKeys();

protected:
    std::vector<std::string> choiceKeys() const override { return screenKeys(); }
    std::optional<std::size_t> currentIndex() const override;
    void choose(std::size_t index) override;
};

}  // namespace qx
