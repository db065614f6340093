#pragma once

#include "settings/ChoiceListSection.h"

namespace qx {

// The interface languages; choosing one stores its code, switches every text at once and saves.
class VNLanguageSection : public ChoiceListSection {
public:
    // Also titles the list's own screen, so that an open list follows the switch it caused.
    void updateCellsTitles() override;

    VNTableViewCellPtr enCell() { return choiceCell(0); }
    VNTableViewCellPtr jaCell() { return choiceCell(1); }
    VNTableViewCellPtr zhHansCell() { return choiceCell(2); }
    VNTableViewCellPtr ruCell() { return choiceCell(3); }
    VNTableViewCellPtr frCell() { return choiceCell(4); }
    VNTableViewCellPtr deCell() { return choiceCell(5); }

protected:
    std::vector<std::string> choiceKeys() const override;
    std::optional<std::size_t> currentIndex() const override;
    void choose(std::size_t index) override;
};

}  // namespace qx
