#pragma once

#include <functional>
#include <string>

#include "platform/ui/TextField.h"
#include "platform/ui/Toolbar.h"
#include "shell/VNTableViewCell.h"

namespace qx {

// A row with a title (the cell's text label) and an editable value. The text block hears the
// start of an edit (with "") and its end (with the field's text); a block that stores the
// value stores nothing while isEditing() is true.
class VNTableViewTextFieldCell : public VNTableViewCell {
public:
    using TextBlock = std::function<void(const std::string& text)>;
    static constexpr const char* kNibName = "VNTableViewTextFieldCell";

    explicit VNTableViewTextFieldCell(std::string reuseIdentifier = kNibName)
        : VNTableViewCell(plat::CellStyle::Default, std::move(reuseIdentifier)) {}
    static std::shared_ptr<VNTableViewTextFieldCell> loadFromNib() { return loadNib<VNTableViewTextFieldCell>(); }

    plat::TextField& cellTextField() { return *cellTextField_; }
    const TextBlock& onTextChangedBlock() const { return onTextChangedBlock_; }
    void setOnTextChangedBlock(TextBlock block) { onTextChangedBlock_ = std::move(block); }
    bool isEditing() const { return edit_; }
    void setEdit(bool edit) { edit_ = edit; }
    plat::Toolbar& accessoryToolBar() { return *accessoryToolBar_; }
    const plat::BarButtonItemPtr& accessoryToolBarButton() const { return accessoryToolBarButton_; }

    // The field's editing-began and editing-ended actions.
    void textFieldDidStartEditing(plat::TextField& sender);
    void textFieldDidEndEditing(plat::TextField& sender);

    virtual void buildContent();
    void awakeFromNib() override;
    void layoutSubviews() override;

protected:
    // The field's height and place in the row; the field keeps at least 40% of the width
    // given here, and otherwise shares the row with the title.
    void placeField(const plat::Rect& frame);

private:
    std::shared_ptr<plat::TextField> cellTextField_;
    TextBlock onTextChangedBlock_;
    bool edit_ = false;
    double minimumFieldWidth_ = 70;
    std::shared_ptr<plat::Toolbar> accessoryToolBar_;
    plat::BarButtonItemPtr accessoryToolBarButton_;
};

}  // namespace qx
