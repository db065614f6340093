#include "AppHost.h"

#include "dashboard/DashboardController.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "shell/KestrelAppDelegate.h"

namespace qx::app {

void registerApplicationLayers() { registerDashboardLayer(); }

AppHost::AppHost() = default;

AppHost::~AppHost() = default;

bool AppHost::start(const std::filesystem::path& home, std::string& error) {
    if (!plat::DataFolder::setRoot(home)) {
        error = "cannot use " + home.string() + " as the data folder";
        return false;
    }
    plat::Clock::setShared(std::make_shared<plat::VirtualClock>(plat::SystemClock().now()));
    plat::RunLoop::main().bindToCurrentThread();
    KestrelAppDelegate::prepareProcess();
    registerApplicationLayers();
    delegate_ = std::make_shared<KestrelAppDelegate>();
    if (!delegate_->applicationDidFinishLaunching()) {
        error = "the application did not launch";
        return false;
    }
    plat::RunLoop::main().drain();
    return true;
}

plat::Window* AppHost::window() const { return delegate_ ? delegate_->window().get() : nullptr; }

}  // namespace qx::app
