#pragma once

#include <memory>

#include "shell/VNActionTableViewCell.h"

namespace qx {

// The Login/Logout action row of a web service. Its label is greyed out while the service has
// no server address to log in to.
class VNLoginTableViewCell : public VNActionTableViewCell {
public:
    static constexpr const char* kNibName = "VNLoginTableViewCell";
    static constexpr plat::Color kDisabledColor = plat::Color::rgba(0.6, 0.6, 0.6);

    VNLoginTableViewCell() { setReuseIdentifier(kNibName); }
    static std::shared_ptr<VNLoginTableViewCell> loadFromNib();

    bool isLabelEnabled() const { return labelEnabled_; }
    void setLabelEnabled(bool enabled);

private:
    bool labelEnabled_ = true;
};

}  // namespace qx
