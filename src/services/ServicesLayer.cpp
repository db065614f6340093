#include "services/ServicesLayer.h"

#include <optional>

#include "history/HistoryScreenHooks.h"
#include "link/DeviceManager.h"
#include "model/Settings.h"
#include "services/NetworkReachability.h"
#include "services/SharingManager.h"
#include "services/VNRadResponderManager.h"
#include "services/VNZENETManager.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/LaunchHooks.h"
#include "shell/OpenURLHandlers.h"
#include "store/WaypointPhotoPrompt.h"

namespace qx {

namespace {

void submitToRadResponder(double doseRate, const std::optional<plat::Location>& location, plat::Date date) {
    VNRadResponderManager::sharedInstance().submitWaypoint(doseRate, location, date);
}

// Back on the network with automatic upload on: log in with the stored account, then upload
// everything pending. Off the network: no uploads until the next login.
void networkChanged(NetworkReachability::Status status) {
    static std::optional<bool> wasReachable;
    const bool reachable = status != NetworkReachability::Status::notReachable;
    const bool cameBack = reachable && wasReachable != true;
    wasReachable = reachable;
    Settings& settings = Settings::sharedSettings();
    if (!reachable) {
        settings.setZENETLoggedIn(false);
        return;
    }
    if (!cameBack || !settings.ZENETAutoApload()) return;
    const auto username = VNZENETManager::storedUsername();
    const auto password = VNZENETManager::storedPassword();
    if (!username || !password) return;
    VNZENETManager::sharedInstance().submitLoginWithUsername(username, password, [](bool success) {
        if (!success) return;
        Settings::sharedSettings().setZENETLoggedIn(true);
        VNZENETManager::sharedInstance().uploadAll();
    });
}

}  // namespace

void registerServicesLayer() {
    HistoryScreenHooks::setShareHandler(
        [](const HistoryScreenHooks::Records& records, unsigned options, HistoryScreenHooks::Completion completion) {
            SharingManager::sharedInstance().shareObjects(records, options,
                                                          std::move(completion));
        });
    HistoryScreenHooks::setDayShareHandler(
        [](const HistoryScreenHooks::Records& days, unsigned options, HistoryScreenHooks::Completion completion) {
            SharingManager::sharedInstance().shareWaypointsOfDays(days, options, std::move(completion));
        });
    OpenURLHandlers::setRadResponderRedirect(
        [](const std::string& url) { return VNRadResponderManager::sharedInstance().handleOpenURL(url); });
    WaypointPhotoPrompt::setReportingService(
        {[] { return VNRadResponderManager::sharedInstance().isConnected(); }, &submitToRadResponder});
    LaunchHooks::add(LaunchStep::radResponderLive, "RadResponder", [](KestrelAppDelegate&) {
        VNRadResponderManager::sharedInstance().setTestMode(false);
        DeviceManager::sharedDeviceManager().setAutosaveSubmitter(&submitToRadResponder);
    });
    LaunchHooks::add(LaunchStep::startReachability, "reachability", [](KestrelAppDelegate&) {
        auto& reachability = NetworkReachability::shared();
        reachability.setStatusChangeBlock(&networkChanged);
        reachability.startMonitoring();
    });
}

}  // namespace qx
