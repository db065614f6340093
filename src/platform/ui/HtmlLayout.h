#pragma once

#include <string>
#include <vector>

#include "platform/foundation/HtmlDocument.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"

namespace plat {

class DescriptionWriter;

// A document set as a browser sets it on a phone: headings, paragraphs and list items one
// under another, each wrapped to the width; tables with their columns sized to their contents
// (a table too wide for the page makes the page wider), header cells bold and centred, cells
// centred in their rows, cell and table borders, padding and spacing as the markup gives them.
// A number keeps the short word after it (its unit) on its line. A table's caption stands above
// it. What `describe` lists and `text` reads is what is drawn.
class HtmlLayout {
public:
    struct Text {
        Rect frame;  // the text wraps at the frame's width and fills its height
        std::string text;
        Font font;
        TextAlignment alignment = TextAlignment::Left;
    };
    struct Fill {
        Rect rect;
        Color color;
    };

    // The room between the page's edges and its content.
    static constexpr double kMargin = 8;

    HtmlLayout() = default;
    HtmlLayout(const HtmlNode& document, double width);

    // The page's size: at least the width it was laid out for, as high as its content.
    Size size() const { return size_; }
    const std::vector<Text>& texts() const { return texts_; }
    const std::vector<Fill>& fills() const { return fills_; }
    // The texts drawn, in document order, a blank between them.
    std::string text() const;
        // Draws what lies in `visible` (page coordinates): the borders, then the texts.
    void draw(DrawingContext& context, const Rect& visible) const;

    // The document's text as `show` lists it: one line per heading, paragraph or list item, a
    // table with one line per row and its cells quoted.
    static void describe(const HtmlNode& document, DescriptionWriter& out);

private:
    Size size_;
    std::vector<Text> texts_;
    std::vector<Fill> fills_;
};

}  // namespace plat
