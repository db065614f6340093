#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/ui/DatePicker.h"
#include "settings/SecondaryScreens.h"
#include "settings/SectionBlocks.h"
#include "shell/VNCheckButtonTableViewCell.h"

namespace qx {

// A check-box row of one of a filter section's date bounds. The box stores into `on`; selecting
// the row opens a date picker whose every turn is stored in `date` and shown in the row at once.
// Ticking leaves the date alone and picking a date leaves the box alone.
template <class Section>
std::shared_ptr<VNCheckButtonValueTableViewCell> makeDateRow(Section& section, plat::Date Section::*date,
                                                             bool Section::*on, plat::DatePickerMode mode,
                                                             std::string (*format)(plat::Date)) {
    auto cell = VNCheckButtonValueTableViewCell::loadFromNib();
    cell->value().setText(format(section.*date));
    cell->checkButton().setChecked(section.*on);
    cell->checkButton().setOnCheck(whileSectionLives(section, [on](Section& self, bool checked) { self.*on = checked; }));
    std::weak_ptr<VNCheckButtonValueTableViewCell> weakRow = cell;
    cell->setOnSelectCellBlock(whileSectionLives(section, [date, mode, format, weakRow](Section& self, VNTableViewCell&) {
        auto row = weakRow.lock();
        if (!row) return;
        // The picker is titled with the row's caption.
        SecondaryScreens::presentDatePicker(mode, self.*date, row->title().text(),
                                            whileSectionLives(self, [date, format, weakRow](Section& s, plat::Date d) {
                                                s.*date = d;
                                                if (auto shown = weakRow.lock()) shown->value().setText(format(d));
                                            }));
    }));
    return cell;
}

}  // namespace qx
