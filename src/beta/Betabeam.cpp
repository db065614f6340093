#include "beta/Betabeam.h"

#include <memory>
#include <mutex>

#include "beta/BBAlternateSignalStack.h"
#include "beta/BBAppUpdater.h"
#include "beta/BBApplicationInformation.h"
#include "beta/BBCrashReportingHooks.h"
#include "beta/BBDeviceInfo.h"
#include "beta/BBEventManager.h"
#include "beta/BBHostApplication.h"
#include "beta/BBLogManager.h"
#include "beta/BBSDK.h"
#include "beta/BBSDKUpgradeManager.h"
#include "beta/BBServiceHost.h"
#include "beta/BBSessionManager.h"
#include "beta/BBTimer.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/NotificationCenter.h"

namespace bb {

namespace {

// Touched on the SDK queue only.
struct FacadeState {
    bool tookOff = false;
    bool manualSessions = false;
    bool inSession = false;
    bool production = true;
    bool reportCrashes = true;
    unsigned long flushInterval = Betabeam::kDefaultFlushInterval;
    std::shared_ptr<BBTimer> flushTimer;
    plat::ObserverToken didBecomeActive;
    plat::ObserverToken willResignActive;
    plat::ObserverToken willTerminate;
};

FacadeState& state() {
    static FacadeState* facade = new FacadeState();
    return *facade;
}

// The library's directory is brought up to this version's layout before anything uses it.
void setUpClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        BBSDKUpgradeManager::sharedSDKUpgradeManager().upgradeSDKIfNecessary();
        plat::file::ensureDirectory(bb_sdk_directory_path());
    });
}

BBSessionManager& sessionManager() { return BBSessionManager::sharedSessionManager(); }

void warn(const char* text) { bb_log_format("**BETABEAM WARNING**: %s", text); }

std::string dashboardAddress() { return BBServiceHost::webAddress() + "dashboard/apps"; }

void startFlushTimerIfDue() {
    FacadeState& facade = state();
    if (facade.flushInterval < 1 || facade.flushTimer) return;
    facade.flushTimer = BBTimer::initWithIntervalDispatchQueueBlock(static_cast<double>(facade.flushInterval),
                                                                    &bb_sdk_queue(), [] { BBEventManager::flush(); });
}

void dropFlushTimer() {
    FacadeState& facade = state();
    if (facade.flushTimer) facade.flushTimer->invalidate();
    facade.flushTimer.reset();
}

void observeApplication() {
    auto& center = plat::NotificationCenter::defaultCenter();
    FacadeState& facade = state();
    facade.didBecomeActive = center.addObserver(BBHostApplication::kDidBecomeActiveNotification,
                                                [](const plat::Notification&) { Betabeam::_automaticStartSession(); });
    facade.willResignActive = center.addObserver(BBHostApplication::kWillResignActiveNotification,
                                                 [](const plat::Notification&) { Betabeam::_automaticEndSession(); });
    facade.willTerminate = center.addObserver(BBHostApplication::kWillTerminateNotification,
                                              [](const plat::Notification&) { Betabeam::_automaticEndSession(); });
}

void takeOffOnQueue(const std::optional<std::string>& token) {
    FacadeState& facade = state();
    if (facade.tookOff) {
        warn("You may not call takeOff: more than once");
        return;
    }
    if (!token || token->find('_') != std::string::npos) {
        bb_log_format("**BETABEAM WARNING**:\nIt looks like you have used a Team Token. Betabeam SDK 1.2 and higher "
                      "require an Application Token.\nYou can get your application token from %s.\nSelect this "
                      "application and then select SDK.",
                      dashboardAddress().c_str());
        return;
    }
    BBApplicationInformation::setApplicationToken(*token);
    sessionManager().setApplicationToken(*token);
    facade.tookOff = true;
    facade.production = BBApplicationInformation::isProduction();
    if (!facade.manualSessions) {
        if (BBHostApplication::isActive()) Betabeam::_automaticStartSession();
        observeApplication();
    }
    if (facade.reportCrashes) {
        const BBCrashReportingHooks hooks = BBCrashReportingHooks::current();
        if (hooks.installCrashHandlers) hooks.installCrashHandlers();
        if (hooks.saveTokenDigest) hooks.saveTokenDigest(*token);
    }
    plat::dispatch::background([] {
        const BBCrashReportingHooks hooks = BBCrashReportingHooks::current();
        if (hooks.sendOldCrashes) hooks.sendOldCrashes();
        sessionManager().endOldSessions();
    });
}

// 0 stays off; anything shorter than the shortest interval is raised to it.
void applyFlushInterval(const BBValue& value) {
    FacadeState& facade = state();
    // A negative count of seconds is no interval at all.
    unsigned long seconds = 0;
    if (value.isNumber() && value.doubleValue() > 0) seconds = static_cast<unsigned long>(value.uint64Value());
    if (seconds > 0 && seconds < Betabeam::kShortestFlushInterval) seconds = Betabeam::kShortestFlushInterval;
    facade.flushInterval = seconds;
    if (seconds == 0) {
        dropFlushTimer();
        bb_log_format("Betabeam: Flush Timer turned off");
        return;
    }
    if (facade.flushTimer) facade.flushTimer->setInterval(static_cast<double>(seconds));
    if (facade.inSession) startFlushTimerIfDue();
    bb_log_format("Betabeam: Flush interval changed to %lu", seconds);
}

void applyOption(const BBValue& key, const BBValue& value) {
    FacadeState& facade = state();
    const std::string name = key.isString() ? std::string(key.string()) : std::string("(not a text)");
    const bool on = value.boolValue();
    if (name == "reinstallCrashHandlers") {
        const BBCrashReportingHooks hooks = BBCrashReportingHooks::current();
        if (on && hooks.installCrashHandlers) hooks.installCrashHandlers();
    } else if (name == "BBOptionReportCrashes") {
        if (facade.tookOff) {
            warn("You must set the `BBOptionReportCrashes` option before calling `takeOff:`");
        } else {
            facade.reportCrashes = on;
        }
    } else if (name == "BBOptionLogOnCheckpoint") {
        BBLogManager::sharedManager().setLogCheckpoints(on);
    } else if (name == "logToConsole") {
        BBLogManager::sharedManager().setLogToConsole(on);
    } else if (name == "logToSTDERR") {
        BBLogManager::sharedManager().setLogToSTDERR(on);
    } else if (name == "sendLogOnlyOnCrash") {
        sessionManager().setSendLogOnlyOnCrash(on);
    } else if (name == "BBOptionManualSessions") {
        if (facade.tookOff) {
            warn("You must set the `BBOptionManualSessions` option before calling `takeOff:`");
        } else {
            facade.manualSessions = on;
        }
    } else if (name == "disableInAppUpdates") {
        BBAppUpdater::setInAppUpdatesDisabled(on);
    } else if (name == "BBOptionSessionKeepAliveTimeout") {
        sessionManager().setSessionKeepAliveTimeout(value.doubleValue());
    } else if (name == "BBOptionFlushSecondsInterval") {
        applyFlushInterval(value);
    } else {
        bb_log_format("Betabeam: The key %s is not a valid option", name.c_str());
    }
}

void startSessionOnQueue(bool manual) {
    FacadeState& facade = state();
    if (!facade.tookOff) {
        warn("You cannot start a session without properly taking off");
        return;
    }
    if (manual && !facade.manualSessions) {
        warn("You cannot manually start a session without turning on manual sessions. Use option "
             "`BBOptionManualSessions`");
        return;
    }
    if (facade.inSession) return;
    facade.inSession = true;
    BBSessionManager& manager = sessionManager();
    const std::optional<std::string> previous = manager.sessionID();
    manager.startSession(manual);
    startFlushTimerIfDue();
    if (!facade.production) BBLogManager::sharedManager().setCurrentSessionID(manager.sessionID());
    bb_log_format(previous == manager.sessionID() ? "Betabeam: Continuing Session" : "Betabeam: Started Session");
}

void endSessionOnQueue(bool manual) {
    FacadeState& facade = state();
    if (manual && !facade.manualSessions) {
        warn("You cannot manually end a session without turning on manual sessions. Use option "
             "`BBOptionManualSessions`");
        return;
    }
    if (!facade.inSession) return;
    facade.inSession = false;
    bb_log_format("Betabeam: Ending Session");
    sessionManager().endSession(manual);
    dropFlushTimer();
    Betabeam::flush();
}

}  // namespace

void Betabeam::takeOff(const std::optional<std::string>& applicationToken) {
    setUpClass();
    // The handlers are installed on the library's queue; the host's thread needs its own stack.
    prepareCurrentThreadForCrashReports();
    bb_sdk_queue().sync([&] { takeOffOnQueue(applicationToken); });
}

void Betabeam::setOptions(const BBDictionary& options) {
    setUpClass();
    bb_sdk_queue().sync([&] {
        for (const auto& [key, value] : options) applyOption(key, value);
    });
}

void Betabeam::passCheckpoint(const std::optional<std::string>& checkpointName) {
    setUpClass();
    if (BBLogManager::sharedManager().logCheckpoints()) {
        bb_log_format("Betabeam: Checkpoint Passed - %s", checkpointName ? checkpointName->c_str() : "(null)");
    }
    bb_sdk_queue().async([checkpointName] {
        if (state().tookOff && !state().production) sessionManager().checkpointHitWithParameters(checkpointName, std::nullopt);
    });
}

void Betabeam::submitFeedback(const std::optional<std::string>& feedback) {
    setUpClass();
    bb_sdk_queue().async([feedback] {
        if (state().tookOff && !state().production) sessionManager().respondToFeedbackCustom(feedback);
    });
}

void Betabeam::addCustomEnvironmentInformationForKey(const std::optional<std::string>& information,
                                                     const std::string& key) {
    setUpClass();
    if (BBApplicationInformation::isProduction()) return;
    bb_sdk_queue().async([information, key] { BBDeviceInfo::addCustomEnvironmentInformationForKey(information, key); });
}

void Betabeam::manuallyStartSession() { _startSession(true); }

void Betabeam::manuallyEndSession() { _endSession(true); }

void Betabeam::_automaticStartSession() { _startSession(false); }

void Betabeam::_automaticEndSession() { _endSession(false); }

void Betabeam::_startSession(bool manual) {
    setUpClass();
    // Lines logged from here on wait for the new session's log.
    if (!BBApplicationInformation::isProduction()) BBLogManager::sharedManager().prepareToStartSession();
    bb_sdk_queue().async([manual] { startSessionOnQueue(manual); });
}

void Betabeam::_endSession(bool manual) {
    setUpClass();
    bb_sdk_queue().sync([manual] { endSessionOnQueue(manual); });
}

void Betabeam::flush() {
    setUpClass();
    bb_run_in_background_task([] {
        BBEventManager::flush();
        if (state().flushTimer) state().flushTimer->restart();
    });
}

void Betabeam::setDeviceIdentifier(const std::string& identifier) { (void)identifier; }

void Betabeam::prepareCurrentThreadForCrashReports() { BBAlternateSignalStack::prepareCurrentThread(); }

bool Betabeam::tookOff() {
    bool result = false;
    bb_sdk_queue().sync([&] { result = state().tookOff; });
    return result;
}

bool Betabeam::isInSession() {
    bool result = false;
    bb_sdk_queue().sync([&] { result = state().inSession; });
    return result;
}

unsigned long Betabeam::flushInterval() {
    unsigned long result = 0;
    bb_sdk_queue().sync([&] { result = state().flushInterval; });
    return result;
}

bool Betabeam::hasFlushTimer() {
    bool result = false;
    bb_sdk_queue().sync([&] { result = state().flushTimer != nullptr; });
    return result;
}

}  // namespace bb
