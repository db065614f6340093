#pragma once

#include <filesystem>
#include <string>

namespace qx::app {

// Prepares the process to host the application under the driver: the data folder, one
// virtual clock as the shared clock (starting at the real time, moved only by the driver, so
// that a script runs the same way every time) and the main run loop on this thread.
class AppHost {
public:
    bool start(const std::filesystem::path& home, std::string& error);
};

}  // namespace qx::app
