#include "settings/ChoiceListSection.h"

#include "model/Language.h"

namespace qx {

VNTableViewCellPtr ChoiceListSection::choiceCell(std::size_t index) {
    const auto count = choiceKeys().size();
    if (index >= count) return nullptr;
    if (cells_.size() < count) cells_.resize(count);
    auto& cell = cells_[index];
    if (!cell) {
        cell = VNTableViewCell::loadFromNib();
        cell->detailTextLabel().setText("");
        std::weak_ptr<VNSection> weak = weak_from_this();
        cell->setOnSelectCellBlock([weak](VNTableViewCell& selected) {
            if (auto self = std::static_pointer_cast<ChoiceListSection>(weak.lock())) self->select(selected);
        });
    }
    return cell;
}

void ChoiceListSection::initRows() {
    const auto count = choiceKeys().size();
    const auto current = currentIndex();
    std::vector<VNTableViewCellPtr> rows;
    for (std::size_t i = 0; i < count; ++i) {
        auto cell = choiceCell(i);
        cell->setAccessoryType(current == i ? plat::AccessoryType::Checkmark : plat::AccessoryType::None);
        rows.push_back(cell);
    }
    setRows(std::move(rows));
    updateCellsTitles();
}

void ChoiceListSection::updateCellsTitles() {
    const auto keys = choiceKeys();
    for (std::size_t i = 0; i < keys.size() && i < numRows(); ++i) {
        cellForRowAtIndex(i)->textLabel().setText(Language::get(keys[i]));
    }
}

void ChoiceListSection::select(VNTableViewCell& cell) {
    checkCell(&cell);
    const auto& all = rows();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].get() == &cell) {
            choose(i);
            return;
        }
    }
}

}  // namespace qx
