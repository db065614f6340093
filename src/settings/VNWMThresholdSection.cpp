#include "settings/VNWMThresholdSection.h"

#include "dashboard/ThresholdController.h"
#include "model/DoseUnit.h"
#include "model/Settings.h"
#include "settings/SecondaryScreens.h"
#include "settings/SectionBlocks.h"

namespace qx {

namespace {

// The row's type: the world-map filter's "Indication threshold".
constexpr std::uint64_t kIndicationType = 3;

}  // namespace

void VNWMThresholdSection::readSettings(const Settings& settings) {
    thresholdValue_ = settings.WMthresholdValue();
    thresholdScaleRange_ = settings.WMthresholdScaleRange();
}

void VNWMThresholdSection::applyToSettings(Settings& settings) const {
    settings.setWMthresholdValue(thresholdValue_);
    settings.setWMthresholdScaleRange(static_cast<int>(thresholdScaleRange_));
}

void VNWMThresholdSection::initRows() {
    thresholdCell_.reset();
    setRows({thresholdCell()});
    updateCellsTitles();
}

void VNWMThresholdSection::updateCellsTitles() {
    if (!thresholdCell_) return;
    thresholdCell_->setType(kIndicationType);
    updateThreshold();
}

std::shared_ptr<VNThresholdTableViewCell> VNWMThresholdSection::thresholdCell() {
    if (!thresholdCell_) {
        thresholdCell_ = VNThresholdTableViewCell::loadFromNib();
        thresholdCell_->setType(kIndicationType);
        thresholdCell_->setOnSelectCellBlock(selectionRunning(&VNWMThresholdSection::showThresholdController));
        updateThreshold();
    }
    return thresholdCell_;
}

void VNWMThresholdSection::updateThreshold() {
    thresholdCell()->setValue(DoseUnit(thresholdValue_).stringWithUnit(DoseUnit::doseRateKind));
}

void VNWMThresholdSection::showThresholdController() {
    auto editor = std::make_shared<ThresholdController>();
    editor->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    editor->setSingleHandleMode(true);
    editor->setScaleRange(static_cast<int>(thresholdScaleRange_));
    editor->setScaleMinValue(0);
    editor->setScaleMaxValue(100000000);
    editor->setMode(DoseUnit::doseRateKind);
    editor->setFirstThreshValue(thresholdValue_);
    editor->setSecondThreshValue(thresholdValue_);
    editor->setOnApply(whileSectionLives(*this, [](VNWMThresholdSection& self, ThresholdController& applied) {
        auto keep = applied.sharedAs<ThresholdController>();  // closing releases the editor
        // With one handle the editor moves only its first value; the second stays where it was
        // opened, so taking it would drop what the person chose.
        self.thresholdValue_ = applied.firstThreshValue();
        self.thresholdScaleRange_ = applied.scaleRange();
        self.updateThreshold();
        SecondaryScreens::dismissVisible();
    }));
    SecondaryScreens::present(editor);
}

}  // namespace qx
