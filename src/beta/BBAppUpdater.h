#pragma once

#include <memory>
#include <string>

#include "beta/BBValue.h"

namespace bb {

class BBUpdateAlert;
class BBUpdatePrompt;

// Offers a newer build that the service announced: an alert with "Update" (opens the build's
// install address), "Skip This Build" (that version is not offered again) and "Not Now"; a forced
// upgrade offers "Update" only. At most one such alert is up at a time.
class BBAppUpdater {
public:
    // Looks at a handshake reply on the main thread and shows the alert it calls for, if any.
    static void promptIfUpdateExists(const BBDictionary& reply);
    // The alert for an offer; none when the offer is incomplete, skipped or not allowed now.
    static std::shared_ptr<BBUpdateAlert> updateAlert(const BBDictionary& offer);

    static void setInAppUpdatesDisabled(bool disabled);
    static bool inAppUpdatesDisabled();
    static void setIsUpdating(bool updating);
    static bool isUpdating();
    static bool isAlertShowing();

    static bool shouldSkipVersion(const std::string& version);
    static void skipVersion(const std::string& version);

    // Where alerts are shown; by default they are only logged.
    static void setPrompt(std::shared_ptr<BBUpdatePrompt> prompt);
    static std::shared_ptr<BBUpdatePrompt> prompt();

    // Opens an announced install address through the host. Only http and https addresses are
    // opened: the address comes from the network and is never handed to anything else.
    static void openUpdateAddress(const std::string& url);
    static bool isOpenableUpdateAddress(const std::string& url);

private:
    friend class BBAppUpdaterHelper;
    static void setAlertShowing(bool showing);
    static std::string skipVersionKey();
};

}  // namespace bb
