#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace plat {

class View;

// The fills and pictures a screen's drawing put down, in the order drawn and in window
// coordinates, so that what lies beneath a text can be told: its colour at a point, and
// whether a picture shows more than its plain background there.
class DrawnPaints {
public:
    struct Paint {
        Rect rect;                 // where it lands, clipped
        std::size_t order = 0;     // in the order of the whole drawing
        const View* view = nullptr;
        Color color;               // a fill; its alpha times the view's
        ImagePtr image;            // or a picture stretched over `image rect`
        Rect imageRect;
        double alpha = 1;          // the picture's opacity
        bool pattern = false;      // a view's background pattern: a backdrop for everything on it
        bool buttonBackground = false;  // a button's own picture: the backdrop of its title
    };

    // `top` painted over `below` (source over): opaque when `below` is.
    static Color over(const Color& top, const Color& below);
    // How well two opaque colours tell apart, from 1:1 (the same) to 21:1 (black on white),
    // by their relative luminances.
    static double contrastRatio(const Color& a, const Color& b);

    void add(Paint paint) { paints_.push_back(std::move(paint)); }
    const std::vector<Paint>& all() const { return paints_; }

    // The colour at a point of everything drawn before `order`, over white where nothing is.
    Color colorAt(Point p, std::size_t order) const;
    // Whether every point of the area on a grid of `step` points is covered by paints drawn
    // from `from` on with at least the given opacity.
    bool coversArea(const Rect& area, std::size_t from, double opacity, double step) const;
    // How many of the sampled points of `area` fall on a picture's pixels that are not its
    // background (neither transparent nor its most common colour), counting only pictures
    // drawn before `order` and still in sight; `counts` says which pictures to consider.
    // Returns the count and the number of points sampled.
    std::pair<int, int> busyPicturePoints(const Rect& area, std::size_t order,
                                          const std::function<bool(const Paint&)>& counts) const;

private:
    // The picture's colour at a window point, clear outside it.
    static Color pictureColor(const Paint& paint, Point p);
    // The most common opaque colour of a picture, cached per picture.
    Color plainColor(const Image& image) const;
    // Whether a pixel of a picture is more than its plain background.
    bool busy(const Paint& paint, const Color& pixel) const;

    std::vector<Paint> paints_;
    mutable std::map<const Image*, Color> plain_;
};

}  // namespace plat
