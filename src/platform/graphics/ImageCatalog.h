#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/Geometry.h"
#include "platform/graphics/PixelImage.h"

namespace plat {

class DrawingContext;

// Pictures drawn by code under the names the screens ask for, for the names that have no PNG
// among the resources. Each is drawn once, the first time it is needed, at its size in points.
class ImageCatalog {
public:
    using Drawing = std::function<void(DrawingContext& context, Size size)>;

    // Adds (or replaces) the drawing of a name; the name is given without ".png".
    static void add(const std::string& name, Size size, Drawing drawing);
    // The drawn pixels of a name (with or without ".png", ".jpg"); nullptr for an unknown name.
    static std::shared_ptr<const PixelImage> pixels(const std::string& name);
    static bool has(const std::string& name);
    // Forgets every drawing (tests start afresh).
    static void clear();
};

}  // namespace plat
