#include "settings/VNWMFilterViewController.h"

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/TableView.h"
#include "settings/VNWMFilterSection.h"
#include "settings/VNWMThresholdSection.h"

namespace qx {

void VNWMFilterViewController::initTitles() {
    VNFilterViewController::initTitles();
    setTitle(Language::get("Filter"));
}

void VNWMFilterViewController::resetAction() {
    const auto& settings = Settings::sharedSettings();
    filterSection_ = VNSection::create<VNWMFilterSection>();
    filterSection_->readSettings(settings);
    filterSection_->initRows();
    thresholdSection_ = VNSection::create<VNWMThresholdSection>();
    thresholdSection_->readSettings(settings);
    thresholdSection_->initRows();
    setSections({filterSection_, thresholdSection_});
    tableView()->reloadData();
}

void VNWMFilterViewController::applyAction() {
    if (!filterSection_) return;
    auto& settings = Settings::sharedSettings();
    filterSection_->applyToSettings(settings);
    if (thresholdSection_) thresholdSection_->applyToSettings(settings);
    settings.save();
    if (onBackBlock()) onBackBlock()();
}

}  // namespace qx
