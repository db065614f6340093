#pragma once

#include <memory>
#include <string>

#include "beta/BBValue.h"
#include "platform/foundation/NotificationCenter.h"

namespace bb {

class BBUpdateAlert;
class BBUpdatePrompt;

// The delegate of the update alert. While one exists an update alert is showing; it follows the
// status bar's turns (a phone's landscape alert has no room for the release notes) and carries
// out the button the user chose.
class BBAppUpdaterHelper {
public:
    explicit BBAppUpdaterHelper(std::shared_ptr<BBUpdatePrompt> prompt);
    ~BBAppUpdaterHelper();
    BBAppUpdaterHelper(const BBAppUpdaterHelper&) = delete;
    BBAppUpdaterHelper& operator=(const BBAppUpdaterHelper&) = delete;

    void willPresentAlertView(BBUpdateAlert& alert);
    void alertViewClickedButtonAtIndex(BBUpdateAlert& alert, int index);
    void orientationChange(const plat::Notification& notification);
    void fixMessageForOrientation(int orientation);
    void dismissAlert();

    BBUpdateAlert* alert() const { return alert_; }
    void setAlert(BBUpdateAlert* alert) { alert_ = alert; }
    const BBDictionary& info() const { return info_; }
    void setInfo(BBDictionary info) { info_ = std::move(info); }

private:
    bool isForced() const;
    std::string infoString(const char* key) const;

    std::shared_ptr<BBUpdatePrompt> prompt_;
    std::string message_;
    BBUpdateAlert* alert_ = nullptr;  // the alert owns this delegate
    BBDictionary info_;
    plat::ObserverToken orientationObserver_;
};

}  // namespace bb
