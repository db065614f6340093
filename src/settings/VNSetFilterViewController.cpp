#include "settings/VNSetFilterViewController.h"

#include "model/Settings.h"

namespace qx {

std::shared_ptr<VNSetFilterSection> VNSetFilterViewController::makeFilterSection() {
    return VNSection::create<VNSetFilterSection>();
}

void VNSetFilterViewController::resetAction() {
    const Settings& settings = Settings::sharedSettings();
    filterSection_ = makeFilterSection();
    filterSection_->readSettings(settings);
    filterSection_->initRows();
    sortSection_ = VNSection::create<VNSetSortSection>();
    sortSection_->readSettings(settings);
    sortSection_->initRows();
    setSections({filterSection_, sortSection_});
    tableView()->reloadData();
}

void VNSetFilterViewController::applyAction() {
    if (!filterSection_) return;
    Settings& settings = Settings::sharedSettings();
    filterSection_->applyToSettings(settings);
    if (sortSection_) sortSection_->applyToSettings(settings);
    settings.save();
    onBack();
}

}  // namespace qx
