#include "settings/VNPeripheralTableViewCell.h"

#include "platform/ui/Interface.h"
#include "settings/SettingsInterfaces.h"

namespace qx {

std::shared_ptr<VNPeripheralTableViewCell> VNPeripheralTableViewCell::loadFromNib() {
    registerSettingsInterfaces();
    return plat::Interface::loadAs<VNPeripheralTableViewCell>(kNibName);
}

void VNPeripheralTableViewCell::buildContent() {
    // The spinner sits left of the detail text; it shows only while it spins.
    activityIndicator_ = std::make_shared<plat::ActivityIndicator>(plat::Rect{150, 12, 20, 20});
    activityIndicator_->setHidesWhenStopped(true);
    contentView().addSubview(activityIndicator_);
}

}  // namespace qx
