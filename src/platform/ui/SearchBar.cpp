#include "platform/ui/SearchBar.h"

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/TextField.h"

namespace plat {

bool SearchBar::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    auto d = delegate_.lock();
    if (d && !d->searchBarShouldBeginEditing(*this)) return false;
    if (!claimFirstResponder()) return false;
    if (d) d->searchBarTextDidBeginEditing(*this);
    return true;
}

bool SearchBar::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    setCurrentFirstResponder(nullptr);
    if (auto d = delegate_.lock()) d->searchBarTextDidEndEditing(*this);
    return true;
}

bool SearchBar::changeText(std::string text) {
    if (!isFirstResponder() && !becomeFirstResponder()) return false;
    text_ = std::move(text);
    setNeedsDisplay();
    if (auto d = delegate_.lock()) d->searchBarTextDidChange(*this, text_);
    return true;
}

bool SearchBar::typeText(const std::string& typed) { return changeText(text_ + typed); }

bool SearchBar::deleteBackward() {
    std::size_t n = lastCharacterLength(text_);
    if (n == 0) return false;
    return changeText(text_.substr(0, text_.size() - n));
}

bool SearchBar::replaceAllText(const std::string& text) { return changeText(text); }

bool SearchBar::pressSearch() {
    if (!isFirstResponder()) return false;
    if (auto d = delegate_.lock()) d->searchBarSearchButtonClicked(*this);
    return true;
}

bool SearchBar::pressCancel() {
    if (!showsCancel_ || !acceptsTouches()) return false;
    if (auto d = delegate_.lock()) d->searchBarCancelButtonClicked(*this);
    return true;
}

void SearchBar::drawRect(DrawingContext& ctx, const Rect& rect) {
    ctx.setFillColor(barStyle_ == BarStyle::Default ? Color::rgba(0.79, 0.79, 0.81) : Color::rgba(0.1, 0.1, 0.1));
    ctx.fillRect(rect);
    Rect field = rect.insetBy(8, 7);
    ctx.setFillColor(Color::white());
    ctx.fillRect(field);
    Font f = Font::system(14);
    Rect box{field.x() + 6, field.midY() - f.lineHeight() / 2, field.width() - 12, f.lineHeight()};
    ctx.drawText(displayText(), box, f, text_.empty() ? Color::gray() : Color::black());
}

std::string SearchBar::describeLine() const {
    std::string s = "SearchBar " + DescriptionWriter::quoted(text_);
    if (!placeholder_.empty()) s += " placeholder " + DescriptionWriter::quoted(placeholder_);
    if (showsCancel_) s += " [Cancel]";
    if (isFirstResponder()) s += " (editing)";
    return s;
}

}  // namespace plat
