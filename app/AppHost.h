#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace plat {
class Window;
}

namespace qx {
class KestrelAppDelegate;
}

namespace qx::app {

// Hosts the application under the driver: the data folder, one virtual clock as the shared
// clock (starting at the real time and moved only by the driver, so that a script runs the
// same way every time), the main run loop on this thread, the layers' registrations, and the
// launch through the application delegate.
class AppHost {
public:
    AppHost();
    ~AppHost();
    AppHost(const AppHost&) = delete;
    AppHost& operator=(const AppHost&) = delete;

    bool start(const std::filesystem::path& home, std::string& error);
    // The application's window once launched.
    plat::Window* window() const;

private:
    std::shared_ptr<KestrelAppDelegate> delegate_;
};

// Registers what the layers above the shell contribute to the launch (tab screens, launch
// hooks, interface files); the one place a new layer is listed.
void registerApplicationLayers();

}  // namespace qx::app
