#include "shell/VNActionTableViewCell.h"

namespace qx {

void VNActionTableViewCell::awakeFromNib() {
    VNTableViewCell::awakeFromNib();
    textLabel().setTextColor(kActionColor);
}

}  // namespace qx
