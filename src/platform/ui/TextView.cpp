#include "platform/ui/TextView.h"

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Readability.h"
#include "platform/ui/Label.h"

#include <algorithm>

namespace plat {

void TextView::setText(std::string text) {
    text_ = std::move(text);
    setNeedsDisplay();
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

void TextView::drawRect(DrawingContext& ctx, const Rect& rect) {
    // Lines wrap at the view's width; what does not fit below is scrolled out of sight.
    Label lines(Rect{}, text_.empty() ? placeholder_ : text_);
    lines.setFont(font_);
    lines.setTextColor(text_.empty() ? Readability::kPlaceholderGray : textColor_);
    lines.setTextAlignment(alignment_);
    lines.setNumberOfLines(0);
    lines.setLineBreakMode(LineBreakMode::WordWrap);
    const Rect box = rect.insetBy(4, 4);
    const double height = lines.sizeThatFits(Size{box.width(), 0}).height;
    ctx.saveState();
    ctx.translate(box.x(), box.y());
    lines.drawRect(ctx, Rect{0, 0, std::max(0.0, box.width()), height});
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
