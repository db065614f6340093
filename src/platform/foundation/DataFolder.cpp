#include "platform/foundation/DataFolder.h"

#include <cstdlib>
#include <mutex>
#include <vector>

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

namespace {
constexpr const char* kSubfolders[] = {"Documents", "Photos", "Outbox", "Caches"};
}  // namespace

bool DataFolder::setRoot(const std::filesystem::path& path) {
    bool ok = file::makeOwnFolder(path);
    for (const char* sub : kSubfolders) ok = file::makeOwnFolder(path / sub) && ok;
    std::lock_guard lock(rootMutex);
    rootSlot() = std::filesystem::absolute(path);
    return ok;
}

std::size_t DataFolder::removeLeftovers(const std::vector<WrittenFiles>& places) {
    std::size_t removed = 0;
    for (const auto& place : places) {
        std::error_code ec;
        std::vector<std::filesystem::path> doomed;
        for (std::filesystem::directory_iterator it(place.folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code e;
            if (it->is_symlink(e) || !it->is_regular_file(e)) continue;
            const std::string name = it->path().filename().string();
            if (!file::isTemporaryName(name)) continue;
            const auto target = std::string_view(name).substr(0, name.rfind(".tmp-"));
            if (place.isOwnName && place.isOwnName(target)) doomed.push_back(it->path());
        }
        for (const auto& p : doomed) removed += std::filesystem::remove(p, ec) ? 1 : 0;
    }
    return removed;
}

}  // namespace plat
