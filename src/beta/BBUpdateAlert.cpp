#include "beta/BBUpdateAlert.h"

#include "beta/BBUpdatePrompt.h"
#include "beta/BBAppUpdaterHelper.h"

namespace bb {

BBUpdateAlert::BBUpdateAlert(std::string title, std::string message, std::vector<std::string> buttonTitles,
                             std::optional<int> cancelButtonIndex)
    : title_(std::move(title)),
      message_(std::move(message)),
      buttonTitles_(std::move(buttonTitles)),
      cancelButtonIndex_(cancelButtonIndex) {}

BBUpdateAlert::~BBUpdateAlert() = default;

void BBUpdateAlert::setDelegate(std::unique_ptr<BBAppUpdaterHelper> delegate) { delegate_ = std::move(delegate); }

void BBUpdateAlert::show(BBUpdatePrompt& prompt) {
    if (delegate_) delegate_->willPresentAlertView(*this);
    visible_ = true;
    prompt.show(shared_from_this());
}

void BBUpdateAlert::clickButtonAtIndex(int index) {
    if (!visible_) return;
    visible_ = false;
    if (delegate_) delegate_->alertViewClickedButtonAtIndex(*this, index);
}

void BBUpdateAlert::dismissWithClickedButtonIndex(int, bool) { visible_ = false; }

}  // namespace bb
