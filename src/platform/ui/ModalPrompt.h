#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace plat {

// What alerts and action sheets share: a title, numbered buttons (one of them may be the
// cancel button), being shown on top of the key window until a button dismisses it, and the
// handlers run with the chosen button's index.
//
// A shown prompt is kept alive by the list of visible prompts until it is dismissed.
class ModalPrompt : public View {
public:
    // Runs for every button, with its index.
    using ButtonHandler = std::function<void(long index)>;
    static constexpr long kNoButton = -1;
    // What is drawn over the screen beneath a shown prompt: it dims the screen, as the phone does.
    static constexpr Color kBackdrop = Color::rgba(0, 0, 0, 0.4);

    ~ModalPrompt() override;

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    long addButtonWithTitle(std::string title);
    long numberOfButtons() const { return static_cast<long>(buttonTitles_.size()); }
    // Empty outside the buttons.
    std::string buttonTitleAtIndex(long index) const;
    // kNoButton when there is none.
    long indexOfButton(const std::string& title) const;
    long cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(long index) { cancelIndex_ = index; }

    // The button handler runs for every button; the dismiss handler only for buttons other
    // than the cancel button (with the button's own index), the cancel handler only for the
    // cancel button.
    void setButtonHandler(ButtonHandler h) { buttonHandler_ = std::move(h); }
    void setDismissHandler(ButtonHandler h) { dismissHandler_ = std::move(h); }
    void setCancelHandler(std::function<void()> h) { cancelHandler_ = std::move(h); }

    bool isVisible() const;
    // Dismisses as if the button were pressed: the prompt leaves the screen, then the
    // handlers run. An index outside the buttons dismisses without running any.
    void dismissWithClickedButtonIndex(long index, bool animated);
    // The person presses a button; false when the prompt is not shown or has no such button.
    bool pressButton(long index);
    bool pressButton(const std::string& title);
    bool lastDismissAnimated() const { return lastAnimated_; }

    // Prompts on screen, oldest first; the last one is in front.
    static std::vector<std::shared_ptr<ModalPrompt>> visiblePrompts();
    static std::shared_ptr<ModalPrompt> frontmost();

    bool isModalOverlay() const override { return true; }
    void updateForInspection() override;
    std::string displayText() const override { return title_; }

protected:
    ModalPrompt(std::string title);
    // Puts the prompt on screen (over the key window when there is one).
    void present(bool animated);
    // Builds the subviews (labels, fields, buttons) from the current state; runs when the
    // prompt is shown or inspected after a change.
    virtual void rebuild() = 0;
    void markChanged() { changed_ = true; }
    std::shared_ptr<Button> makeButton(long index, const Rect& frame);
    // The buttons made since the last rebuild, in the order they were made.
    const std::vector<std::shared_ptr<Button>>& promptButtons() const { return buttons_; }
    const std::vector<std::string>& buttonTitles() const { return buttonTitles_; }
    // The prompt's look: the dimmed screen, a rounded panel, and hairlines between its rows.
    static void drawBackdrop(DrawingContext& context, const Rect& rect);
    static void drawPanel(DrawingContext& context, const Rect& panel);
    static void drawHairline(DrawingContext& context, Point from, Point to);
    bool lastPresentAnimated() const { return presentAnimated_; }

private:
    std::string title_;
    std::vector<std::string> buttonTitles_;
    std::vector<std::shared_ptr<Button>> buttons_;
    long cancelIndex_ = kNoButton;
    ButtonHandler buttonHandler_, dismissHandler_;
    std::function<void()> cancelHandler_;
    bool lastAnimated_ = false;
    bool presentAnimated_ = false;
    bool changed_ = true;
};

}  // namespace plat
