#include "settings/VNDetectorsSection.h"

#include <unicode/coll.h>

#include <algorithm>
#include <optional>

#include "model/Language.h"
#include "settings/SectionBlocks.h"
#include "store/FetchRequest.h"
#include "store/Measurement.h"
#include "store/Store.h"

namespace qx {

namespace {

Predicate hasSerial() { return Key("deviceSerial") != Value() && Key("deviceSerial") != Value(""); }

// The smallest stored serial above `after` (the smallest of all without one).
std::optional<std::string> nextSerial(const std::optional<std::string>& after) {
    auto request = FetchRequest::of<Measurement>().where(after ? hasSerial() && Key("deviceSerial") > Value(*after)
                                                               : hasSerial());
    request.sortedBy("deviceSerial");
    auto first = Store::defaultStore().mainContext().fetchFirst<Measurement>(request);
    if (!first) return std::nullopt;
    return first->deviceSerial();
}

void sortForDisplay(std::vector<std::string>& serials) {
    UErrorCode status = U_ZERO_ERROR;
    const auto locale = Language::localeName(Language::currentLanguage());
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale(locale.c_str()), status));
    if (U_FAILURE(status) || !collator) {
        std::sort(serials.begin(), serials.end());
        return;
    }
    // Secondary strength tells accents apart but not case.
    collator->setStrength(icu::Collator::SECONDARY);
    std::stable_sort(serials.begin(), serials.end(), [&](const std::string& a, const std::string& b) {
        UErrorCode compareStatus = U_ZERO_ERROR;
        return collator->compareUTF8(a, b, compareStatus) == UCOL_LESS;
    });
}

}  // namespace

std::vector<std::string> VNDetectorsSection::storedSerials() {
    // One small query per distinct serial instead of loading every reading: a store holds many
    // readings but few instruments.
    std::vector<std::string> serials;
    std::optional<std::string> last;
    while (auto next = nextSerial(last)) {
        if (last && *next <= *last) break;  // the store's order must move on; never loop
        serials.push_back(*next);
        last = std::move(next);
    }
    sortForDisplay(serials);
    return serials;
}

bool VNDetectorsSection::hasStoredSerials() { return nextSerial(std::nullopt).has_value(); }

void VNDetectorsSection::initRows() {
    auto block = whileSectionLives(*this, [](VNDetectorsSection& self, VNTableViewCell& cell) { self.choose(cell); });
    allSerialsCell_ = VNTableViewCell::loadFromNib();
    allSerialsCell_->setAccessoryType(detectors_.empty() ? plat::AccessoryType::Checkmark : plat::AccessoryType::None);
    allSerialsCell_->setOnSelectCellBlock(block);
    std::vector<VNTableViewCellPtr> rows{allSerialsCell_};
    for (const auto& serial : storedSerials()) {
        auto cell = VNTableViewCell::loadFromNib();
        cell->textLabel().setText(serial);
        cell->setAccessoryType(detectors_.count(serial) ? plat::AccessoryType::Checkmark : plat::AccessoryType::None);
        cell->setOnSelectCellBlock(block);
        rows.push_back(std::move(cell));
    }
    setRows(std::move(rows));
    updateCellsTitles();
}

void VNDetectorsSection::updateCellsTitles() {
    if (allSerialsCell_) allSerialsCell_->textLabel().setText(Language::get("All Detectors"));
}

void VNDetectorsSection::choose(VNTableViewCell& cell) {
    const bool all = &cell == allSerialsCell_.get();
    const bool ticked = cell.accessoryType() == plat::AccessoryType::Checkmark;
    cell.setAccessoryType(ticked ? plat::AccessoryType::None : plat::AccessoryType::Checkmark);
    if (all) {
        // Ticking "All Detectors" starts the choice afresh; unticking it leaves the serials as
        // they are, since the mark alone never chose anything.
        if (ticked) {
            // With no serial chosen the choice is every detector: the mark stays.
            if (detectors_.empty()) cell.setAccessoryType(plat::AccessoryType::Checkmark);
            return;
        }
        detectors_.clear();
        for (const auto& row : rows()) {
            if (row != allSerialsCell_) row->setAccessoryType(plat::AccessoryType::None);
        }
        return;
    }
    // A serial is added to or taken from the choice; "All Detectors" then shows whether the
    // choice is all of them (no serial chosen), as the list shows it when opened again.
    const std::string serial = cell.textLabel().text();
    if (ticked) {
        detectors_.erase(serial);
    } else {
        detectors_.insert(serial);
    }
    allSerialsCell_->setAccessoryType(detectors_.empty() ? plat::AccessoryType::Checkmark : plat::AccessoryType::None);
}

}  // namespace qx
