#include "AppHost.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "LaunchWiring.h"
#include "dashboard/DashboardController.h"
#include "history/HistoryLayer.h"
#include "maps/MapsLayer.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SecretStore.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/MailComposer.h"
#include "services/ServicesLayer.h"
#include "settings/SettingsLayer.h"
#include "shell/Artwork.h"
#include "shell/KestrelAppDelegate.h"
#include "store/Store.h"
#include "store/io/WaypointFile.h"

namespace qx::app {

void registerApplicationLayers() {
    registerToolkitWords();
    Artwork::registerAll();
    registerStoreLaunch();
    registerLinkLaunch();
    registerServicesLayer();
    registerMapsLayer();
    registerHistoryLayer();
    registerDashboardLayer();
    registerSettingsLayer();
}

AppHost::AppHost() = default;

AppHost::~AppHost() {
    if (!started_) return;
    LinkLauncher::shutDown();
    plat::RunLoop::main().drain();
    Store::closeDefaultStore();
}

namespace {

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::vector<plat::DataFolder::WrittenFiles> AppHost::writtenFiles() {
    const auto root = plat::DataFolder::root();
    const auto settingsFile = plat::DataFolder::preferencesFile().filename().string();
    return {
        {root, [settingsFile](std::string_view n) { return isOneOf(n, {settingsFile, plat::SecretStore::kFileName}); }},
        {plat::DataFolder::documents(), &WaypointFile::isExportName},
        {plat::DataFolder::outbox(), &plat::MailComposer::isMessageFileName},
        {plat::DataFolder::outbox() / "Drafts", &plat::MailComposer::isMessageFileName},
    };
}

void AppHost::removeLeftovers() {
    // Files half written by a program that was killed are of no use to anyone.
    if (const auto removed = plat::DataFolder::removeLeftovers(writtenFiles()))
        plat::Log::line("quorix: removed " + std::to_string(removed) + " temporary files left by an ended run");
}

bool AppHost::dataFolderUsable(const std::filesystem::path& home, std::string& error) {
    struct stat info {};
    if (::stat(home.c_str(), &info) != 0) return true;  // made at launch
    const bool noWriteBits = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (S_ISDIR(info.st_mode) && !noWriteBits && ::access(home.c_str(), W_OK | X_OK) == 0) return true;
    error = S_ISDIR(info.st_mode) ? "the data folder " + home.string() +
                                        " is read-only; nothing was changed. Make it writable, or choose another "
                                        "folder with --home"
                                  : home.string() + " is not a folder; choose a data folder with --home";
    return false;
}

AppHost::StartResult AppHost::start(const std::filesystem::path& home, const LinkOptions& link, std::string& error,
                                    std::optional<plat::Date> clockStart) {
    if (!dataFolderUsable(home, error)) return StartResult::failed;
    if (!plat::DataFolder::setRoot(home)) {
        error = "cannot use " + home.string() + " as the data folder";
        return StartResult::failed;
    }
    removeLeftovers();
    plat::Clock::setShared(std::make_shared<plat::VirtualClock>(clockStart.value_or(plat::SystemClock().now())));
    plat::RunLoop::main().bindToCurrentThread();
    KestrelAppDelegate::prepareProcess();
    started_ = true;
    if (!LinkLauncher::prepare(link, &error)) return StartResult::badOptions;
    registerApplicationLayers();
    delegate_ = std::make_shared<KestrelAppDelegate>();
    if (!delegate_->applicationDidFinishLaunching()) {
        error = "the application did not launch";
        return StartResult::failed;
    }
    plat::RunLoop::main().drain();
    return StartResult::started;
}

plat::Window* AppHost::window() const { return delegate_ ? delegate_->window().get() : nullptr; }

}  // namespace qx::app
