#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bb {

class BBAppUpdaterHelper;
class BBUpdatePrompt;

// The update offer as an alert: a title, a message and buttons, shown by the host through a
// BBUpdatePrompt. The alert owns its delegate, so the delegate lives exactly as long as the alert.
// Used on the main thread only.
class BBUpdateAlert : public std::enable_shared_from_this<BBUpdateAlert> {
public:
    BBUpdateAlert(std::string title, std::string message, std::vector<std::string> buttonTitles,
                  std::optional<int> cancelButtonIndex);
    ~BBUpdateAlert();

    const std::string& title() const { return title_; }
    const std::string& message() const { return message_; }
    void setMessage(std::string message) { message_ = std::move(message); }
    const std::vector<std::string>& buttonTitles() const { return buttonTitles_; }
    std::optional<int> cancelButtonIndex() const { return cancelButtonIndex_; }
    int firstOtherButtonIndex() const { return 0; }
    bool isVisible() const { return visible_; }

    void setDelegate(std::unique_ptr<BBAppUpdaterHelper> delegate);
    BBAppUpdaterHelper* delegate() const { return delegate_.get(); }

    // Hands the alert to `prompt`, telling the delegate first.
    void show(BBUpdatePrompt& prompt);
    // The host's answer: the button the user chose; the alert is then gone.
    void clickButtonAtIndex(int index);
    // Closes the alert without telling the delegate of a choice.
    void dismissWithClickedButtonIndex(int index, bool animated);

private:
    std::string title_;
    std::string message_;
    std::vector<std::string> buttonTitles_;
    std::optional<int> cancelButtonIndex_;
    bool visible_ = false;
    std::unique_ptr<BBAppUpdaterHelper> delegate_;
};

}  // namespace bb
