#pragma once

#include "shell/VNTableViewCell.h"

namespace qx {

// A row that starts an action; its text is in the action colour.
class VNActionTableViewCell : public VNTableViewCell {
public:
    static constexpr const char* kNibName = "VNActionTableViewCell";
    static constexpr plat::Color kActionColor = plat::Color::rgba(0, 122.0 / 255.0, 1);

    VNActionTableViewCell() : VNTableViewCell(plat::CellStyle::Default, kNibName) {}
    static std::shared_ptr<VNActionTableViewCell> loadFromNib() { return loadNib<VNActionTableViewCell>(); }

    void awakeFromNib() override;
};

}  // namespace qx
