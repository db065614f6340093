#include "settings/VNLoginTableViewCell.h"

#include "platform/ui/Interface.h"
#include "settings/SettingsInterfaces.h"

namespace qx {

std::shared_ptr<VNLoginTableViewCell> VNLoginTableViewCell::loadFromNib() {
    registerSettingsInterfaces();
    return plat::Interface::loadAs<VNLoginTableViewCell>(kNibName);
}

void VNLoginTableViewCell::setLabelEnabled(bool enabled) {
    labelEnabled_ = enabled;
    textLabel().setTextColor(enabled ? kActionColor : kDisabledColor);
}

}  // namespace qx
