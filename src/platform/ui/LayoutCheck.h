#pragma once

#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace plat {

class View;

// A fault a person would see in a drawn screen.
struct LayoutProblem {
    enum class Kind {
        TextOutsideView,  // text runs past the edges of the view that draws it
        TextsOverlap,     // two texts drawn over each other
        TextCovered,      // another view draws over part of a text
        ImageMissing,     // a view shows an image that has no picture
        DrawsNothing,     // a control that draws nothing at all
        TextClipped,      // text cut by its view or the screen edge instead of ending in an ellipsis
        TextTooSmall,     // text drawn below the smallest readable size
        LowContrast,      // text hard to tell from what is drawn beneath it
        TextOverPicture,  // text drawn over the drawing of a picture that is not its backdrop
        ViewOffScreen,    // a view that lies partly outside the screen
        NoBackdrop,       // a modal screen or overlay that leaves the screen beneath undimmed
        TextAtEdge,       // text that touches the left or right edge of the screen
        TextsTouch,       // two texts on one line without a gap between them
        WordBroken,       // a word broken across lines without a hyphen
        RowSizesDiffer,   // one table's rows of one kind with their texts at different sizes
        UnitBroken,       // a number at a line's end with its unit on the next line
        ContentPastBottom,  // content below the bottom of a view (or the screen) that no scrolling reaches
        PopUpHidden,      // a bubble shown for a touch (a callout) with another view drawn over it, or cut
        GlyphMissing,     // a character no face has a glyph for, drawn as an empty box
        FigureCut,        // a number cut short by an ellipsis: "00:…" of "00:30:00"
    };
    Kind kind = Kind::TextsOverlap;
    std::string text;   // the offending text (image name, screen title)
    std::string other;  // the second text, the kind of the other view, the picture, "screen",
                        // the characters without a glyph ("U+E000")
    std::string view;   // the kind of the view that draws `text`
    Rect where;         // in window coordinates
    double measure = 0; // the size in points (TextTooSmall), the contrast ratio (LowContrast)

    // One line naming the texts: "\"Apply\" and \"Threshold\" are drawn over each other".
    std::string description() const;
};

// Reads the drawing a view tree records, as the picture of it would show it, and reports texts
// outside their views, cut without an ellipsis, against the screen's sides, over each other,
// touching each other on a line or under other views, words broken without a hyphen, numbers
// parted from their units by a line break, numbers cut short by an ellipsis, rows of one kind
// in one table at different sizes, texts too small or too faint to read or drawn over a
// picture, views partly off screen, modal screens without a backdrop, images without pictures,
// controls that draw nothing, views whose content runs past their bottom (or the screen's)
// where no scrolling reaches it, pop-up bubbles (a pin's callout) drawn under another view or
// cut by their ancestors, and characters drawn as empty boxes for want of a glyph. What a
// scroll view cuts at its edges is not cut: scrolling shows it. Texts are placed as the fonts
// set them; whatever an opaque fill later paints over is taken as hidden, and everything
// behind a modal overlay (an alert, a sheet) is left out, as the overlay is what the person
// looks at. Contrast is the ratio of the luminances (at least 3:1, as for large or bold text)
// of the text's colour and of the fills and pictures beneath it.
class LayoutCheck {
public:

    static std::vector<LayoutProblem> run(View& root);
    // The problems, one description a line.
    static std::string report(const std::vector<LayoutProblem>& problems);
};

}  // namespace plat
