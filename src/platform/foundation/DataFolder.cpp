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

// Takes away the group's and others' rights.
void keepToOwner(const std::filesystem::path& path) {
    std::error_code ec;
    const auto perms = std::filesystem::symlink_status(path, ec).permissions();
    if (ec || (perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all)) ==
                  std::filesystem::perms::none)
        return;
    std::filesystem::permissions(path, std::filesystem::perms::group_all | std::filesystem::perms::others_all,
                                 std::filesystem::perm_options::remove, ec);
}
}  // namespace

bool DataFolder::setRoot(const std::filesystem::path& path) {
    bool ok = file::ensureDirectory(path);
    keepToOwner(path);
    for (const char* sub : kSubfolders) {
        ok = file::ensureDirectory(path / sub) && ok;
        keepToOwner(path / sub);
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path, ec))
        if (entry.is_regular_file(ec) && !entry.is_symlink(ec)) keepToOwner(entry.path());
    std::lock_guard lock(rootMutex);
    rootSlot() = std::filesystem::absolute(path);
    return ok;
}

std::size_t DataFolder::removeLeftovers(const std::filesystem::path& root) {
    std::size_t removed = 0;
    auto removeIn = [&removed](const std::filesystem::path& folder, bool deep) {
        std::error_code ec;
        std::vector<std::filesystem::path> doomed;
        auto consider = [&](const std::filesystem::directory_entry& entry) {
            std::error_code e;
            if (entry.is_symlink(e) || !entry.is_regular_file(e)) return;
            if (file::isTemporaryName(entry.path().filename().string())) doomed.push_back(entry.path());
        };
        if (deep) {
            for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
                consider(*it);
        } else {
            for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
                consider(*it);
        }
        for (const auto& p : doomed) removed += std::filesystem::remove(p, ec) ? 1 : 0;
    };
    removeIn(root, false);
    for (const char* sub : kSubfolders) removeIn(root / sub, true);
    return removed;
}

}  // namespace plat
