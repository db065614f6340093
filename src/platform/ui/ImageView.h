#pragma once

#include "platform/ui/View.h"

namespace plat {

// Shows an image (by name, or with pixels).
class ImageView : public View {
public:
    using View::View;
    explicit ImageView(ImagePtr image);

    const ImagePtr& image() const { return image_; }
    void setImage(ImagePtr image);
    const ImagePtr& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(ImagePtr image) { highlightedImage_ = std::move(image); }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h) { highlighted_ = h; }
    // The image shown now (the highlighted one while highlighted, when set).
    ImagePtr shownImage() const;

    Size sizeThatFits(Size size) const override;
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "Image"; }
    std::string displayText() const override;
    std::string describeLine() const override;

private:
    ImagePtr image_, highlightedImage_;
    bool highlighted_ = false;
};

// Where an image of the given size goes inside a rectangle under a content mode.
Rect placeImage(Size image, const Rect& box, ContentMode mode);

}  // namespace plat
