#include "beta/BBAppUpdaterHelper.h"

#include <any>

#include "beta/BBAppUpdater.h"
#include "beta/BBHostApplication.h"
#include "beta/BBUpdateAlert.h"
#include "beta/BBUpdatePrompt.h"

namespace bb {

BBAppUpdaterHelper::BBAppUpdaterHelper(std::shared_ptr<BBUpdatePrompt> prompt) : prompt_(std::move(prompt)) {
    BBAppUpdater::setAlertShowing(true);
    orientationObserver_ = plat::NotificationCenter::defaultCenter().addObserver(
        BBHostApplication::kWillChangeStatusBarOrientationNotification,
        [this](const plat::Notification& notification) { orientationChange(notification); });
}

BBAppUpdaterHelper::~BBAppUpdaterHelper() {
    orientationObserver_.reset();
    BBAppUpdater::setAlertShowing(false);
}

void BBAppUpdaterHelper::willPresentAlertView(BBUpdateAlert& alert) {
    message_ = alert.message();
    fixMessageForOrientation(prompt_ ? prompt_->statusBarOrientation() : 1);
}

void BBAppUpdaterHelper::alertViewClickedButtonAtIndex(BBUpdateAlert& alert, int index) {
    message_.clear();
    alert.setMessage({});
    if (index == alert.firstOtherButtonIndex()) {
        BBAppUpdater::openUpdateAddress(infoString("plist_url"));
    } else if (index == alert.firstOtherButtonIndex() + 1) {
        BBAppUpdater::skipVersion(infoString("version"));
    }
}

void BBAppUpdaterHelper::orientationChange(const plat::Notification& notification) {
    if (const int* orientation = std::any_cast<int>(&notification.object)) fixMessageForOrientation(*orientation);
}

void BBAppUpdaterHelper::fixMessageForOrientation(int orientation) {
    if (!alert_ || !prompt_ || !prompt_->interfaceIdiomIsPhone() || isForced()) return;
    const bool portrait = orientation == 1 || orientation == 2;
    alert_->setMessage(portrait ? message_ : std::string());
}

void BBAppUpdaterHelper::dismissAlert() {
    if (alert_) alert_->dismissWithClickedButtonIndex(0, false);
}

bool BBAppUpdaterHelper::isForced() const {
    const BBValue* forced = info_.find("force_upgrade");
    return forced && forced->boolValue();
}

std::string BBAppUpdaterHelper::infoString(const char* key) const {
    const BBValue* value = info_.find(key);
    return value ? std::string(value->string()) : std::string();
}

}  // namespace bb
