#pragma once

#include "shell/VNTableViewTextFieldCell.h"

namespace qx {

// The text-field row of a server address: a wide field for a URL.
class VNTableViewServerAddressCell : public VNTableViewTextFieldCell {
public:
    static constexpr const char* kNibName = "VNTableViewServerAddressCell";

    VNTableViewServerAddressCell() : VNTableViewTextFieldCell(kNibName) {}
    static std::shared_ptr<VNTableViewServerAddressCell> loadFromNib() { return loadNib<VNTableViewServerAddressCell>(); }

    void buildContent() override;
};

}  // namespace qx
