#include "settings/VNDeviceTypesSection.h"

#include "model/Settings.h"
#include "settings/SectionBlocks.h"

namespace qx {

void VNDeviceTypesSection::initRows() {
    auto block = whileSectionLives(*this, [](VNDeviceTypesSection& self, VNTableViewCell& cell) { self.choose(cell); });
    std::vector<VNTableViewCellPtr> rows;
    for (unsigned code = 0; code < kTypeCount; ++code) {
        auto cell = VNTableViewCell::loadFromNib();
        cell->detailTextLabel().setText("");
        cell->setAccessoryType(code == deviceType_ ? plat::AccessoryType::Checkmark : plat::AccessoryType::None);
        cell->setOnSelectCellBlock(block);
        rows.push_back(std::move(cell));
    }
    setRows(std::move(rows));
    updateCellsTitles();
}

void VNDeviceTypesSection::updateCellsTitles() {
    for (unsigned code = 0; code < numRows(); ++code) {
        rows()[code]->textLabel().setText(Settings::stringFromDeviceType(code));
    }
}

void VNDeviceTypesSection::choose(VNTableViewCell& cell) {
    unsigned code = 0;
    while (code < numRows() && rows()[code].get() != &cell) ++code;
    if (code >= numRows()) return;
    // Unticking a model goes back to every device type, so the list always shows what the
    // filter keeps.
    if (cell.accessoryType() == plat::AccessoryType::Checkmark) code = 0;
    deviceType_ = code;
    checkCell(rows()[code].get());
}

}  // namespace qx
