#include "platform/ui/ImageView.h"

#include <algorithm>

#include "platform/ui/DescriptionWriter.h"

namespace plat {

ImageView::ImageView(ImagePtr image) : image_(std::move(image)) {
    if (image_) setFrame(Rect{Point{}, image_->size()});
}

void ImageView::setImage(ImagePtr image) {
    image_ = std::move(image);
    setNeedsDisplay();
}

ImagePtr ImageView::shownImage() const { return highlighted_ && highlightedImage_ ? highlightedImage_ : image_; }

Size ImageView::sizeThatFits(Size size) const { return image_ ? image_->size() : size; }

Rect placeImage(Size image, const Rect& box, ContentMode mode) {
    if (image.width <= 0 || image.height <= 0) return box;
    double sx = box.width() / image.width, sy = box.height() / image.height;
    auto centred = [&](double w, double h) { return Rect{box.midX() - w / 2, box.midY() - h / 2, w, h}; };
    switch (mode) {
        case ContentMode::ScaleAspectFit: {
            double s = std::min(sx, sy);
            return centred(image.width * s, image.height * s);
        }
        case ContentMode::ScaleAspectFill: {
            double s = std::max(sx, sy);
            return centred(image.width * s, image.height * s);
        }
        case ContentMode::Center: return centred(image.width, image.height);
        case ContentMode::Top: return {box.midX() - image.width / 2, box.y(), image.width, image.height};
        case ContentMode::Bottom: return {box.midX() - image.width / 2, box.maxY() - image.height, image.width, image.height};
        case ContentMode::Left: return {box.x(), box.midY() - image.height / 2, image.width, image.height};
        case ContentMode::Right: return {box.maxX() - image.width, box.midY() - image.height / 2, image.width, image.height};
        case ContentMode::ScaleToFill:
        case ContentMode::Redraw: break;
    }
    return box;
}

void ImageView::drawRect(DrawingContext& ctx, const Rect& rect) {
    auto img = shownImage();
    if (!img) return;
    ctx.drawImage(img, placeImage(img->size(), rect, contentMode()));
}

std::string ImageView::displayText() const {
    auto img = shownImage();
    return img ? img->name() : std::string{};
}

std::string ImageView::describeLine() const {
    auto img = shownImage();
    if (!img) return {};
    return "Image " + DescriptionWriter::quoted(img->name().empty() ? "(picture)" : img->name());
}

}  // namespace plat
