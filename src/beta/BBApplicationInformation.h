#pragma once

#include <map>
#include <optional>
#include <string>

#include "beta/BBValue.h"

namespace bb {

// What the library reports about the host application: the bundle record ("bundle_info"), the
// application token, and how the build was distributed, with the flags that follow from it.
// Everything is worked out on first use and kept; the record may be read and patched from any
// thread.
class BBApplicationInformation {
public:
    // The host's bundle: its information dictionary ("CFBundleIdentifier", "CFBundleName",
    // "CFBundleShortVersionString", "CFBundleVersion", "CFBundleExecutable", ...) and the path of its
    // executable, whose folder may hold the provisioning profile. Set before the first use; by
    // default the resources' information dictionary and this process's executable.
    static void setHostBundle(std::map<std::string, std::string> info, std::string executablePath);

    static BBDictionary bundleInformation();
    // One value of the host's information dictionary.
    static std::optional<std::string> infoDictionaryValue(const std::string& key);
    static void setApplicationToken(const std::string& token);
    static std::optional<std::string> applicationToken();

    static std::optional<std::string> bundleUUID();
    static std::string getApplicationVersion();
    // True when the executable carries encryption information with every field set; `description`
    // receives "cryptid %u cryptoff %u cryptsize %u" whenever that information was found. ELF
    // executables carry none.
    static bool hasEncryptionSet(std::string* description);
    // "ad_hoc", "enterprise", "unknown", "encrypted" or "not_encrypted".
    static std::string getDistributionMethod(std::string* encryptionDescription);

    static bool isProduction();
    static bool allowInAppUpdate();
    static bool allowDeviceIdentifier();

    // The method a provisioning profile's bytes name (no profile: by the encryption answer).
    static std::string distributionMethodForProfile(const std::optional<std::string>& profile, bool encrypted);
};

}  // namespace bb
