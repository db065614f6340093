#include "platform/ui/TextView.h"

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Readability.h"
#include "platform/ui/Label.h"

#include <algorithm>

namespace plat {

namespace {

constexpr double kTextInset = 4;

}  // namespace

void TextView::setText(std::string text) {
    text_ = std::move(text);
    fitContentSize();
    setNeedsDisplay();
}

void TextView::setFont(Font f) {
    font_ = std::move(f);
    fitContentSize();
}

bool TextView::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    auto d = delegate_.lock();
    if (d && !d->textViewShouldBeginEditing(*this)) return false;
    if (!claimFirstResponder()) return false;
    if (d) d->textViewDidBeginEditing(*this);
    return true;
}

bool TextView::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto d = delegate_.lock();
    if (d && !d->textViewShouldEndEditing(*this)) return false;
    setCurrentFirstResponder(nullptr);
    if (d) d->textViewDidEndEditing(*this);
    return true;
}

bool TextView::replaceText(TextRange range, const std::string& replacement) {
    if (!isFirstResponder() && !becomeFirstResponder()) return false;
    auto d = delegate_.lock();
    if (d && !d->textViewShouldChangeText(*this, range, replacement)) return false;
    text_.replace(range.location, range.length, replacement);
    fitContentSize();
    setNeedsDisplay();
    if (d) d->textViewDidChange(*this);
    return true;
}

bool TextView::typeText(const std::string& typed) { return replaceText(TextRange{text_.size(), 0}, typed); }

bool TextView::deleteBackward() {
    std::size_t n = lastCharacterLength(text_);
    if (n == 0) return false;
    return replaceText(TextRange{text_.size() - n, n}, "");
}

void TextView::describeLines(Label& lines) const {
    lines.setText(text_.empty() ? placeholder_ : text_);
    lines.setFont(font_);
    lines.setTextColor(text_.empty() ? Readability::kPlaceholderGray : textColor_);
    lines.setTextAlignment(alignment_);
    lines.setNumberOfLines(0);
    lines.setLineBreakMode(LineBreakMode::WordWrap);
}

void TextView::setFrame(const Rect& frame) {
    const bool rewraps = frame.width() != View::frame().width();
    ScrollView::setFrame(frame);
    if (rewraps) fitContentSize();
}

void TextView::fitContentSize() {
    const double width = std::max(0.0, bounds().width() - 2 * kTextInset);
    Label lines;
    describeLines(lines);
    const double height = lines.sizeThatFits(Size{width, 0}).height + 2 * kTextInset;
    setContentSize(Size{bounds().width(), height});
}

void TextView::drawRect(DrawingContext& ctx, const Rect& rect) {
    // Lines wrap at the view's width and are set from the top of the content, so that they
    // move as the view scrolls; what lies outside the bounds is clipped away.
    Label lines;
    describeLines(lines);
    const double width = std::max(0.0, rect.width() - 2 * kTextInset);
    const double height = lines.sizeThatFits(Size{width, 0}).height;
    ctx.saveState();
    ctx.translate(kTextInset, kTextInset);
    lines.drawRect(ctx, Rect{0, 0, width, height});
    ctx.restoreState();
}

std::string TextView::describeLine() const {
    std::string s = "TextView " + DescriptionWriter::quoted(text_);
    if (!placeholder_.empty()) s += " placeholder " + DescriptionWriter::quoted(placeholder_);
    if (!editable_) s += " (read-only)";
    if (isFirstResponder()) s += " (editing)";
    return s;
}

}  // namespace plat
