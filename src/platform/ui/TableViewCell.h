#pragma once

#include <memory>
#include <string>

#include "platform/ui/ImageView.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace plat {

class TableView;

enum class CellStyle { Default, Value1, Value2, Subtitle };
enum class AccessoryType { None, DisclosureIndicator, DetailDisclosureButton, Checkmark, DetailButton };
enum class SelectionStyle { None, Blue, Gray, Default };
enum class EditingStyle { None, Delete, Insert };

// One row of a table: a content view with a text label, a detail label (styles other than
// Default show it), an image, an accessory mark or view, selection and editing state.
class TableViewCell : public View {
public:
    static constexpr double kDefaultHeight = 44;

    explicit TableViewCell(CellStyle style = CellStyle::Default, std::string reuseIdentifier = {});

    CellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string id) { reuseIdentifier_ = std::move(id); }

    View& contentView() { return *contentView_; }
    const std::shared_ptr<View>& contentViewPtr() const { return contentView_; }
    Label& textLabel() { return *textLabel_; }
    const Label& textLabel() const { return *textLabel_; }
    const std::shared_ptr<Label>& textLabelPtr() const { return textLabel_; }
    // Always present; shown only by the styles that have a detail text.
    Label& detailTextLabel() { return *detailTextLabel_; }
    const Label& detailTextLabel() const { return *detailTextLabel_; }
    const std::shared_ptr<Label>& detailTextLabelPtr() const { return detailTextLabel_; }
    bool hasDetailTextLabel() const { return style_ != CellStyle::Default; }
    ImageView& imageView() { return *imageView_; }
    const ImageView& imageView() const { return *imageView_; }

    AccessoryType accessoryType() const { return accessory_; }
    void setAccessoryType(AccessoryType t) { accessory_ = t; }
    // A view shown instead of the accessory mark.
    const std::shared_ptr<View>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<View> v);
    AccessoryType editingAccessoryType() const { return editingAccessory_; }
    void setEditingAccessoryType(AccessoryType t) { editingAccessory_ = t; }
    SelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(SelectionStyle s) { selectionStyle_ = s; }
    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> v);
    const std::shared_ptr<View>& selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(std::shared_ptr<View> v) { selectedBackgroundView_ = std::move(v); }

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated = false);
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated = false);
    // Whether the contents move aside while the table edits; rows that bring their own manage
    // controls keep their place and their whole width.
    bool shouldIndentWhileEditing() const { return indentWhileEditing_; }
    void setShouldIndentWhileEditing(bool indent) {
        indentWhileEditing_ = indent;
        setNeedsLayout();
    }
    // The Delete button of a swipe is showing.
    bool isShowingDeleteConfirmation() const { return confirmingDelete_; }
    // The red delete control an editing table shows before each row it may delete.
    bool isShowingDeleteControl() const { return deleteControl_ != nullptr; }
    static constexpr double kEditingControlWidth = 38;
    // Animation flag of the last selection or editing change.
    bool lastChangeAnimated() const { return lastAnimated_; }

    // Called when the cell comes out of the reuse pool: clears selection and editing marks.
    virtual void prepareForReuse();

    // The table showing the cell and its row there (set by the table).
    TableView* tableView() const { return table_; }
    const IndexPath& indexPath() const { return indexPath_; }

    void layoutSubviews() override;
    // The texts of a row change without telling it (a section sets a value, a language
    // switch retitles it), and the room each takes depends on them: the row places them again
    // before it is drawn or inspected.
    void updateForInspection() override { layoutSubviews(); }
    void drawRect(DrawingContext& context, const Rect& rect) override;

    // How a row shares its width between its title and a value beside it: the title takes the
    // room it needs, the value the rest (drawn smaller, down to kValueShrink, or cut if it
    // must be); only when both are long does the title give up room, down to a little over half.
    static constexpr double kTitleValueGap = 8, kValueShrink = 0.8;
    static double titleWidthBeside(const Label& title, double valueWidth, double width);

    // A tap selects the row through the table.
    bool performTap() override;
    std::string kindName() const override { return "Row"; }
    std::string displayText() const override { return textLabel_->text(); }
    std::string describeLine() const override;
    void describeContent(DescriptionWriter& out) const override;

private:
    friend class TableView;
    void placeInTable(TableView* table, IndexPath ip) {
        table_ = table;
        indexPath_ = ip;
    }
    // Lays out the title and the value of the two-text styles side by side in the width.
    void placeTitleAndValue(double x, double width, double height);
    // Shows or hides the Delete button of a swipe (its title from the table's delegate).
    void setConfirmingDelete(bool on, const std::string& title = {});
    // Shows the delete control while the table edits and may delete the row, else removes it.
    void placeDeleteControl();

    CellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<Label> textLabel_, detailTextLabel_;
    std::shared_ptr<ImageView> imageView_;
    AccessoryType accessory_ = AccessoryType::None;
    AccessoryType editingAccessory_ = AccessoryType::None;
    std::shared_ptr<View> accessoryView_, backgroundView_, selectedBackgroundView_;
    SelectionStyle selectionStyle_ = SelectionStyle::Blue;
    bool selected_ = false, highlighted_ = false, editing_ = false, confirmingDelete_ = false;
    bool indentWhileEditing_ = true;
    bool lastAnimated_ = false;
    std::shared_ptr<View> deleteButton_, deleteControl_;
    TableView* table_ = nullptr;
    IndexPath indexPath_;
};

using TableViewCellPtr = std::shared_ptr<TableViewCell>;

}  // namespace plat
