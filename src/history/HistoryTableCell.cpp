#include "history/HistoryTableCell.h"

#include <cmath>

#include "model/DoseUnit.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/Readability.h"
#include "shell/Artwork.h"

namespace qx {

namespace {

constexpr double kEditButtonWidth = 42;
constexpr double kEditButtonHeight = 25;
constexpr double kEditButtonMargin = 10;
// The room between a caption and its figure beside it, and between one column and the next.
constexpr double kCaptionGap = 3;
constexpr double kColumnGap = 7;

}  // namespace

HistoryTableCell::HistoryTableCell(Token, plat::CellStyle style, std::string reuseIdentifier)
    : plat::TableViewCell(style, std::move(reuseIdentifier)) {
    // Manage mode shows the row's own check box and Edit button; the fixed frames of its
    // figures have no room to move aside.
    setShouldIndentWhileEditing(false);
}

void HistoryTableCell::check(CheckButton& sender) {
    sender.setChecked(!sender.checked());
    auto owner = delegate();
    if (owner && owner->implementsCellDidChecked()) owner->cellDidChecked(*this, sender.checked());
}

void HistoryTableCell::setChecked(bool checked) {
    if (checkButton_) checkButton_->setChecked(checked);
}

std::string HistoryTableCell::name() const { return nameTextField_ ? nameTextField_->text() : std::string(); }

void HistoryTableCell::buttonTapped() {
    if (nameTextField_) nameTextField_->becomeFirstResponder();
    auto owner = delegate();
    if (owner && owner->implementsCellDidBeginEdit()) owner->cellDidBeginEdit(*this);
}

bool HistoryTableCell::resignFirstResponder() {
    plat::TableViewCell::resignFirstResponder();
    return nameTextField_ ? nameTextField_->resignFirstResponder() : true;
}

void HistoryTableCell::manageMode() {
    if (accessoryButton_) accessoryButton_->setHidden(false);
    if (checkButton_) checkButton_->setHidden(true);
    if (nameTextField_) {
        nameTextField_->setDelegate(delegate_);
        nameTextField_->setUserInteractionEnabled(true);
        // An editable name shows its field's border, as a phone's editable field does.
        nameTextField_->setBorderStyle(plat::TextBorderStyle::RoundedRect);
    }
}

void HistoryTableCell::normalMode() {
    if (accessoryButton_) accessoryButton_->setHidden(true);
    if (nameTextField_) {
        nameTextField_->setUserInteractionEnabled(false);
        nameTextField_->setDelegate({});
        nameTextField_->setBorderStyle(plat::TextBorderStyle::None);
    }
    if (checkButton_) checkButton_->setHidden(isEditing());
}

void HistoryTableCell::setEditing(bool editing, bool animated) {
    plat::TableViewCell::setEditing(editing, animated);
    // The manage look hides the check box too; it is on while the name can be edited.
    const bool managed = nameTextField_ && nameTextField_->isUserInteractionEnabled();
    if (checkButton_) checkButton_->setHidden(editing || managed);
}

void HistoryTableCell::addLine(std::vector<RowLine::Column> columns, std::function<double()> right) {
    lines_.emplace_back(RowLine(std::move(columns)), std::move(right));
}

RowLine::Column HistoryTableCell::captionColumn(std::vector<std::shared_ptr<plat::Label>> labels) {
    return RowLine::Column{std::move(labels), false, kColumnGap};
}

RowLine::Column HistoryTableCell::valueColumn(std::shared_ptr<plat::Label> label) {
    return RowLine::Column{{std::move(label)}, true, kCaptionGap};
}

RowLine::Column HistoryTableCell::figureUnderCaption(std::shared_ptr<plat::Label> caption,
                                                     std::shared_ptr<plat::Label> figure) {
    return RowLine::Column{{std::move(caption), std::move(figure)}, false, kColumnGap, true};
}

double HistoryTableCell::endBefore(const plat::View& badge, double otherwise) const {
    return badge.isHidden() ? otherwise : std::min(otherwise, badge.frame().minX() - kCaptionGap);
}

void HistoryTableCell::layoutSubviews() {
    plat::TableViewCell::layoutSubviews();
    placeEditButton();
    // In manage mode the "Edit" button stands at the right end: no line runs under it.
    const bool editing = accessoryButton_ && !accessoryButton_->isHidden();
    for (const auto& [line, right] : lines_) {
        line.fit(editing ? std::min(right(), accessoryButton_->frame().minX() - kColumnGap) : right());
    }
}

void HistoryTableCell::placeEditButton() {
    // The "Edit" button sits where an editing row shows its accessory: at the right edge.
    if (accessoryButton_) {
        accessoryButton_->setFrame(plat::Rect{bounds().width() - kEditButtonWidth - kEditButtonMargin,
                                              (bounds().height() - kEditButtonHeight) / 2, kEditButtonWidth,
                                              kEditButtonHeight});
    }
}

void HistoryTableCell::installCheckButton(const plat::Rect& frame) {
    checkButton_ = std::make_shared<CheckButton>(frame);
    checkButton_->setBackgroundImage(plat::Image::named(CheckButton::kCheckedImage));
    checkButton_->setChecked(false);
    // The button toggles itself on a touch; the row's check() does the toggling instead, so
    // that the delegate hears of it and subclasses can take part.
    checkButton_->removeActions(plat::TouchUpInside);
    std::weak_ptr<View> weakRow = weak_from_this();
    checkButton_->addAction(plat::TouchUpInside, [weakRow](plat::Control& sender) {
        auto row = std::dynamic_pointer_cast<HistoryTableCell>(weakRow.lock());
        auto* box = dynamic_cast<CheckButton*>(&sender);
        if (row && box) row->check(*box);
    });
    contentView().addSubview(checkButton_);
}

void HistoryTableCell::installNameField(const plat::Rect& frame, double fontSize) {
    nameTextField_ = std::make_shared<plat::TextField>(frame);
    nameTextField_->setBackgroundColor(plat::Color::clear());
    nameTextField_->setTextColor(plat::Color::black());
    nameTextField_->setText({});
    nameTextField_->setFont(plat::Font::named("HelveticaNeue-Bold", fontSize));
    // Long dates and names in the longer languages shrink rather than run past the field.
    nameTextField_->setAdjustsFontSizeToFitWidth(true);
    nameTextField_->setMinimumFontSize(fontSize * 0.6);
    nameTextField_->setUserInteractionEnabled(false);
    contentView().addSubview(nameTextField_);
}

void HistoryTableCell::installEditButton() {
    accessoryButton_ = plat::Button::make(plat::ButtonType::Custom, plat::Rect{0, 0, kEditButtonWidth, kEditButtonHeight});
    accessoryButton_->setBackgroundImage(plat::Image::named("btn-grey.png"));
    accessoryButton_->setTitle(Language::get("Edit"));
    accessoryButton_->titleLabel().setFont(plat::Font::named("HelveticaNeue-Bold", 12));
    std::weak_ptr<View> weakRow = weak_from_this();
    accessoryButton_->addAction(plat::TouchUpInside, [weakRow](plat::Control&) {
        if (auto row = std::dynamic_pointer_cast<HistoryTableCell>(weakRow.lock())) row->buttonTapped();
    });
    accessoryButton_->setHidden(true);
    addSubview(accessoryButton_);
    setNeedsLayout();
}

std::shared_ptr<plat::Label> HistoryTableCell::addLabel(const plat::Rect& frame, bool bold, double fontSize,
                                                         std::string text) {
    auto label = std::make_shared<plat::Label>(frame, std::move(text));
    label->setBackgroundColor(plat::Color::clear());
    label->setTextColor(plat::Color::black());
    label->setShadowColor(plat::Color::white());
    label->setShadowOffset({1, 1});
    label->setFont(plat::Font::named(bold ? "HelveticaNeue-Bold" : "HelveticaNeue", fontSize));
    // Captions and figures in the narrow fixed frames shrink to fit the longer languages.
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.6);
    contentView().addSubview(label);
    return label;
}

std::shared_ptr<plat::Button> HistoryTableCell::addAlarmBadge(const plat::Rect& frame, const char* fontName) {
    auto badge = plat::Button::make(plat::ButtonType::Custom, frame);
    badge->setTitle({});
    badge->titleLabel().setFont(plat::Font::named(fontName, 14));
    badge->setBackgroundImage(plat::Image::named("icon-max-dose-red.png"));
    badge->setTitleColor(plat::Color::white());
    badge->setContentEdgeInsets(Artwork::alarmCountInsets(frame.size));
    badge->setUserInteractionEnabled(false);
    contentView().addSubview(badge);
    return badge;
}

void HistoryTableCell::applyRowLook(plat::AccessoryType accessory) {
    setSelectionStyle(plat::SelectionStyle::None);
    setBackgroundColor(plat::Color::clear());
    setAccessoryType(accessory);
}

void HistoryTableCell::colorValue(plat::Label& label, const plat::Color& color) {
    // The alarm colours too light for the white rows are outlined in place of the white shadow.
    plat::Readability::colorText(label, color, plat::Color::white(), plat::Color::white());
}

void HistoryTableCell::showDoseRate(plat::Label& label, DoseUnit& unit, double value) {
    unit.setValue(value);
    label.setText(unit.stringWithUnit(DoseUnit::doseRateKind));
    colorValue(label, Settings::sharedSettings().derColor(std::isfinite(value) ? value : 0));
}

void HistoryTableCell::showDose(plat::Label& label, DoseUnit& unit, double value) {
    unit.setValue(value);
    label.setText(unit.stringWithUnit(DoseUnit::doseKind));
    colorValue(label, Settings::sharedSettings().deColor(std::isfinite(value) ? value : 0));
}

void HistoryTableCell::showNotAvailable(plat::Label& label) {
    label.setText(Language::get("n/a"));
    colorValue(label, plat::Color::black());
}

}  // namespace qx
