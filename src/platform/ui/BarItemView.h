#pragma once

#include <memory>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/FittedText.h"
#include "platform/ui/View.h"

namespace plat {

// The on-screen button of a bar button item inside a navigation bar or toolbar, so that bar
// buttons are found and tapped like any other element.
class BarItemView : public View {
public:
    BarItemView(BarButtonItemPtr item, const Rect& frame) : View(frame), item_(std::move(item)) {}
    const BarButtonItemPtr& item() const { return item_; }
    bool performTap() override { return acceptsTouches() && item_->press(); }
    std::string kindName() const override { return "BarButton"; }
    std::string displayText() const override { return item_->displayText(); }
    std::string describeLine() const override { return item_->describeLine(); }
    void drawRect(DrawingContext& context, const Rect& rect) override {
        if (item_->image()) {
            context.drawImage(item_->image(), rect);
            return;
        }
        Font f = titleFont(*item_);
        Color c = item_->isEnabled() ? Color::rgba(0, 122 / 255.0, 1) : Color::gray();
        // A title too long for the button is drawn smaller, then cut with an ellipsis, rather
        // than over its neighbours.
        FittedText::draw(context, item_->displayText(),
                         Rect{rect.x(), rect.midY() - f.lineHeight() / 2, rect.width(), f.lineHeight()}, f, c,
                         TextAlignment::Center, 0.6);
    }
    static Font titleFont(const BarButtonItem& item) {
        return item.style() == BarButtonStyle::Done ? Font::boldSystem(17) : Font::system(17);
    }

private:
    BarButtonItemPtr item_;
};

}  // namespace plat
