#include "beta/BBAppUpdater.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "beta/BBApplicationInformation.h"
#include "beta/BBHostApplication.h"
#include "beta/BBSDK.h"
#include "beta/BBURLRequest.h"
#include "beta/BBUpdateAlert.h"
#include "beta/BBUpdatePrompt.h"
#include "beta/BBAppUpdaterHelper.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

namespace bb {

namespace {

std::atomic<bool> updatesDisabled{false};
std::atomic<bool> updating{false};
std::atomic<bool> alertShowing{false};

std::mutex promptMutex;
std::shared_ptr<BBUpdatePrompt>& promptSlot() {
    static auto* prompt = new std::shared_ptr<BBUpdatePrompt>(BBUpdatePrompt::loggingPrompt());
    return *prompt;
}

// The value of `key` when it is a string that is not empty.
const BBString* nonEmptyString(const BBDictionary& offer, const char* key) {
    const BBValue* value = offer.find(key);
    const BBString* text = value ? value->asString() : nullptr;
    return text && !text->empty() ? text : nullptr;
}

bool hasNoControlOrSpace(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
    });
}

}  // namespace

void BBAppUpdater::promptIfUpdateExists(const BBDictionary& reply) {
    plat::RunLoop::main().post([offer = reply] {
        if (auto alert = updateAlert(offer)) alert->show(*prompt());
    });
}

std::shared_ptr<BBUpdateAlert> BBAppUpdater::updateAlert(const BBDictionary& offer) {
    if (alertShowing || !BBApplicationInformation::allowInAppUpdate() || updatesDisabled) return nullptr;
    const BBString* fields[5] = {};
    const char* keys[5] = {"version", "title", "release_notes", "plist_url", "release_date"};
    for (int i = 0; i < 5; ++i) {
        fields[i] = nonEmptyString(offer, keys[i]);
        if (!fields[i]) return nullptr;
    }
    const BBValue* forceValue = offer.find("force_upgrade");
    if (forceValue && !forceValue->isNumber()) return nullptr;
    const bool forced = forceValue && forceValue->boolValue();
    const std::string version = fields[0]->str();
    if (shouldSkipVersion(version) && !forced) return nullptr;

    const std::string title = fields[1]->str() + " " + version + "\nNow Available";
    const std::string message = fields[2]->str() + "\n\n" + fields[4]->str() + "\n(Current Version: " +
                                BBApplicationInformation::getApplicationVersion() + ")";
    std::vector<std::string> buttons{"Update"};
    std::optional<int> cancel;
    if (!forced) {
        buttons.insert(buttons.end(), {"Skip This Build", "Not Now"});
        cancel = 2;
    }
    auto alert = std::make_shared<BBUpdateAlert>(title, message, std::move(buttons), cancel);
    auto helper = std::make_unique<BBAppUpdaterHelper>(prompt());
    helper->setAlert(alert.get());
    helper->setInfo(offer);
    alert->setDelegate(std::move(helper));
    return alert;
}

void BBAppUpdater::setInAppUpdatesDisabled(bool disabled) {
    plat::runOnMain([disabled] { updatesDisabled = disabled; });
}

bool BBAppUpdater::inAppUpdatesDisabled() { return updatesDisabled; }

void BBAppUpdater::setIsUpdating(bool isUpdating) {
    bb_sdk_queue().async([isUpdating] { updating = isUpdating; });
}

bool BBAppUpdater::isUpdating() { return updating; }

bool BBAppUpdater::isAlertShowing() { return alertShowing; }

void BBAppUpdater::setAlertShowing(bool showing) { alertShowing = showing; }

std::string BBAppUpdater::skipVersionKey() { return std::string(kBBReverseDomainPrefix) + ".upgrade-skip-version"; }

bool BBAppUpdater::shouldSkipVersion(const std::string& version) {
    auto skipped = plat::UserDefaults::standard().optionalStringForKey(skipVersionKey());
    return skipped && *skipped == version;
}

void BBAppUpdater::skipVersion(const std::string& version) {
    auto& defaults = plat::UserDefaults::standard();
    defaults.setString(skipVersionKey(), version);
    defaults.synchronize();
}

void BBAppUpdater::setPrompt(std::shared_ptr<BBUpdatePrompt> newPrompt) {
    std::lock_guard lock(promptMutex);
    promptSlot() = newPrompt ? std::move(newPrompt) : BBUpdatePrompt::loggingPrompt();
}

std::shared_ptr<BBUpdatePrompt> BBAppUpdater::prompt() {
    std::lock_guard lock(promptMutex);
    return promptSlot();
}

bool BBAppUpdater::isOpenableUpdateAddress(const std::string& url) {
    return !url.empty() && hasNoControlOrSpace(url) && BBURLRequest::isHTTPURL(url);
}

void BBAppUpdater::openUpdateAddress(const std::string& url) {
    if (!isOpenableUpdateAddress(url)) {
        bb_log_format("Betabeam: The update address is not an http or https address; it was not opened");
        return;
    }
    setIsUpdating(true);
    BBHostApplication::openURL(url);
}

}  // namespace bb
