#include "platform/ui/ModalPrompt.h"

#include <algorithm>

#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace plat {

namespace {

std::vector<std::shared_ptr<ModalPrompt>>& shown() {
    static std::vector<std::shared_ptr<ModalPrompt>> list;
    return list;
}

}  // namespace

ModalPrompt::ModalPrompt(std::string title) : View(Screen::bounds()), title_(std::move(title)) {}

ModalPrompt::~ModalPrompt() = default;

void ModalPrompt::setTitle(std::string title) {
    title_ = std::move(title);
    markChanged();
}

long ModalPrompt::addButtonWithTitle(std::string title) {
    buttonTitles_.push_back(std::move(title));
    markChanged();
    return numberOfButtons() - 1;
}

std::string ModalPrompt::buttonTitleAtIndex(long index) const {
    if (index < 0 || index >= numberOfButtons()) return {};
    return buttonTitles_[static_cast<std::size_t>(index)];
}

long ModalPrompt::indexOfButton(const std::string& title) const {
    auto it = std::find(buttonTitles_.begin(), buttonTitles_.end(), title);
    return it == buttonTitles_.end() ? kNoButton : static_cast<long>(it - buttonTitles_.begin());
}

void ModalPrompt::updateForInspection() {
    if (!changed_) return;
    changed_ = false;
    removeAllSubviews();
    buttons_.clear();
    rebuild();
}

bool ModalPrompt::isVisible() const {
    const auto& list = shown();
    return std::any_of(list.begin(), list.end(), [this](const auto& p) { return p.get() == this; });
}

std::vector<std::shared_ptr<ModalPrompt>> ModalPrompt::visiblePrompts() { return shown(); }

std::shared_ptr<ModalPrompt> ModalPrompt::frontmost() { return shown().empty() ? nullptr : shown().back(); }

void ModalPrompt::present(bool animated) {
    if (isVisible()) return;
    presentAnimated_ = animated;
    changed_ = true;
    updateForInspection();
    auto self = std::static_pointer_cast<ModalPrompt>(shared_from_this());
    shown().push_back(self);
    if (Window* w = Window::keyWindow()) {
        setFrame(w->bounds());
        w->addSubview(self);
    }
}

void ModalPrompt::dismissWithClickedButtonIndex(long index, bool animated) {
    auto self = std::static_pointer_cast<ModalPrompt>(shared_from_this());  // alive through the handlers
    lastAnimated_ = animated;
    std::erase(shown(), self);
    removeFromSuperview();
    if (index < 0 || index >= numberOfButtons()) return;
    if (buttonHandler_) buttonHandler_(index);
    if (index == cancelIndex_) {
        if (cancelHandler_) cancelHandler_();
    } else if (dismissHandler_) {
        dismissHandler_(index);
    }
}

bool ModalPrompt::pressButton(long index) {
    if (!isVisible() || index < 0 || index >= numberOfButtons()) return false;
    dismissWithClickedButtonIndex(index, true);
    return true;
}

bool ModalPrompt::pressButton(const std::string& title) { return pressButton(indexOfButton(title)); }

void ModalPrompt::drawBackdrop(DrawingContext& ctx, const Rect& rect) {
    ctx.setFillColor(kBackdrop);
    ctx.fillRect(rect);
}

void ModalPrompt::drawPanel(DrawingContext& ctx, const Rect& panel) {
    ctx.setFillColor(Color::rgba(0.97, 0.97, 0.97));
    ctx.beginPath();
    ctx.addRoundedRect(panel, 12);
    ctx.fillPath();
}

void ModalPrompt::drawHairline(DrawingContext& ctx, Point from, Point to) {
    ctx.setStrokeColor(Color::rgba(0.78, 0.78, 0.8));
    ctx.setLineWidth(0.5);
    ctx.beginPath();
    ctx.moveTo(from);
    ctx.lineTo(to);
    ctx.strokePath();
}

std::shared_ptr<Button> ModalPrompt::makeButton(long index, const Rect& frame) {
    auto b = Button::make(ButtonType::System, frame);
    b->setTitle(buttonTitleAtIndex(index));
    if (index == cancelIndex_) b->titleLabel().setFont(Font::boldSystem(17));
    std::weak_ptr<ModalPrompt> weak = std::static_pointer_cast<ModalPrompt>(shared_from_this());
    b->addAction(TouchUpInside, [weak, index](Control&) {
        if (auto p = weak.lock()) p->pressButton(index);
    });
    buttons_.push_back(b);
    return b;
}

}  // namespace plat
