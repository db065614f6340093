#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ModalPrompt.h"
#include "platform/ui/TextField.h"

namespace plat {

enum class AlertStyle { Default, SecureTextInput, PlainTextInput, LoginAndPasswordInput };

// An alert: title, message, buttons and, by its style, one or two text fields. With a cancel
// button the cancel button is index 0 and the other buttons follow from 1; without one they
// start at 0.
class AlertView : public ModalPrompt {
public:
    AlertView(std::string title, std::string message, std::string cancelButtonTitle = {},
              std::vector<std::string> otherButtonTitles = {});
    static std::shared_ptr<AlertView> make(std::string title, std::string message, std::string cancelButtonTitle = {},
                                           std::vector<std::string> otherButtonTitles = {});
    // Makes and shows an alert. onDismiss runs for a button other than the cancel button and
    // gets that button's index (the first other button is 1 when there is a cancel button);
    // onCancel runs for the cancel button.
    static std::shared_ptr<AlertView> show(std::string title, std::string message, std::string cancelButtonTitle,
                                           std::vector<std::string> otherButtonTitles,
                                           std::function<void(long index)> onDismiss,
                                           std::function<void()> onCancel = {});

    const std::string& message() const { return message_; }
    void setMessage(std::string message);
    AlertStyle alertViewStyle() const { return style_; }
    void setAlertViewStyle(AlertStyle style);
    // The style's fields: one for plain and secure text, login (0) and password (1) for the
    // login style. Nullptr (and a log line) for any other index.
    std::shared_ptr<TextField> textFieldAtIndex(long index) const;
    long firstOtherButtonIndex() const;
    // A view of the caller's shown between the message and the buttons (a check box...).
    const std::shared_ptr<View>& contentView() const { return content_; }
    void setContentView(std::shared_ptr<View> view);

    void show(bool animated = true) { present(animated); }

    static std::vector<std::shared_ptr<AlertView>> visibleAlerts();
    static std::shared_ptr<AlertView> frontmostAlert();

    std::string kindName() const override { return "Alert"; }
    std::string describeLine() const override;
    void drawRect(DrawingContext& context, const Rect& rect) override;

protected:
    void rebuild() override;

private:
    // The title as drawn: wrapped to the box's width.
    std::shared_ptr<Label> titleLabel() const;
    std::string message_;
    AlertStyle style_ = AlertStyle::Default;
    std::vector<std::shared_ptr<TextField>> fields_;
    std::shared_ptr<View> content_;
};

// An action sheet: a title and buttons in this order: the destructive button, the other
// buttons, then the cancel button (so the cancel button comes last).
class ActionSheet : public ModalPrompt {
public:
    ActionSheet(std::string title, std::string cancelButtonTitle, std::string destructiveButtonTitle,
                std::vector<std::string> otherButtonTitles);
    static std::shared_ptr<ActionSheet> make(std::string title, std::string cancelButtonTitle,
                                             std::string destructiveButtonTitle,
                                             std::vector<std::string> otherButtonTitles);
    // Makes a sheet and shows it in the view. onDismiss runs for a button other than cancel
    // with its index; onCancel for the cancel button.
    static std::shared_ptr<ActionSheet> show(View* inView, std::string title, std::string cancelButtonTitle,
                                             std::string destructiveButtonTitle,
                                             std::vector<std::string> otherButtonTitles,
                                             std::function<void(long index)> onDismiss,
                                             std::function<void()> onCancel = {});

    long destructiveButtonIndex() const { return destructiveIndex_; }
    long firstOtherButtonIndex() const { return firstOther_; }
    void showInView(View* view, bool animated = true);
    // The view the sheet was shown in (plain pointer, only for reading while it lives).
    View* shownInView() const { return shownIn_; }

    static std::vector<std::shared_ptr<ActionSheet>> visibleSheets();

    std::string kindName() const override { return "ActionSheet"; }
    std::string describeLine() const override;
    void drawRect(DrawingContext& context, const Rect& rect) override;

protected:
    void rebuild() override;

private:
    // The title as drawn: small grey text wrapped to the panel; none without a title.
    std::shared_ptr<Label> titleLabel() const;
    // The panel of the title and every button but the cancel button.
    Rect group_;
    long destructiveIndex_ = kNoButton;
    long firstOther_ = kNoButton;
    View* shownIn_ = nullptr;
};

}  // namespace plat
