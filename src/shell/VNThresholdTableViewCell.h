#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/ImageView.h"
#include "shell/VNTableViewCell.h"

namespace qx {

// One alarm threshold: icon, name and value. Type 0 is the first of two thresholds, 1 the
// second, 2 the only one of single-threshold mode, 3 the world-map filter's; any other type
// shows as type 1.
class VNThresholdTableViewCell : public VNTableViewCell {
public:
    static constexpr const char* kNibName = "VNThresholdTableViewCell";

    VNThresholdTableViewCell() : VNTableViewCell(plat::CellStyle::Default, kNibName) {}
    static std::shared_ptr<VNThresholdTableViewCell> loadFromNib() { return loadNib<VNThresholdTableViewCell>(); }

    std::uint64_t type() const { return type_; }
    // Sets icon, localised name and the value's colour of the type.
    void setType(std::uint64_t type);
    const std::string& value() const { return value_; }
    // Shows the text ("0.30 µSv/h") and redraws.
    void setValue(std::string value);

    plat::Label& thresholdTitle() { return *thresholdTitle_; }
    plat::Label& thresholdValue() { return *thresholdValue_; }
    plat::ImageView& thresholdIcon() { return *thresholdIcon_; }

    void buildContent();
    void awakeFromNib() override;
    void layoutSubviews() override;

private:
    std::uint64_t type_ = 0;
    std::string value_;
    std::shared_ptr<plat::Label> thresholdTitle_, thresholdValue_;
    std::shared_ptr<plat::ImageView> thresholdIcon_;
};

}  // namespace qx
