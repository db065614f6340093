#include "platform/ui/UiText.h"
#include "platform/ui/TableViewCell.h"

#include <cmath>

#include "platform/ui/Button.h"
#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"

namespace plat {

TableViewCell::TableViewCell(CellStyle style, std::string reuseIdentifier)
    : View(Rect{0, 0, Screen::bounds().width(), kDefaultHeight}),
      style_(style),
      reuseIdentifier_(std::move(reuseIdentifier)),
      contentView_(std::make_shared<View>(bounds())),
      textLabel_(std::make_shared<Label>()),
      detailTextLabel_(std::make_shared<Label>()),
      imageView_(std::make_shared<ImageView>()) {
    addSubview(contentView_);
    contentView_->addSubview(imageView_);
    contentView_->addSubview(textLabel_);
    textLabel_->setFont(Font::system(17));
    if (hasDetailTextLabel()) {
        contentView_->addSubview(detailTextLabel_);
        detailTextLabel_->setFont(Font::system(style == CellStyle::Subtitle ? 12 : 17));
        if (style == CellStyle::Value1) {
            detailTextLabel_->setTextColor(Color::rgba(0.56, 0.56, 0.58));
            detailTextLabel_->setTextAlignment(TextAlignment::Right);
        }
    }
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> v) {
    if (accessoryView_ && accessoryView_->superview() == this) accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(v);
    if (accessoryView_) addSubview(accessoryView_);
    setNeedsLayout();
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> v) {
    if (backgroundView_ && backgroundView_->superview() == this) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(v);
    if (backgroundView_) {
        backgroundView_->setFrame(bounds());
        insertSubview(backgroundView_, 0);
    }
}

void TableViewCell::setSelected(bool selected, bool animated) {
    selected_ = selected;
    lastAnimated_ = animated;
    setNeedsDisplay();
}

void TableViewCell::setHighlighted(bool highlighted, bool animated) {
    highlighted_ = highlighted;
    lastAnimated_ = animated;
}

void TableViewCell::setEditing(bool editing, bool animated) {
    editing_ = editing;
    lastAnimated_ = animated;
    if (!editing && confirmingDelete_) setConfirmingDelete(false);
    setNeedsLayout();
}

void TableViewCell::prepareForReuse() {
    selected_ = false;
    highlighted_ = false;
    setConfirmingDelete(false);
}

void TableViewCell::setConfirmingDelete(bool on, const std::string& title) {
    confirmingDelete_ = on;
    if (deleteButton_) {
        deleteButton_->removeFromSuperview();
        deleteButton_.reset();
    }
    if (!on) return;
    auto b = Button::make(ButtonType::Custom, Rect{bounds().width() - 82, 0, 82, bounds().height()});
    b->setTitle(title.empty() ? uiText("Delete") : title);
    b->setBackgroundColor(Color::red());
    b->addAction(TouchUpInside, [this](Control&) {
        if (table_) table_->confirmDelete();
    });
    deleteButton_ = b;
    addSubview(b);
}

void TableViewCell::layoutSubviews() {
    double accessoryWidth = 0;
    const AccessoryType accessory = editing_ ? editingAccessory_ : accessory_;
    if (accessoryView_) {
        accessoryWidth = accessoryView_->frame().width() + 15;
        accessoryView_->setFrame(Rect{bounds().width() - accessoryWidth, (bounds().height() - accessoryView_->frame().height()) / 2,
                                      accessoryView_->frame().width(), accessoryView_->frame().height()});
    } else if (accessory != AccessoryType::None) {
        accessoryWidth = accessory == AccessoryType::DetailDisclosureButton ? 67 : 38;
    }
    double editInset = editing_ && indentWhileEditing_ ? kEditingControlWidth : 0;
    contentView_->setFrame(Rect{editInset, 0, bounds().width() - accessoryWidth - editInset, bounds().height()});
    if (backgroundView_) backgroundView_->setFrame(bounds());
    placeDeleteControl();
    Rect c = contentView_->bounds();
    double x = 15;
    if (imageView_->image()) {
        Size s = imageView_->image()->size();
        if (s.width <= 0 || s.height <= 0) s = {c.height() - 8, c.height() - 8};
        imageView_->setFrame(Rect{x, (c.height() - s.height) / 2, s.width, s.height});
        x += s.width + 15;
    } else {
        imageView_->setFrame(Rect{x, 0, 0, 0});
    }
    double w = std::max(0.0, c.width() - x - 15);
    switch (style_) {
        case CellStyle::Default: textLabel_->setFrame(Rect{x, 0, w, c.height()}); break;
        case CellStyle::Value1:
        case CellStyle::Value2: placeTitleAndValue(x, w, c.height()); break;
        case CellStyle::Subtitle:
            textLabel_->setFrame(Rect{x, 2, w, c.height() * 0.55});
            detailTextLabel_->setFrame(Rect{x, c.height() * 0.55, w, c.height() * 0.4});
            break;
    }
}

namespace {

// The red disc with a white bar at the start of a row an editing table may delete; a tap on it
// shows the row's Delete button, as a swipe does.
class DeleteControl : public Control {
public:
    static constexpr double kDiameter = 22;

    using Control::Control;

    void drawRect(DrawingContext& ctx, const Rect& rect) override {
        const double x = rect.midX() - kDiameter / 2, y = rect.midY() - kDiameter / 2;
        ctx.setFillColor(Color::rgba(1, 0.23, 0.19));
        ctx.fillEllipse(Rect{x, y, kDiameter, kDiameter});
        ctx.setFillColor(Color::white());
        ctx.fillRect(Rect{x + 5, rect.midY() - 1.25, kDiameter - 10, 2.5});
    }
    std::string kindName() const override { return "DeleteControl"; }
    std::string describeLine() const override { return "DeleteControl"; }
};

}  // namespace

void TableViewCell::placeDeleteControl() {
    const bool wanted = editing_ && table_ && table_->isEditableRow(indexPath_);
    if (!wanted) {
        if (deleteControl_) deleteControl_->removeFromSuperview();
        deleteControl_.reset();
        return;
    }
    if (!deleteControl_) {
        auto control = std::make_shared<DeleteControl>();
        control->addAction(TouchUpInside, [this](Control&) {
            if (table_) table_->beginSwipeToDelete(indexPath_);
        });
        deleteControl_ = control;
    }
    // Above the contents, which keep their place in rows that do not move aside.
    addSubview(deleteControl_);
    deleteControl_->setFrame(Rect{0, 0, kEditingControlWidth, bounds().height()});
}

double TableViewCell::titleWidthBeside(const Label& title, double valueWidth, double width) {
    const double wanted = title.text().empty() ? 0 : std::ceil(title.font().widthOf(title.text()));
    if (valueWidth <= 0) return width;
    return std::min(wanted, std::max(width - kTitleValueGap - valueWidth * kValueShrink, width * 0.55));
}

void TableViewCell::placeTitleAndValue(double x, double width, double height) {
    const double value = detailTextLabel_->text().empty() ? 0 : std::ceil(detailTextLabel_->font().widthOf(detailTextLabel_->text()));
    const double titleWidth = titleWidthBeside(*textLabel_, value, width);
    detailTextLabel_->setAdjustsFontSizeToFitWidth(true);
    detailTextLabel_->setMinimumScaleFactor(kValueShrink);
    textLabel_->setFrame(Rect{x, 0, titleWidth, height});
    const double valueX = x + titleWidth + kTitleValueGap;
    detailTextLabel_->setFrame(Rect{valueX, 0, std::max(0.0, x + width - valueX), height});
}

namespace {

// The grey chevron of a row that opens another screen, its tip at (right, mid).
void drawChevron(DrawingContext& ctx, double right, double mid) {
    ctx.setStrokeColor(Color::rgba(0.78, 0.78, 0.8));
    ctx.setLineWidth(2);
    ctx.beginPath();
    ctx.moveTo({right - 8, mid - 6});
    ctx.lineTo({right - 2, mid});
    ctx.lineTo({right - 8, mid + 6});
    ctx.strokePath();
}

}  // namespace

void TableViewCell::drawRect(DrawingContext& ctx, const Rect& rect) {
    layoutSubviews();  // before the contents draw (see updateForInspection)
    if (selected_ && selectionStyle_ != SelectionStyle::None && !selectedBackgroundView_) {
        ctx.setFillColor(Color::rgba(0.85, 0.85, 0.85));
        ctx.fillRect(rect);
    }
    double right = rect.maxX() - 15;
    double mid = rect.midY();
    // An editing row shows its editing accessory (none unless set) instead of its own.
    const AccessoryType accessory = editing_ ? editingAccessory_ : accessory_;
    switch (accessoryView_ ? AccessoryType::None : accessory) {
        case AccessoryType::DisclosureIndicator: drawChevron(ctx, right, mid); break;
        case AccessoryType::Checkmark:
            ctx.setStrokeColor(Color::rgba(0, 122 / 255.0, 1));
            ctx.beginPath();
            ctx.moveTo({right - 14, mid});
            ctx.lineTo({right - 9, mid + 5});
            ctx.lineTo({right, mid - 6});
            ctx.strokePath();
            break;
        case AccessoryType::DetailButton:
        case AccessoryType::DetailDisclosureButton: {
            // An "i" in a circle; the disclosure kind has its chevron beside it.
            const Color tint = Color::rgba(0, 122 / 255.0, 1);
            const bool chevron = accessory == AccessoryType::DetailDisclosureButton;
            const double cx = chevron ? right - 33 : right - 11;
            ctx.setStrokeColor(tint);
            ctx.setLineWidth(1.5);
            ctx.strokeEllipse(Rect{cx - 11, mid - 11, 22, 22});
            ctx.setFillColor(tint);
            ctx.fillEllipse(Rect{cx - 1.5, mid - 7, 3, 3});
            ctx.fillRect(Rect{cx - 1, mid - 2.5, 2, 9});
            if (chevron) drawChevron(ctx, right, mid);
            break;
        }
        case AccessoryType::None: break;
    }
    ctx.setStrokeColor(Color::rgba(0.78, 0.78, 0.8));
    ctx.setLineWidth(0.5);
    ctx.beginPath();
    ctx.moveTo({rect.x() + 15, rect.maxY() - 0.25});
    ctx.lineTo({rect.maxX(), rect.maxY() - 0.25});
    ctx.strokePath();
}

bool TableViewCell::performTap() {
    if (!table_ || !acceptsTouches()) return false;
    return table_->userSelectRow(indexPath_);
}

namespace {

const char* accessoryMark(AccessoryType t) {
    switch (t) {
        case AccessoryType::DisclosureIndicator: return " [>]";
        case AccessoryType::DetailDisclosureButton: return " [(i)>]";
        case AccessoryType::Checkmark: return " [checked]";
        case AccessoryType::DetailButton: return " [(i)]";
        case AccessoryType::None: break;
    }
    return "";
}

}  // namespace

std::string TableViewCell::describeLine() const {
    std::string s = "Row";
    if (!textLabel_->text().empty() && !textLabel_->isHidden()) s += " " + DescriptionWriter::quoted(textLabel_->text());
    if (hasDetailTextLabel() && !detailTextLabel_->text().empty() && !detailTextLabel_->isHidden()) {
        s += " detail " + DescriptionWriter::quoted(detailTextLabel_->text());
    }
    if (imageView_->image()) s += " image " + DescriptionWriter::quoted(imageView_->image()->name());
    if (!accessoryView_) s += accessoryMark(editing_ ? editingAccessory_ : accessory_);
    if (selected_) s += " (selected)";
    return s;
}

void TableViewCell::describeContent(DescriptionWriter& out) const {
    out.line(describeLine());
    DescriptionWriter::Nested nested(out);
    // The row line already says what the built-in labels and image show.
    for (const auto& v : contentView_->subviews()) {
        if (v == textLabel_ || v == detailTextLabel_ || v == imageView_) continue;
        v->describeInto(out);
    }
    for (const auto& v : subviews()) {
        if (v != contentView_ && v != backgroundView_) v->describeInto(out);  // accessory view, Delete
    }
}

}  // namespace plat
