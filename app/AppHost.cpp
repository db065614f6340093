#include "AppHost.h"

#include <memory>

#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"

namespace qx::app {

bool AppHost::start(const std::filesystem::path& home, std::string& error) {
    if (!plat::DataFolder::setRoot(home)) {
        error = "cannot use " + home.string() + " as the data folder";
        return false;
    }
    plat::Clock::setShared(std::make_shared<plat::VirtualClock>(plat::SystemClock().now()));
    plat::RunLoop::main().bindToCurrentThread();
    plat::RunLoop::main().drain();
    return true;
}

}  // namespace qx::app
