#pragma once

#include <memory>
#include <string>

#include "history/HistoryTableCell.h"

namespace qx {

class Set;

// The row of one stored day in the history list: name or date, counts of tracks, waypoints and
// measurements, lowest and highest dose rate, dose, and a badge with the alarm count. It has no
// "Edit" button.
class SetTableCell : public HistoryTableCell {
public:
    static constexpr const char* kReuseIdentifier = "HistoryCell";

    SetTableCell(Token, plat::CellStyle style, std::string reuseIdentifier);
    // A built row (the controls' actions need the row owned by a shared pointer).
    static std::shared_ptr<SetTableCell> make(plat::CellStyle style = plat::CellStyle::Default,
                                              std::string reuseIdentifier = kReuseIdentifier);

    // Sets the captions again in the current language.
    void updateUI();
    // Fills the row from the day; the view becomes the name field's input accessory.
    void configureWithSet(Set& set, std::shared_ptr<plat::View> accessoryView);

    const std::shared_ptr<plat::Label>& tracksLabel() const { return tracksLabel_; }
    const std::shared_ptr<plat::Label>& tracksValueLabel() const { return tracksValueLabel_; }
    const std::shared_ptr<plat::Label>& waipointsLabel() const { return waipointsLabel_; }
    const std::shared_ptr<plat::Label>& waipointsValueLabel() const { return waipointsValueLabel_; }
    const std::shared_ptr<plat::Label>& measurementsLabel() const { return measurementsLabel_; }
    const std::shared_ptr<plat::Label>& measurementsValueLabel() const { return measurementsValueLabel_; }
    const std::shared_ptr<plat::Label>& minLabel() const { return minLabel_; }
    const std::shared_ptr<plat::Label>& minValueLabel() const { return minValueLabel_; }
    const std::shared_ptr<plat::Label>& maxLabel() const { return maxLabel_; }
    const std::shared_ptr<plat::Label>& maxValueLabel() const { return maxValueLabel_; }
    const std::shared_ptr<plat::Label>& doseLabel() const { return doseLabel_; }
    const std::shared_ptr<plat::Label>& doseValueLabel() const { return doseValueLabel_; }
    const std::shared_ptr<plat::Button>& maxDoseButton() const { return maxDoseButton_; }

protected:
    void initUI() override;

private:

    std::shared_ptr<plat::Label> tracksLabel_, tracksValueLabel_, waipointsLabel_, waipointsValueLabel_;
    std::shared_ptr<plat::Label> measurementsLabel_, measurementsValueLabel_, minLabel_, minValueLabel_;
    std::shared_ptr<plat::Label> maxLabel_, maxValueLabel_, doseLabel_, doseValueLabel_;
    std::shared_ptr<plat::Button> maxDoseButton_;
};

}  // namespace qx
