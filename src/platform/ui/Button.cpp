#include "platform/ui/Button.h"

#include <algorithm>

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/UiText.h"

namespace plat {

Button::Button(ButtonType type) : Button(type, Rect{}) {}

Button::Button(ButtonType type, const Rect& frame) : Control(frame), type_(type), titleLabel_(std::make_shared<Label>()) {
    titleLabel_->setFont(Font::system(type == ButtonType::System ? 15 : 17));
    titleLabel_->setTextAlignment(TextAlignment::Center);
    if (type == ButtonType::DetailDisclosure || type == ButtonType::InfoLight || type == ButtonType::InfoDark ||
        type == ButtonType::ContactAdd) {
        if (frame.isEmpty()) setFrame(Rect{frame.origin, Size{22, 22}});
    }
}

std::shared_ptr<Button> Button::make(ButtonType type, const Rect& frame) { return std::make_shared<Button>(type, frame); }

void Button::setTitle(std::string title, ControlState state) {
    titles_[state] = std::move(title);
    setNeedsDisplay();
}

std::string Button::title(ControlState state) const { return lookup(titles_, state).value_or(""); }

void Button::setTitleColor(const Color& color, ControlState state) {
    titleColors_[state] = color;
    setNeedsDisplay();
}

Color Button::titleColor(ControlState state) const {
    Color fallback = type_ == ButtonType::Custom ? Color::white() : Color::rgba(0, 122 / 255.0, 1);
    return lookup(titleColors_, state).value_or(fallback);
}

void Button::setTitleShadowColor(const Color& color, ControlState state) { shadowColors_[state] = color; }

std::optional<Color> Button::titleShadowColor(ControlState state) const { return lookup(shadowColors_, state); }

void Button::setImage(ImagePtr image, ControlState state) {
    images_[state] = std::move(image);
    setNeedsDisplay();
}

ImagePtr Button::image(ControlState state) const { return lookup(images_, state).value_or(nullptr); }

void Button::setBackgroundImage(ImagePtr image, ControlState state) {
    backgrounds_[state] = std::move(image);
    setNeedsDisplay();
}

ImagePtr Button::backgroundImage(ControlState state) const { return lookup(backgrounds_, state).value_or(nullptr); }

Size Button::sizeThatFits(Size) const {
    Size text = titleLabel_->font().measure(currentTitle());
    Size img = currentImage() ? currentImage()->size() : Size{};
    return {text.width + img.width + contentInsets_.left + contentInsets_.right,
            std::max(text.height, img.height) + contentInsets_.top + contentInsets_.bottom};
}

void Button::drawRect(DrawingContext& ctx, const Rect& rect) {
    if (auto bg = currentBackgroundImage()) ctx.drawImage(bg, rect);
    Rect content = rect.inset(contentInsets_);
    const ImagePtr img = currentImage();
    std::string t = currentTitle();
    TextAlignment align = TextAlignment::Center;
    if (contentHorizontalAlignment() == ContentHorizontalAlignment::Left) align = TextAlignment::Left;
    if (contentHorizontalAlignment() == ContentHorizontalAlignment::Right) align = TextAlignment::Right;
    if (img && !t.empty()) {
        // A picture with a title: the two side by side, the picture first, placed together
        // by the content alignment; the title keeps what room is left.
        constexpr double kGap = 6;
        const Size picture = img->size();
        const double titleWidth =
            std::clamp(titleLabel_->font().widthOf(t), 0.0, std::max(0.0, content.width() - picture.width - kGap));
        const double group = picture.width + kGap + titleWidth;
        double x = content.midX() - group / 2;
        if (align == TextAlignment::Left) x = content.minX();
        if (align == TextAlignment::Right) x = content.maxX() - group;
        ctx.drawImage(img, Rect{x, content.midY() - picture.height / 2, picture.width, picture.height});
        content = Rect{x + picture.width + kGap, content.y(), titleWidth, content.height()};
        align = TextAlignment::Left;
    } else if (img) {
        ctx.drawImage(img, placeImage(img->size(), content, ContentMode::Center));
    }
    if (t.empty() && !img && type_ == ButtonType::DetailDisclosure) {
        drawDetailMark(ctx, content);
        return;
    }
    if (t.empty()) return;
    // A title too long for the button is drawn a little smaller, then cut with an ellipsis.
    Label title(Rect{}, t);
    title.setFont(titleLabel_->font());
    title.setTextAlignment(align);
    title.setAdjustsFontSizeToFitWidth(true);
    title.setMinimumScaleFactor(0.75);
    if (auto shadow = titleShadowColor(state())) {
        title.setShadowColor(*shadow);
        title.setShadowOffset(titleLabel_->shadowOffset());
    }
    title.setTextColor(currentTitleColor());
    ctx.saveState();
    ctx.translate(content.x(), 0);
    title.drawRect(ctx, Rect{0, content.y(), content.width(), content.height()});
    ctx.restoreState();
}

void Button::drawDetailMark(DrawingContext& ctx, const Rect& rect) const {
    // The toolkit's own picture: a blue ring with an "i".
    const double side = std::min({rect.width(), rect.height(), 22.0});
    const Rect ring{rect.midX() - side / 2, rect.midY() - side / 2, side, side};
    const Color blue = Color::rgba(0.0, 0.48, 1.0);
    ctx.saveState();
    ctx.setStrokeColor(blue);
    ctx.setLineWidth(1.5);
    ctx.strokeEllipse(ring.inset({1, 1, 1, 1}));
    ctx.restoreState();
    const Font f = Font::boldSystem(side * 0.6);
    ctx.drawText("i", Rect{ring.x(), ring.midY() - f.lineHeight() / 2, ring.width(), f.lineHeight()}, f, blue,
                 TextAlignment::Center);
}

std::string Button::displayText() const {
    std::string t = currentTitle();
    if (!t.empty()) return t;
    if (!accessibilityLabel().empty()) return accessibilityLabel();
    // The toolkit names its picture-only detail button, so that it can be told apart and tapped.
    if (type_ == ButtonType::DetailDisclosure) return uiText("More Info");
    if (auto img = currentImage()) return img->name();
    if (auto bg = currentBackgroundImage()) return bg->name();
    return {};
}

std::string Button::describeLine() const {
    std::string s = "Button";
    std::string t = currentTitle();
    if (!t.empty()) {
        s += " " + DescriptionWriter::quoted(t);
    } else if (type_ == ButtonType::DetailDisclosure) {
        s += " (i)";
    } else if (auto img = currentImage() ? currentImage() : currentBackgroundImage()) {
        s += " [" + img->name() + "]";
    }
    if (!isEnabled()) s += " (disabled)";
    if (isSelected()) s += " (selected)";
    return s;
}

void Button::describeInto(DescriptionWriter& out) const {
    if (isHidden()) {
        out.line(describeLine() + " (hidden)");
        return;
    }
    Control::describeInto(out);
}

}  // namespace plat
