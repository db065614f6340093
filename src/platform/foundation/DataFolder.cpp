#include "platform/foundation/DataFolder.h"

#include <cstdlib>
#include <mutex>

#include "platform/foundation/FileUtil.h"

namespace plat {

namespace {
std::mutex rootMutex;
std::filesystem::path& rootSlot() {
    static std::filesystem::path root;
    return root;
}
}  // namespace

std::filesystem::path DataFolder::defaultRoot() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return std::filesystem::path(xdg) / "quorix";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".local" / "share" / "quorix";
}

std::filesystem::path DataFolder::root() {
    {
        std::lock_guard lock(rootMutex);
        if (!rootSlot().empty()) return rootSlot();
    }
    setRoot(defaultRoot());
    std::lock_guard lock(rootMutex);
    return rootSlot();
}

bool DataFolder::setRoot(const std::filesystem::path& path) {
    bool ok = file::ensureDirectory(path);
    for (const char* sub : {"Documents", "Photos", "Outbox", "Caches"}) {
        ok = file::ensureDirectory(path / sub) && ok;
    }
    std::lock_guard lock(rootMutex);
    rootSlot() = std::filesystem::absolute(path);
    return ok;
}

}  // namespace plat
