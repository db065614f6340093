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
    };
    Kind kind = Kind::TextsOverlap;
    std::string text;   // the offending text (or image name)
    std::string other;  // the second text, or the kind of the other view
    std::string view;   // the kind of the view that draws `text`
    Rect where;         // in window coordinates

    // One line naming the texts: "\"Apply\" and \"Threshold\" are drawn over each other".
    std::string description() const;
};

// Reads the drawing a view tree records, as the picture of it would show it, and reports texts
// outside their views, texts over each other, texts under other views, images without pictures
// and controls that draw nothing. Texts are placed with the fonts' fixed metrics; whatever an
// opaque fill later paints over is taken as hidden, and everything behind a modal overlay
// (an alert, a sheet) is left out, as the overlay is what the person looks at.
class LayoutCheck {
public:
    static std::vector<LayoutProblem> run(View& root);
    // The problems, one description a line.
    static std::string report(const std::vector<LayoutProblem>& problems);
};

}  // namespace plat
