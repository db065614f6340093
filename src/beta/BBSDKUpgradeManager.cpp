#include "beta/BBSDKUpgradeManager.h"

#include <filesystem>

#include "beta/BBMessagePack.h"
#include "beta/BBSDK.h"
#include "platform/foundation/FileUtil.h"

namespace bb {

namespace {

std::filesystem::path versionFile() {
    return std::filesystem::path(bb_sdk_directory_path()) / "latest_upgrade_version.msgpack";
}

// An older layout is not worth converting: the library starts over with an empty directory.
void wipeDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(bb_sdk_directory_path(), ec);
    plat::file::ensureDirectory(bb_sdk_directory_path());
}

}  // namespace

BBSDKUpgradeManager& BBSDKUpgradeManager::sharedSDKUpgradeManager() {
    static BBSDKUpgradeManager* manager = new BBSDKUpgradeManager();
    return *manager;
}

BBSDKUpgradeManager::BBSDKUpgradeManager() : migrations_{{13.5, wipeDirectory}} {}

long BBSDKUpgradeManager::currentVersion() {
    auto data = BBMessagePack::messagePackWithContentsOfFile(versionFile());
    if (!data) return 0;
    auto record = BBMessagePack::unpackDictionary(data->view());
    const BBValue* version = record ? record->find("version") : nullptr;
    return version && version->isNumber() ? static_cast<long>(version->int64Value()) : 0;
}

void BBSDKUpgradeManager::upgradeSDKIfNecessary() {
    if (migrations_.empty()) return;
    const long current = currentVersion();
    // Migrations after the last one the directory has seen (versions count as whole numbers).
    std::size_t first = migrations_.size();
    while (first > 0 && static_cast<long>(migrations_[first - 1].version) > current) --first;
    for (std::size_t i = first; i < migrations_.size(); ++i) migrations_[i].block();

    const auto latest = static_cast<std::int32_t>(migrations_.back().version);
    if (auto packed = BBMessagePack::pack(BBDictionary{{"version", latest}})) {
        plat::file::writeAtomically(versionFile(), packed->view());
    }
}

}  // namespace bb
