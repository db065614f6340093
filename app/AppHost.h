#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/Date.h"

#include "link/LinkLauncher.h"

namespace plat {
class Window;
}

namespace qx {
class KestrelAppDelegate;
}

namespace qx::app {

// Hosts the application under the driver: the data folder, one virtual clock as the shared
// clock (starting at the real time, or at the time given, and moved only by the driver, so
// that a script runs the same way every time), the main run loop on this thread, the layers' registrations, the
// instrument link, and the launch through the application delegate. When it goes, the demo
// instrument is let go and the store closes after the saves under way.
class AppHost {
public:
    enum class StartResult {
        started,
        badOptions,  // the instrument options cannot be used (an unplayable replay file)
        failed,
    };

    AppHost();
    ~AppHost();
    AppHost(const AppHost&) = delete;
    AppHost& operator=(const AppHost&) = delete;

    // Refuses a data folder that cannot be written before touching anything in it. The clock
    // starts at `clockStart` when given: a test that moves it by hours must not find its
    // readings split over two days because it ran late in the evening.
    StartResult start(const std::filesystem::path& home, const LinkOptions& link, std::string& error,
                      std::optional<plat::Date> clockStart = std::nullopt);
    // False, with the reason in `error`, when `home` exists but is read-only (by its
    // permissions, even for a superuser, or by its file system): the application could show
    // what is stored but never keep a reading.
    static bool dataFolderUsable(const std::filesystem::path& home, std::string& error);
    // The application's window once launched.
    plat::Window* window() const;
    // Where the program writes whole files in the data folder (set), by the names it gives them.
    static std::vector<plat::DataFolder::WrittenFiles> writtenFiles();

private:
    static void removeLeftovers();
    std::shared_ptr<KestrelAppDelegate> delegate_;
    bool started_ = false;
};

// Registers what the layers above the shell contribute to the launch (tab screens, launch
// hooks, interface files, the opened-file import); the one place a new layer is listed.
void registerApplicationLayers();

}  // namespace qx::app
