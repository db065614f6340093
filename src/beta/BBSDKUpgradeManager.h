#pragma once

#include <functional>
#include <vector>

namespace bb {

// Brings the library's directory up to the layout of this version of the library, once per
// process, before anything uses it. The applied version is kept in
// "latest_upgrade_version.msgpack" in the directory.
class BBSDKUpgradeManager {
public:
    struct Migration {
        double version;
        std::function<void()> block;
    };

    static BBSDKUpgradeManager& sharedSDKUpgradeManager();

    void upgradeSDKIfNecessary();

    // The version recorded in the directory; 0 when missing or unreadable.
    static long currentVersion();

private:
    BBSDKUpgradeManager();
    std::vector<Migration> migrations_;  // ascending versions
};

}  // namespace bb
