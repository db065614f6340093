#pragma once

#include <functional>
#include <memory>

#include "platform/ui/DatePicker.h"
#include "platform/ui/Label.h"
#include "platform/ui/Toolbar.h"
#include "shell/VNView.h"

namespace qx {

// A count-down duration picker with a Done bar, from its interface file. Closing it hands the
// picked duration to its block.
class VNIntervalPickerView : public VNView {
public:
    using IntervalBlock = std::function<void(plat::TimeInterval seconds)>;
    static constexpr const char* kNibName = "VNIntervalPickerView";
    static constexpr double kHeight = plat::Toolbar::kHeight + 216;

    static std::shared_ptr<VNIntervalPickerView> loadFromNib() { return VNView::loadFromNib<VNIntervalPickerView>(); }

    explicit VNIntervalPickerView(const plat::Rect& frame = {0, 0, 320, kHeight});

    plat::DatePicker& pickerView() { return *picker_; }
    void setCountDownDuration(plat::TimeInterval seconds) { picker_->setCountDownDuration(seconds); }
    void setOnIntervalPickedBlock(IntervalBlock block) { onIntervalPicked_ = std::move(block); }
    const plat::BarButtonItemPtr& doneButton() const { return done_; }
    // The name of what is picked, centred on the bar (the opener passes its row's text).
    void setTitle(std::string title) { title_->setText(std::move(title)); }
    const std::string& title() const { return title_->text(); }

    void layoutSubviews() override;
    std::string displayText() const override { return title_->text(); }

    // The Done button: runs the block with the duration and takes the picker off screen.
    void close();

private:
    std::shared_ptr<plat::DatePicker> picker_;
    std::shared_ptr<plat::Toolbar> bar_;
    std::shared_ptr<plat::Label> title_;
    plat::BarButtonItemPtr done_;
    IntervalBlock onIntervalPicked_;
};

}  // namespace qx
