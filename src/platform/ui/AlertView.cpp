#include "platform/ui/UiText.h"
#include "platform/ui/AlertView.h"

#include "platform/foundation/Log.h"
#include "platform/ui/DescriptionWriter.h"

namespace plat {

namespace {

constexpr double kAlertWidth = 270;
constexpr double kSheetMargin = 8;
constexpr double kSheetRow = 50;

template <class T>
std::vector<std::shared_ptr<T>> visibleOf() {
    std::vector<std::shared_ptr<T>> out;
    for (auto& p : ModalPrompt::visiblePrompts()) {
        if (auto t = std::dynamic_pointer_cast<T>(p)) out.push_back(t);
    }
    return out;
}

}  // namespace

AlertView::AlertView(std::string title, std::string message, std::string cancelButtonTitle,
                     std::vector<std::string> otherButtonTitles)
    : ModalPrompt(std::move(title)), message_(std::move(message)) {
    if (!cancelButtonTitle.empty()) setCancelButtonIndex(addButtonWithTitle(std::move(cancelButtonTitle)));
    for (auto& t : otherButtonTitles) addButtonWithTitle(std::move(t));
}

std::shared_ptr<AlertView> AlertView::make(std::string title, std::string message, std::string cancelButtonTitle,
                                           std::vector<std::string> otherButtonTitles) {
    return std::make_shared<AlertView>(std::move(title), std::move(message), std::move(cancelButtonTitle),
                                       std::move(otherButtonTitles));
}

std::shared_ptr<AlertView> AlertView::show(std::string title, std::string message, std::string cancelButtonTitle,
                                           std::vector<std::string> otherButtonTitles,
                                           std::function<void(long)> onDismiss, std::function<void()> onCancel) {
    auto alert = make(std::move(title), std::move(message), std::move(cancelButtonTitle), std::move(otherButtonTitles));
    alert->setDismissHandler(std::move(onDismiss));
    alert->setCancelHandler(std::move(onCancel));
    alert->show(true);
    return alert;
}

void AlertView::setMessage(std::string message) {
    message_ = std::move(message);
    markChanged();
}

void AlertView::setAlertViewStyle(AlertStyle style) {
    style_ = style;
    fields_.clear();
    auto field = [](bool secure, const std::string& placeholder) {
        auto f = std::make_shared<TextField>(Rect{0, 0, kAlertWidth - 32, 28});
        f->setSecureTextEntry(secure);
        f->setPlaceholder(placeholder);
        f->setBorderStyle(TextBorderStyle::Line);
        return f;
    };
    switch (style) {
        case AlertStyle::PlainTextInput: fields_.push_back(field(false, "")); break;
        case AlertStyle::SecureTextInput: fields_.push_back(field(true, "")); break;
        case AlertStyle::LoginAndPasswordInput:
            fields_.push_back(field(false, "Login"));
            fields_.push_back(field(true, uiText("Password")));
            break;
        case AlertStyle::Default: break;
    }
    markChanged();
}

std::shared_ptr<TextField> AlertView::textFieldAtIndex(long index) const {
    if (index < 0 || index >= static_cast<long>(fields_.size())) {
        Log::line("AlertView::textFieldAtIndex: no text field at index " + std::to_string(index));
        return nullptr;
    }
    return fields_[static_cast<std::size_t>(index)];
}

void AlertView::setContentView(std::shared_ptr<View> view) {
    content_ = std::move(view);
    markChanged();
}

long AlertView::firstOtherButtonIndex() const {
    if (numberOfButtons() == 0) return kNoButton;
    long first = cancelButtonIndex() == 0 ? 1 : 0;
    return first < numberOfButtons() ? first : kNoButton;
}

void AlertView::rebuild() {
    // A centred box: message, fields, then the buttons (side by side when there are two).
    Font messageFont = Font::system(13);
    double y = bounds().height() / 2 - 100;
    double x = (bounds().width() - kAlertWidth) / 2;
    // A title too long for one line takes more lines and moves the rest down.
    y += 16 + titleLabel()->frame().height() + 8;
    if (!message_.empty()) {
        auto label = std::make_shared<Label>(Rect{x + 16, y, kAlertWidth - 32, 0}, message_);
        label->setFont(messageFont);
        label->setNumberOfLines(0);
        label->setTextAlignment(TextAlignment::Center);
        label->setFrame(Rect{x + 16, y, kAlertWidth - 32, label->sizeThatFits(Size{kAlertWidth - 32, 0}).height});
        addSubview(label);
        y = label->frame().maxY();
    }
    y += 8;
    for (auto& f : fields_) {
        f->setFrame(Rect{x + 16, y, kAlertWidth - 32, 28});
        addSubview(f);
        y += 34;
    }
    if (content_) {
        content_->setFrame(Rect{x + 16, y, kAlertWidth - 32, content_->frame().height()});
        addSubview(content_);
        y += content_->frame().height() + 6;
    }
    long n = numberOfButtons();
    // Two buttons share a row only while both titles fit their half; otherwise they stack.
    bool sideBySide = n == 2;
    for (long i = 0; sideBySide && i < n; ++i) {
        const Font font = i == cancelButtonIndex() ? Font::boldSystem(17) : Font::system(15);
        sideBySide = font.widthOf(buttonTitleAtIndex(i)) <= kAlertWidth / 2 - 16;
    }
    for (long i = 0; i < n; ++i) {
        Rect frame = sideBySide ? Rect{x + kAlertWidth / 2 * static_cast<double>(i), y, kAlertWidth / 2, 44}
                                : Rect{x, y + 44 * static_cast<double>(i), kAlertWidth, 44};
        addSubview(makeButton(i, frame));
    }
}

void AlertView::drawRect(DrawingContext& ctx, const Rect& rect) {
    drawBackdrop(ctx, rect);
    double x = (rect.width() - kAlertWidth) / 2;
    double top = rect.height() / 2 - 100;
    double bottom = top;
    for (const auto& v : subviews()) bottom = std::max(bottom, v->frame().maxY());
    drawPanel(ctx, Rect{x, top, kAlertWidth, bottom - top});
    auto title = titleLabel();
    ctx.saveState();
    ctx.translate(x + 16, top + 16);
    title->drawRect(ctx, title->bounds());
    ctx.restoreState();
    // Each button row starts with a hairline; buttons side by side have one between them.
    for (const auto& b : promptButtons()) {
        const Rect f = b->frame();
        drawHairline(ctx, {f.minX(), f.minY()}, {f.maxX(), f.minY()});
        if (f.minX() > x + 1) drawHairline(ctx, {f.minX(), f.minY()}, {f.minX(), f.maxY()});
    }
}

std::shared_ptr<Label> AlertView::titleLabel() const {
    auto label = std::make_shared<Label>(Rect{}, title());
    label->setFont(Font::boldSystem(17));
    label->setNumberOfLines(0);
    label->setTextAlignment(TextAlignment::Center);
    label->setFrame(Rect{0, 0, kAlertWidth - 32, std::max(label->font().lineHeight(),
                                                         label->sizeThatFits(Size{kAlertWidth - 32, 0}).height)});
    return label;
}

std::vector<std::shared_ptr<AlertView>> AlertView::visibleAlerts() { return visibleOf<AlertView>(); }

std::shared_ptr<AlertView> AlertView::frontmostAlert() {
    auto list = visibleAlerts();
    return list.empty() ? nullptr : list.back();
}

std::string AlertView::describeLine() const { return "Alert " + DescriptionWriter::quoted(title()); }

// ---- action sheet

ActionSheet::ActionSheet(std::string title, std::string cancelButtonTitle, std::string destructiveButtonTitle,
                         std::vector<std::string> otherButtonTitles)
    : ModalPrompt(std::move(title)) {
    if (!destructiveButtonTitle.empty()) destructiveIndex_ = addButtonWithTitle(std::move(destructiveButtonTitle));
    for (auto& t : otherButtonTitles) {
        long i = addButtonWithTitle(std::move(t));
        if (firstOther_ == kNoButton) firstOther_ = i;
    }
    if (!cancelButtonTitle.empty()) setCancelButtonIndex(addButtonWithTitle(std::move(cancelButtonTitle)));
}

std::shared_ptr<ActionSheet> ActionSheet::make(std::string title, std::string cancelButtonTitle,
                                               std::string destructiveButtonTitle,
                                               std::vector<std::string> otherButtonTitles) {
    return std::make_shared<ActionSheet>(std::move(title), std::move(cancelButtonTitle),
                                         std::move(destructiveButtonTitle), std::move(otherButtonTitles));
}

std::shared_ptr<ActionSheet> ActionSheet::show(View* inView, std::string title, std::string cancelButtonTitle,
                                               std::string destructiveButtonTitle,
                                               std::vector<std::string> otherButtonTitles,
                                               std::function<void(long)> onDismiss, std::function<void()> onCancel) {
    auto sheet = make(std::move(title), std::move(cancelButtonTitle), std::move(destructiveButtonTitle),
                      std::move(otherButtonTitles));
    sheet->setDismissHandler(std::move(onDismiss));
    sheet->setCancelHandler(std::move(onCancel));
    sheet->showInView(inView, true);
    return sheet;
}

void ActionSheet::showInView(View* view, bool animated) {
    shownIn_ = view;
    present(animated);
}

void ActionSheet::rebuild() {
    // From the bottom up: the cancel button on a panel of its own, then one panel with the
    // title over the other buttons.
    const double width = bounds().width() - 2 * kSheetMargin;
    double groupBottom = bounds().height() - kSheetMargin;
    if (cancelButtonIndex() != kNoButton) {
        auto b = makeButton(cancelButtonIndex(), Rect{kSheetMargin, groupBottom - kSheetRow, width, kSheetRow});
        b->titleLabel().setFont(Font::boldSystem(20));
        addSubview(b);
        groupBottom -= kSheetRow + kSheetMargin;
    }
    const long rows = numberOfButtons() - (cancelButtonIndex() != kNoButton ? 1 : 0);
    auto title = titleLabel();
    const double titleHeight = title ? std::max(kSheetRow - 6, title->frame().height() + 28) : 0;
    group_ = Rect{kSheetMargin, groupBottom - kSheetRow * static_cast<double>(rows) - titleHeight, width,
                  kSheetRow * static_cast<double>(rows) + titleHeight};
    double y = group_.minY() + titleHeight;
    for (long i = 0; i < numberOfButtons(); ++i) {
        if (i == cancelButtonIndex()) continue;
        auto b = makeButton(i, Rect{kSheetMargin, y, width, kSheetRow});
        b->titleLabel().setFont(Font::system(20));
        if (i == destructiveIndex_) b->setTitleColor(Color::red());
        addSubview(b);
        y += kSheetRow;
    }
}

void ActionSheet::drawRect(DrawingContext& ctx, const Rect& rect) {
    drawBackdrop(ctx, rect);
    if (group_.height() > 0) drawPanel(ctx, group_);
    for (const auto& b : promptButtons()) {
        const Rect f = b->frame();
        if (f.minY() >= group_.maxY()) {
            drawPanel(ctx, f);  // the cancel button stands apart
        } else if (f.minY() > group_.minY()) {
            drawHairline(ctx, {f.minX(), f.minY()}, {f.maxX(), f.minY()});
        }
    }
    if (auto title = titleLabel()) {
        ctx.saveState();
        ctx.translate(group_.minX() + 16, group_.minY() + 14);
        title->drawRect(ctx, title->bounds());
        ctx.restoreState();
    }
}

std::shared_ptr<Label> ActionSheet::titleLabel() const {
    if (title().empty()) return nullptr;
    const double width = bounds().width() - 2 * kSheetMargin - 32;
    auto label = std::make_shared<Label>(Rect{}, title());
    label->setFont(Font::system(13));
    label->setTextColor(Color::rgba(0.43, 0.43, 0.45));
    label->setNumberOfLines(0);
    label->setTextAlignment(TextAlignment::Center);
    label->setFrame(Rect{0, 0, width, std::max(label->font().lineHeight(), label->sizeThatFits(Size{width, 0}).height)});
    return label;
}

std::vector<std::shared_ptr<ActionSheet>> ActionSheet::visibleSheets() { return visibleOf<ActionSheet>(); }

std::string ActionSheet::describeLine() const { return "ActionSheet " + DescriptionWriter::quoted(title()); }

}  // namespace plat
