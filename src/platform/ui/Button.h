#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/Label.h"

namespace plat {

enum class ButtonType { Custom, System, DetailDisclosure, InfoLight, InfoDark, ContactAdd };

// A button with per-state title, title colour, image and background image; a state without
// its own value shows the normal state's.
class Button : public Control {
public:
    explicit Button(ButtonType type = ButtonType::Custom);
    Button(ButtonType type, const Rect& frame);
    static std::shared_ptr<Button> make(ButtonType type, const Rect& frame = {});

    ButtonType buttonType() const { return type_; }

    void setTitle(std::string title, ControlState state = ControlState::Normal);
    std::string title(ControlState state = ControlState::Normal) const;
    void setTitleColor(const Color& color, ControlState state = ControlState::Normal);
    Color titleColor(ControlState state = ControlState::Normal) const;
    void setTitleShadowColor(const Color& color, ControlState state = ControlState::Normal);
    std::optional<Color> titleShadowColor(ControlState state = ControlState::Normal) const;
    void setImage(ImagePtr image, ControlState state = ControlState::Normal);
    ImagePtr image(ControlState state = ControlState::Normal) const;
    void setBackgroundImage(ImagePtr image, ControlState state = ControlState::Normal);
    ImagePtr backgroundImage(ControlState state = ControlState::Normal) const;

    // The values for the current state.
    std::string currentTitle() const { return title(state()); }
    Color currentTitleColor() const { return titleColor(state()); }
    ImagePtr currentImage() const { return image(state()); }
    ImagePtr currentBackgroundImage() const { return backgroundImage(state()); }

    // The label that draws the title: its font and shadow offset are the button's.
    Label& titleLabel() { return *titleLabel_; }
    const Label& titleLabel() const { return *titleLabel_; }
    const EdgeInsets& contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(const EdgeInsets& in) { contentInsets_ = in; }
    bool adjustsImageWhenHighlighted() const { return adjustsImage_; }
    void setAdjustsImageWhenHighlighted(bool on) { adjustsImage_ = on; }

    Size sizeThatFits(Size size) const override;
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "Button"; }
    std::string displayText() const override;
    std::string describeLine() const override;
    // A hidden button is still listed, marked hidden, so the driver sees what is missing.
    void describeInto(DescriptionWriter& out) const override;

private:
    void drawDetailMark(DrawingContext& ctx, const Rect& rect) const;
    template <class T>
    static std::optional<T> lookup(const std::map<ControlState, T>& m, ControlState s) {
        auto it = m.find(s);
        if (it == m.end()) it = m.find(ControlState::Normal);
        if (it == m.end()) return std::nullopt;
        return it->second;
    }

    ButtonType type_;
    std::map<ControlState, std::string> titles_;
    std::map<ControlState, Color> titleColors_;
    std::map<ControlState, Color> shadowColors_;
    std::map<ControlState, ImagePtr> images_;
    std::map<ControlState, ImagePtr> backgrounds_;
    std::shared_ptr<Label> titleLabel_;
    EdgeInsets contentInsets_;
    bool adjustsImage_ = true;
};

using ButtonPtr = std::shared_ptr<Button>;

}  // namespace plat
