#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shell/VNCheckButtonTableViewCell.h"
#include "shell/VNSection.h"

namespace qx {

// "Autosave waypoints" of the Track Settings screen: when a recording track stores a waypoint
// by itself (every distance step, every time step, on exceeding either threshold). Each row
// writes its preference at once; the Track tab saves them when its settings screen closes.
class VNTrackAutoSaveSettingSection : public VNSection {
public:
    std::string title() const override;
    void initRows() override;
    void updateCellsTitles() override;

    std::shared_ptr<VNCheckButtonValueUnitTableViewCell> distanceCell();
    std::shared_ptr<VNCheckButtonValueUnitTableViewCell> timeCell();
    std::shared_ptr<VNCheckButtonTableViewCell> exeedFirstCell();
    std::shared_ptr<VNCheckButtonTableViewCell> exeedSecondCell();
    // Replace a row's cell (none: made anew on next use).
    void setDistanceCell(std::shared_ptr<VNCheckButtonValueUnitTableViewCell> c) { distanceCell_ = std::move(c); }
    void setTimeCell(std::shared_ptr<VNCheckButtonValueUnitTableViewCell> c) { timeCell_ = std::move(c); }
    void setExeedFirstCell(std::shared_ptr<VNCheckButtonTableViewCell> c) { exeedFirstCell_ = std::move(c); }
    void setExeedSecondCell(std::shared_ptr<VNCheckButtonTableViewCell> c) { exeedSecondCell_ = std::move(c); }

    // The distance step with its unit (metres or yards), and whether it applies.
    void updateDistanceCell();
    // The time step as hh:mm:ss minutes, and whether it applies.
    void updateTimeCell();

    // hh:mm:ss of a step in minutes.
    static std::string timeText(double minutes);

private:
    template <class Cell>
    std::shared_ptr<Cell> makeCell(const char* titleKey, bool on, void (*store)(bool));
    // A step row: selecting it opens the picker, whose every value is stored and shown.
    std::shared_ptr<VNCheckButtonValueUnitTableViewCell> makeStepCell(const char* titleKey, bool on,
                                                                      void (*storeOn)(bool), std::uint64_t pickerMode,
                                                                      void (*storeStep)(double),
                                                                      void (VNTrackAutoSaveSettingSection::*update)());
    // Whether the step row that `update` refreshes stayed unticked after a tick (its step is 0).
    bool rowRefusedTick(void (VNTrackAutoSaveSettingSection::*update)());

    std::shared_ptr<VNCheckButtonValueUnitTableViewCell> distanceCell_, timeCell_;
    std::shared_ptr<VNCheckButtonTableViewCell> exeedFirstCell_, exeedSecondCell_;
};

}  // namespace qx
