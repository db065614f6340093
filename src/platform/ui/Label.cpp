#include "platform/ui/Label.h"

#include <cmath>

#include "platform/ui/DescriptionWriter.h"

namespace plat {

void Label::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    setNeedsDisplay();
}

void Label::setFont(Font font) {
    font_ = std::move(font);
    setNeedsDisplay();
}

void Label::setTextColor(const Color& c) {
    textColor_ = c;
    setNeedsDisplay();
}

namespace {

// Greedy word wrap of one paragraph.
void wrapParagraph(const std::string& para, const Font& font, double width, std::vector<std::string>& out) {
    std::string line;
    std::size_t pos = 0;
    while (pos <= para.size()) {
        std::size_t end = para.find(' ', pos);
        if (end == std::string::npos) end = para.size();
        std::string word = para.substr(pos, end - pos);
        std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && font.widthOf(candidate) > width) {
            out.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        pos = end + 1;
    }
    out.push_back(line);
}

}  // namespace

std::vector<std::string> Label::layoutLines(double width) const {
    std::vector<std::string> out;
    if (text_.empty()) return out;
    std::size_t start = 0;
    while (start <= text_.size()) {
        std::size_t end = text_.find('\n', start);
        if (end == std::string::npos) end = text_.size();
        std::string para = text_.substr(start, end - start);
        if (lines_ == 1) {
            out.push_back(para);
            break;  // a one-line label shows only the first line
        }
        wrapParagraph(para, font_, width > 0 ? width : 1e9, out);
        start = end + 1;
    }
    if (lines_ > 0 && out.size() > static_cast<std::size_t>(lines_)) out.resize(static_cast<std::size_t>(lines_));
    return out;
}

Size Label::sizeThatFits(Size size) const {
    double width = lines_ == 1 ? 1e9 : (size.width > 0 ? size.width : 1e9);
    auto lines = layoutLines(width);
    double w = 0;
    for (const auto& l : lines) w = std::max(w, font_.widthOf(l));
    return {std::ceil(w), std::ceil(static_cast<double>(lines.size()) * font_.lineHeight())};
}

void Label::drawRect(DrawingContext& ctx, const Rect& rect) {
    auto lines = layoutLines(rect.width());
    if (lines.empty()) return;
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) joined += (i ? "\n" : "") + lines[i];
    double h = static_cast<double>(lines.size()) * font_.lineHeight();
    Rect box{rect.x(), rect.y() + (rect.height() - h) / 2, rect.width(), h};  // centred vertically
    if (shadowColor_) {
        ctx.drawText(joined, box.offsetBy(shadowOffset_.width, shadowOffset_.height), font_, *shadowColor_, alignment_,
                     shrinkScale());
    }
    Color c = highlighted_ && highlightedTextColor_ ? *highlightedTextColor_ : textColor_;
    ctx.drawText(joined, box, font_, c, alignment_, shrinkScale());
}

double Label::shrinkScale() const {
    if (!adjustsFontSize_) return 0;
    return minimumScale_ > 0 ? minimumScale_ : 0.5;
}

std::string Label::describeLine() const {
    if (text_.empty()) return {};
    return "Label " + DescriptionWriter::quoted(text_);
}

}  // namespace plat
