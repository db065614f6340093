#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Font.h"
#include "platform/ui/View.h"

namespace plat {

enum class LineBreakMode { WordWrap, CharWrap, Clip, TruncateHead, TruncateTail, TruncateMiddle };

class Label;

// Texts that read as one list (the same label or field of each row of a kind): each draws at
// the smallest size that any of them shrinks to, so that one long text does not set its row apart.
struct TextSizeGroup {
    std::vector<std::weak_ptr<const View>> members;
    // The smallest size the members other than `self` draw their texts at; 0 when none has text.
    double smallestBeside(const View& self) const;
};

// A text on screen.
class Label : public View {
public:
    using View::View;
    Label(const Rect& frame, std::string text) : View(frame), text_(std::move(text)) {}

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const Font& font() const { return font_; }
    void setFont(Font font);
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& c);
    const std::optional<Color>& highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(std::optional<Color> c) { highlightedTextColor_ = c; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h) { highlighted_ = h; }
    const std::optional<Color>& shadowColor() const { return shadowColor_; }
    void setShadowColor(std::optional<Color> c) { shadowColor_ = c; }
    Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(Size offset) { shadowOffset_ = offset; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a) { alignment_ = a; }
    // 0: as many lines as the text needs.
    int numberOfLines() const { return lines_; }
    void setNumberOfLines(int n) { lines_ = n < 0 ? 0 : n; }
    LineBreakMode lineBreakMode() const { return lineBreak_; }
    void setLineBreakMode(LineBreakMode m) { lineBreak_ = m; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool on) { adjustsFontSize_ = on; }
    double minimumScaleFactor() const { return minimumScale_; }
    void setMinimumScaleFactor(double f) { minimumScale_ = f; }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    void setSizeGroup(std::shared_ptr<TextSizeGroup> group) { sizeGroup_ = std::move(group); }
    double fittedTextSize() const override;

    // The text broken into the lines shown in the given width (at most numberOfLines, the
    // last one cut when the text does not fit).
    std::vector<std::string> layoutLines(double width) const;
    // The size the text needs: one line when numberOfLines is 1, else wrapped at the width.
    Size sizeThatFits(Size size) const override;

    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "Label"; }
    std::string displayText() const override { return text_; }
    std::string describeLine() const override;

private:
    std::string text_;
    Font font_ = Font::system(17);
    Color textColor_ = Color::black();
    std::optional<Color> highlightedTextColor_;
    bool highlighted_ = false;
    std::optional<Color> shadowColor_;
    Size shadowOffset_{0, -1};
    TextAlignment alignment_ = TextAlignment::Left;
    int lines_ = 1;
    LineBreakMode lineBreak_ = LineBreakMode::TruncateTail;
    // The smallest font scale the drawing may use when the text is too wide; 0 when it may not.
    double shrinkScale() const;
    // At most `most` lines are laid out: a frame that shows a few lines of a long text needs
    // only those, and one more to know that the text goes on.
    // `split` tells that a word too long for a line was broken inside.
    std::vector<std::string> wrappedLines(double width, const Font& font, bool& cut, bool& split,
                                          std::size_t most = SIZE_MAX) const;
    // The font the text is drawn in: shrunk towards the minimum scale so that a line fits the
    // width, or that the wrapped lines fit the line count and the height.
    Font fittedFont(Size size) const;
    // The same for this label alone, whatever its group.
    Font ownFittedFont(Size size) const;
    Font fittedWrappingFont(Size size, double scale) const;
    // The lines as drawn: cut with an ellipsis where the break mode says so.
    std::vector<std::string> fittedLines(double width, const Font& font, std::size_t most = SIZE_MAX) const;
    bool adjustsFontSize_ = false;
    double minimumScale_ = 0;
    bool opaque_ = false;
    std::shared_ptr<TextSizeGroup> sizeGroup_;
};

}  // namespace plat
