#include "AppHost.h"

#include <sys/stat.h>
#include <unistd.h>

#include "LaunchWiring.h"
#include "dashboard/DashboardController.h"
#include "history/HistoryLayer.h"
#include "maps/MapsLayer.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "services/ServicesLayer.h"
#include "settings/SettingsLayer.h"
#include "shell/Artwork.h"
#include "shell/KestrelAppDelegate.h"
#include "store/Store.h"

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
