#pragma once

#include "settings/ChoiceListSection.h"

namespace qx {

// When readings go to the radiation-reporting service: by hand (row 0), each automatic waypoint
// (row 1), or the automatic waypoints above a threshold (row 2). The choice is saved at once.
class VNUploadSection : public ChoiceListSection {
public:
    VNTableViewCellPtr manualCell() { return choiceCell(0); }
    VNTableViewCellPtr autoCell() { return choiceCell(1); }
    VNTableViewCellPtr alarmCell() { return choiceCell(2); }

    // The keys of the modes' names, by mode.
    static const std::vector<std::string>& modeKeys();

protected:
    std::vector<std::string> choiceKeys() const override { return modeKeys(); }
    std::optional<std::size_t> currentIndex() const override;
    void choose(std::size_t index) override;
};

}  // namespace qx
