#pragma once

#include <functional>

#include "platform/ui/Switch.h"
#include "shell/VNTableViewCell.h"

namespace qx {

// A row with a title and an on/off switch.
class VNTableViewSwitchCell : public VNTableViewCell {
public:
    using SwitchBlock = std::function<void(bool on)>;
    static constexpr const char* kNibName = "VNTableViewSwitchCell";

    VNTableViewSwitchCell() : VNTableViewCell(plat::CellStyle::Default, kNibName) {}
    static std::shared_ptr<VNTableViewSwitchCell> loadFromNib() { return loadNib<VNTableViewSwitchCell>(); }

    const SwitchBlock& onSwitchOnOffBlock() const { return onSwitchOnOffBlock_; }
    void setOnSwitchOnOffBlock(SwitchBlock block) { onSwitchOnOffBlock_ = std::move(block); }
    plat::Switch& cellSwitch() { return *cellSwitch_; }
    plat::Label& title() { return *title_; }

    // The switch's value-changed action: runs the block with the switch's state.
    void onSwitchOnOff(plat::Switch& sender);

    void buildContent();
    void awakeFromNib() override;
    void layoutSubviews() override;

protected:
    plat::Label& rowTitle() override { return *title_; }

private:
    SwitchBlock onSwitchOnOffBlock_;
    std::shared_ptr<plat::Switch> cellSwitch_;
    std::shared_ptr<plat::Label> title_;
};

}  // namespace qx
