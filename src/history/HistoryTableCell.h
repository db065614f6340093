#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/RowLine.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "shell/CheckButton.h"

namespace qx {

class DoseUnit;
class HistoryTableCell;

// The owner of history rows. It also hears the name field's editing callbacks while a row is in
// manage mode. Both row operations are optional: a delegate says which ones it implements, and
// a row calls only those.
class HistoryTableCellDelegate : public plat::TextFieldDelegate {
public:
    virtual bool implementsCellDidBeginEdit() const { return false; }
    // The user started editing the row's name.
    virtual void cellDidBeginEdit(HistoryTableCell& cell) { (void)cell; }
    virtual bool implementsCellDidChecked() const { return false; }
    // The user changed the row's check box; `checked` is the new state.
    virtual void cellDidChecked(HistoryTableCell& cell, bool checked) {
        (void)cell;
        (void)checked;
    }
};

// The common base of the history rows: a check box marking the row for sharing, a name field
// editable in manage mode, an "Edit" button that starts that editing, and the owner as delegate.
// Subclasses create the controls they have; an operation on a control a row lacks does nothing.
// The row keeps no look of its own: the owner picks normal or manage look and the check mark on
// every configuration, so a reused row never carries another record's state.
class HistoryTableCell : public plat::TableViewCell {
protected:
    // Rows are made by their make() only: a row builds its controls once a shared pointer owns
    // it, and a row made any other way would have none.
    struct Token {
        explicit Token() = default;
    };

public:
    HistoryTableCell(Token, plat::CellStyle style, std::string reuseIdentifier);

    const std::shared_ptr<CheckButton>& checkButton() const { return checkButton_; }
    const std::shared_ptr<plat::TextField>& nameTextField() const { return nameTextField_; }
    const std::shared_ptr<plat::Button>& accessoryButton() const { return accessoryButton_; }
    std::shared_ptr<HistoryTableCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<HistoryTableCellDelegate> delegate) { delegate_ = std::move(delegate); }

    // The check box's action: toggles the sender and tells the delegate the new state.
    virtual void check(CheckButton& sender);
    // Sets the mark from the owner's selection; the delegate hears nothing.
    void setChecked(bool checked);
    std::string name() const;
    // The "Edit" button's action: opens the keyboard on the name and tells the delegate.
    void buttonTapped();
    // Resigns the row, then its name field; the name field's answer.
    bool resignFirstResponder() override;
    // Manage look: "Edit" shown, check box hidden, name editable with the owner as its delegate.
    virtual void manageMode();
    // Normal look: "Edit" hidden, name read-only without a delegate, check box shown.
    virtual void normalMode();
    // While the table edits, its delete control takes the check box's place at the row's start.
    void setEditing(bool editing, bool animated = false) override;

    void layoutSubviews() override;

protected:
    // A built row: constructed, its controls made (initUI), no delegate yet.
    template <class Row>
    static std::shared_ptr<Row> makeRow(plat::CellStyle style, std::string reuseIdentifier) {
        auto row = std::make_shared<Row>(Token{}, style, std::move(reuseIdentifier));
        static_cast<HistoryTableCell&>(*row).initUI();
        row->setDelegate({});
        return row;
    }
    // Builds the row's controls.
    virtual void initUI() = 0;

    // Creates the controls. Actions hold the row weakly, so the row must be owned by a
    // shared pointer by then (the subclasses' make() run it after construction).
    void installCheckButton(const plat::Rect& frame);
    void installNameField(const plat::Rect& frame, double fontSize);
    void installEditButton();
    // A caption or value label in the rows' look: clear, black, white shadow below right.
    std::shared_ptr<plat::Label> addLabel(const plat::Rect& frame, bool bold, double fontSize, std::string text = {});
    // The alarm badge: a number on the red picture, not touchable.
    std::shared_ptr<plat::Button> addAlarmBadge(const plat::Rect& frame, const char* fontName);
    // A line of captions and figures, fitted between its first place and `right` (where
    // the line must end, asked at each layout) whenever the row is laid out.
    void addLine(std::vector<RowLine::Column> columns, std::function<double()> right);
    // A column of captions (kept apart from what is before them) and one of figures.
    static RowLine::Column captionColumn(std::vector<std::shared_ptr<plat::Label>> labels);
    static RowLine::Column valueColumn(std::shared_ptr<plat::Label> label);
    // A caption with its figure under it: the caption may be cut, the figure never.
    static RowLine::Column figureUnderCaption(std::shared_ptr<plat::Label> caption, std::shared_ptr<plat::Label> figure);
    // Where a line beside the alarm badge ends: before the badge while it shows, else at `otherwise`.
    double endBefore(const plat::View& badge, double otherwise) const;
    // The common look of a row: no selection highlight, clear background.
    void applyRowLook(plat::AccessoryType accessory);

    // Value texts of stored readings: a positive figure with its unit, else "n/a". A value that
    // is not finite (the lowest dose rate of nothing) is "n/a" and coloured as no dose rate.
    static void showDoseRate(plat::Label& label, DoseUnit& unit, double value);
    static void showDose(plat::Label& label, DoseUnit& unit, double value);
    static void showNotAvailable(plat::Label& label);
    static void colorValue(plat::Label& label, const plat::Color& color);

private:
    std::shared_ptr<CheckButton> checkButton_;
    std::shared_ptr<plat::TextField> nameTextField_;
    std::shared_ptr<plat::Button> accessoryButton_;
    std::weak_ptr<HistoryTableCellDelegate> delegate_;
    void placeEditButton();
    std::vector<std::pair<RowLine, std::function<double()>>> lines_;
};

}  // namespace qx
