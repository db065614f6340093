#include "platform/ui/TextField.h"

#include <algorithm>

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Readability.h"
#include "platform/ui/Label.h"

namespace plat {

std::string maskedText(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) out += "\u2022";
    }
    return out;
}

std::size_t lastCharacterLength(const std::string& text) {
    if (text.empty()) return 0;
    std::size_t i = text.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    return text.size() - i;
}

void TextField::setText(std::string text) {
    text_ = std::move(text);
    setNeedsDisplay();
}

bool TextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    auto keep = weak_from_this().lock();
    auto d = delegate();
    if (d && !d->textFieldShouldBeginEditing(*this)) return false;
    if (!claimFirstResponder()) return false;
    if (clearsOnBegin_) text_.clear();
    if (d) d->textFieldDidBeginEditing(*this);
    sendActions(EditingDidBegin);
    return true;
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = weak_from_this().lock();
    auto d = delegate();
    if (d && !d->textFieldShouldEndEditing(*this)) return false;
    setCurrentFirstResponder(nullptr);
    if (d) d->textFieldDidEndEditing(*this);
    sendActions(EditingDidEnd);
    return true;
}

bool TextField::replaceText(TextRange range, const std::string& replacement) {
    if (!isFirstResponder() && !becomeFirstResponder()) return false;
    if (range.location > text_.size()) range.location = text_.size();
    range.length = std::min(range.length, text_.size() - range.location);
    auto d = delegate();
    if (d && !d->textFieldShouldChangeCharacters(*this, range, replacement)) return false;
    text_.replace(range.location, range.length, replacement);
    setNeedsDisplay();
    sendActions(EditingChanged);
    return true;
}

bool TextField::typeText(const std::string& typed) { return replaceText(TextRange{text_.size(), 0}, typed); }

bool TextField::deleteBackward() {
    std::size_t n = lastCharacterLength(text_);
    if (n == 0) return false;
    return replaceText(TextRange{text_.size() - n, n}, "");
}

bool TextField::clearText() {
    auto d = delegate();
    if (d && !d->textFieldShouldClear(*this)) return false;
    text_.clear();
    setNeedsDisplay();
    if (isFirstResponder()) sendActions(EditingChanged);
    return true;
}

bool TextField::pressReturn() {
    if (!isFirstResponder()) return false;
    auto keep = weak_from_this().lock();
    auto d = delegate();
    bool agreed = !d || d->textFieldShouldReturn(*this);
    if (!agreed) return false;
    bool exits = actionCount(EditingDidEndOnExit) > 0;
    sendActions(EditingDidEndOnExit);
    if (exits) resignFirstResponder();
    return true;
}

bool TextField::performTap() { return canInteract() && becomeFirstResponder(); }

void TextField::drawRect(DrawingContext& ctx, const Rect& rect) {
    if (border_ == TextBorderStyle::RoundedRect) {
        // A phone's rounded field: a light rim around a white well.
        ctx.setFillColor(Color::white());
        ctx.setStrokeColor(Color::rgba(0.78, 0.78, 0.8));
        ctx.setLineWidth(1);
        ctx.beginPath();
        ctx.addRoundedRect(rect.insetBy(0.5, 0.5), 5);
        ctx.fillStrokePath();
    } else if (border_ != TextBorderStyle::None) {
        ctx.setStrokeColor(Color::gray());
        ctx.setLineWidth(1);
        ctx.strokeRect(rect.insetBy(0.5, 0.5));
    }
    // The text stays inside the field: shrunk down to the field's size floor where it may be,
    // then cut at its end with an ellipsis, and while it is being typed cut at its start, so
    // that the typing point shows.
    Label shown(Rect{}, text_.empty() ? placeholder_ : secure_ ? maskedText(text_) : text_);
    shown.setFont(font_);
    shown.setTextColor(text_.empty() ? Readability::kPlaceholderGray : textColor_);
    shown.setTextAlignment(alignment_);
    shown.setLineBreakMode(isFirstResponder() ? LineBreakMode::TruncateHead : LineBreakMode::TruncateTail);
    if (!text_.empty() && adjustsFontSize_ && font_.size > 0) {
        shown.setAdjustsFontSizeToFitWidth(true);
        shown.setMinimumScaleFactor(std::clamp(minimumFontSize_ / font_.size, 0.05, 1.0));
    }
    ctx.saveState();
    ctx.translate(rect.x() + 4, 0);
    shown.drawRect(ctx, Rect{0, rect.y(), std::max(0.0, rect.width() - 8), rect.height()});
    ctx.restoreState();
}

std::string TextField::displayText() const {
    if (text_.empty()) return placeholder_;
    return secure_ ? maskedText(text_) : text_;
}

std::string TextField::describeLine() const {
    std::string s = "TextField " + DescriptionWriter::quoted(secure_ ? maskedText(text_) : text_);
    if (!placeholder_.empty()) s += " placeholder " + DescriptionWriter::quoted(placeholder_);
    if (secure_) s += " (secure)";
    if (isFirstResponder()) s += " (editing)";
    if (!isEnabled()) s += " (disabled)";
    return s;
}

}  // namespace plat
