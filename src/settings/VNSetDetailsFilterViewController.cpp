#include "settings/VNSetDetailsFilterViewController.h"

namespace qx {

std::shared_ptr<VNSetFilterSection> VNSetDetailsFilterViewController::makeFilterSection() {
    return VNSection::create<VNSetDetailsFilterSection>();
}

}  // namespace qx
