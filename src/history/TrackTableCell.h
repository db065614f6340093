#pragma once

#include <memory>
#include <string>

#include "history/HistoryTableCell.h"

namespace qx {

class Track;

// The row of one stored track: name or start date, start and finish, lowest and highest dose
// rate, dose, duration and a badge with the number of alarm points. Its captions are read each
// time the row is filled, so a table reloaded after a language switch shows the new language.
class TrackTableCell : public HistoryTableCell {
public:
    static constexpr const char* kReuseIdentifier = "TrackCell";

    TrackTableCell(Token, plat::CellStyle style, std::string reuseIdentifier);
    static std::shared_ptr<TrackTableCell> make(plat::CellStyle style = plat::CellStyle::Default,
                                                std::string reuseIdentifier = kReuseIdentifier);

    // Fills the row from the track; the view becomes the name field's input accessory.
    void configureWithTrack(Track& track, std::shared_ptr<plat::View> accessoryView);
    // Reads the captions in the language in force.
    void updateUI();
    // The base's manage look, and the badge hidden until the next configuration.
    void manageMode() override;

    const std::shared_ptr<plat::Label>& startLabel() const { return startLabel_; }
    const std::shared_ptr<plat::Label>& startValueLabel() const { return startValueLabel_; }
    const std::shared_ptr<plat::Label>& finishLabel() const { return finishLabel_; }
    const std::shared_ptr<plat::Label>& finishValueLabel() const { return finishValueLabel_; }
    const std::shared_ptr<plat::Label>& minLabel() const { return minLabel_; }
    const std::shared_ptr<plat::Label>& minValueLabel() const { return minValueLabel_; }
    const std::shared_ptr<plat::Label>& maxLabel() const { return maxLabel_; }
    const std::shared_ptr<plat::Label>& maxValueLabel() const { return maxValueLabel_; }
    const std::shared_ptr<plat::Label>& doseLabel() const { return doseLabel_; }
    const std::shared_ptr<plat::Label>& doseValueLabel() const { return doseValueLabel_; }
    const std::shared_ptr<plat::Label>& accLabel() const { return accLabel_; }
    const std::shared_ptr<plat::Label>& accValueLabel() const { return accValueLabel_; }
    const std::shared_ptr<plat::Button>& maxDoseButton() const { return maxDoseButton_; }

protected:
    void initUI() override;

private:

    std::shared_ptr<plat::Label> startLabel_, startValueLabel_, finishLabel_, finishValueLabel_;
    std::shared_ptr<plat::Label> minLabel_, minValueLabel_, maxLabel_, maxValueLabel_;
    std::shared_ptr<plat::Label> doseLabel_, doseValueLabel_, accLabel_, accValueLabel_;
    std::shared_ptr<plat::Button> maxDoseButton_;
};

}  // namespace qx
