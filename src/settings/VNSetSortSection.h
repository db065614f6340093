#pragma once

#include <memory>
#include <string>

#include "shell/VNSection.h"

namespace qx {

class Settings;

// "Sort by" of the history filter screens: time, alarm or name, one of them ticked. The host
// reads the chosen order on apply.
class VNSetSortSection : public VNSection {
public:
    static constexpr unsigned kByTime = 0, kByAlarms = 1, kByName = 2;

    std::string title() const override;
    // Makes the three rows anew from the current order.
    void initRows() override;
    void updateCellsTitles() override;

    // Copies the stored order in; run initRows afterwards to show it.
    void readSettings(const Settings& settings);
    // Writes it back (without saving).
    void applyToSettings(Settings& settings) const;

    unsigned sortMode() const { return sortMode_; }
    void setSortMode(unsigned mode) { sortMode_ = mode; }
    // The choice block every row runs when selected.
    const VNTableViewCell::SelectBlock& onSelectCellBlock() const { return onSelectCellBlock_; }
    void setOnSelectCellBlock(VNTableViewCell::SelectBlock block) { onSelectCellBlock_ = std::move(block); }

    std::shared_ptr<VNTableViewCell> timeCell();
    std::shared_ptr<VNTableViewCell> alarmsCell();
    std::shared_ptr<VNTableViewCell> nameCell();

private:
    std::shared_ptr<VNTableViewCell>& cellOf(unsigned mode);
    std::shared_ptr<VNTableViewCell> makeCell(unsigned mode);
    void choose(VNTableViewCell& cell);

    unsigned sortMode_ = kByTime;
    VNTableViewCell::SelectBlock onSelectCellBlock_;
    std::shared_ptr<VNTableViewCell> timeCell_, alarmsCell_, nameCell_;
};

}  // namespace qx
