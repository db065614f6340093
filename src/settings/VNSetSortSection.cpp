#include "settings/VNSetSortSection.h"

#include "model/Language.h"
#include "model/Settings.h"
#include "settings/SectionBlocks.h"

namespace qx {

namespace {

constexpr const char* kRowKeys[] = {"Time", "Alarm", "Name"};
constexpr plat::Rect kRowFrame{0, 0, 320, 44};

}  // namespace

std::string VNSetSortSection::title() const { return Language::get("    Sort by"); }

void VNSetSortSection::readSettings(const Settings& settings) { sortMode_ = settings.historySortMode(); }

void VNSetSortSection::applyToSettings(Settings& settings) const { settings.setHistorySortMode(sortMode_); }

void VNSetSortSection::initRows() {
    timeCell_.reset();
    alarmsCell_.reset();
    nameCell_.reset();
    onSelectCellBlock_ = whileSectionLives(*this, [](VNSetSortSection& self, VNTableViewCell& cell) { self.choose(cell); });
    setRows({timeCell(), alarmsCell(), nameCell()});
    updateCellsTitles();
}

void VNSetSortSection::updateCellsTitles() {
    for (unsigned mode = kByTime; mode <= kByName; ++mode) {
        if (auto& cell = cellOf(mode)) cell->textLabel().setText(Language::get(kRowKeys[mode]));
    }
}

std::shared_ptr<VNTableViewCell>& VNSetSortSection::cellOf(unsigned mode) {
    return mode == kByTime ? timeCell_ : mode == kByAlarms ? alarmsCell_ : nameCell_;
}

std::shared_ptr<VNTableViewCell> VNSetSortSection::makeCell(unsigned mode) {
    // Made in code, not from its interface file: the rows keep the table's default look.
    auto cell = std::make_shared<VNTableViewCell>(plat::CellStyle::Default);
    cell->setFrame(kRowFrame);
    cell->setOnSelectCellBlock(onSelectCellBlock_);
    cell->textLabel().setText(Language::get(kRowKeys[mode]));
    cell->setAccessoryType(sortMode_ == mode ? plat::AccessoryType::Checkmark : plat::AccessoryType::None);
    return cell;
}

std::shared_ptr<VNTableViewCell> VNSetSortSection::timeCell() {
    if (!timeCell_) timeCell_ = makeCell(kByTime);
    return timeCell_;
}

std::shared_ptr<VNTableViewCell> VNSetSortSection::alarmsCell() {
    if (!alarmsCell_) alarmsCell_ = makeCell(kByAlarms);
    return alarmsCell_;
}

std::shared_ptr<VNTableViewCell> VNSetSortSection::nameCell() {
    if (!nameCell_) nameCell_ = makeCell(kByName);
    return nameCell_;
}

void VNSetSortSection::choose(VNTableViewCell& cell) {
    for (unsigned mode = kByTime; mode <= kByName; ++mode) {
        if (cellOf(mode).get() == &cell) sortMode_ = mode;
    }
    checkCell(&cell);
}

}  // namespace qx
