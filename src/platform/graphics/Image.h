#pragma once

#include <memory>
#include <string>

#include "platform/graphics/Geometry.h"
#include "platform/graphics/PixelImage.h"

namespace plat {

class Image;
using ImagePtr = std::shared_ptr<const Image>;

// An image as the screens use it: mostly a name ("icon-checked.png") that a view shows; a photo
// or a rendered picture also carries its pixels.
class Image {
public:
    // The named image; its pixels are read from the resources when a PNG of that name exists,
    // else drawn from the image catalog when it has the name.
    static ImagePtr named(const std::string& name);
    static ImagePtr withPixels(PixelImage pixels, std::string name = {});

    const std::string& name() const { return name_; }
    // Points; the pixel size for images that have pixels, else zero.
    Size size() const { return pixels_ ? pixels_->size() : Size{}; }
    bool hasPixels() const { return pixels_ != nullptr; }
    const std::shared_ptr<const PixelImage>& pixels() const { return pixels_; }

    // The photo turned and mirrored to show upright by the orientation it was taken in; the
    // image itself when it has no pixels or is upright already.
    ImagePtr fixOrientation() const;

    // The same image resampled; an image without pixels keeps its name and stays pixel-less.
    ImagePtr scaledTo(Size size) const;

    Image(std::string name, std::shared_ptr<const PixelImage> pixels)
        : name_(std::move(name)), pixels_(std::move(pixels)) {}

private:
    std::string name_;
    std::shared_ptr<const PixelImage> pixels_;
};

// Two images are the same picture when both name and pixels agree (nullptr equals nullptr).
bool sameImage(const ImagePtr& a, const ImagePtr& b);

}  // namespace plat
