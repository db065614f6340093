#include "beta/BBApplicationInformation.h"

#include <filesystem>
#include <mutex>

#include "beta/BBExecutableImage.h"
#include "beta/BBInformationHooks.h"
#include "beta/BBPropertyList.h"
#include "beta/BBSDK.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileUtil.h"

namespace bb {

namespace {

struct State {
    std::mutex mutex;
    std::optional<std::map<std::string, std::string>> info;
    std::optional<std::string> executablePath;
    std::optional<BBDictionary> record;
    std::optional<std::string> token;
    std::optional<std::string> version;
    std::optional<std::optional<std::string>> uuid;
    std::optional<std::string> method;
    std::optional<std::string> encryptionDescription;
};

State& state() {
    static State* s = new State();
    return *s;
}

// Both are read under the state's lock.
const std::map<std::string, std::string>& hostInfo(State& s) {
    if (!s.info) s.info = plat::Bundle::main().infoDictionary();
    return *s.info;
}

const std::string& hostExecutable(State& s) {
    if (!s.executablePath) s.executablePath = BBExecutableImage::currentExecutablePath();
    return *s.executablePath;
}

std::optional<std::string> infoValue(const std::map<std::string, std::string>& info, const char* key) {
    auto it = info.find(key);
    if (it == info.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> applicationName(const std::map<std::string, std::string>& info) {
    for (const char* key : {"CFBundleDisplayName", "CFBundleName", "CFBundleExecutable"}) {
        if (auto name = infoValue(info, key)) return name;
    }
    return std::nullopt;
}

// The property list a profile embeds between its "<?xml" and its "</plist>".
std::optional<std::string_view> embeddedPropertyList(std::string_view profile) {
    const std::size_t start = profile.find("<?xml");
    if (start == std::string_view::npos || start == 0) return std::nullopt;
    const std::size_t end = profile.find("</plist>", start + 1);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view list = profile.substr(start, end + 8 - start);
    if (list.empty()) return std::nullopt;
    return list;
}

BBDictionary buildRecord(bool& nameMissing) {
    State& s = state();
    std::map<std::string, std::string> info;
    std::optional<std::string> token;
    {
        std::lock_guard lock(s.mutex);
        info = hostInfo(s);
        token = s.token;
    }
    BBDictionary record;
    if (auto identifier = infoValue(info, "CFBundleIdentifier")) record.set("bundle_identifier", *identifier);
    auto name = applicationName(info);
    nameMissing = !name;
    record.set("app_name", name.value_or("Unknown"));
    record.set("app_version", BBApplicationInformation::getApplicationVersion());
    if (token) record.set("application_token", *token);
    if (auto uuid = BBApplicationInformation::bundleUUID()) record.set("uuid", *uuid);
    std::string encryption;
    record.set("distribution_method", BBApplicationInformation::getDistributionMethod(&encryption));
    if (!encryption.empty()) record.set("binary_encryption_data", encryption);
    return record;
}

}  // namespace

void BBApplicationInformation::setHostBundle(std::map<std::string, std::string> info, std::string executablePath) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.info = std::move(info);
    s.executablePath = std::move(executablePath);
}

BBDictionary BBApplicationInformation::bundleInformation() {
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        if (s.record) return *s.record;
    }
    bool nameMissing = false;
    BBDictionary built = buildRecord(nameMissing);
    bool builtHere = false;
    BBDictionary result;
    {
        std::lock_guard lock(s.mutex);
        if (!s.record) {
            s.record = std::move(built);
            builtHere = true;
        }
        result = *s.record;
    }
    if (builtHere && nameMissing) {
        bb_log_format("Betabeam: Unable to find the application name. To resolve set CFBundleIdentifier, "
                      "CFBundleName or CFBundleExecutable");
    }
    return result;
}

std::optional<std::string> BBApplicationInformation::infoDictionaryValue(const std::string& key) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return infoValue(hostInfo(s), key.c_str());
}

void BBApplicationInformation::setApplicationToken(const std::string& token) {
    State& s = state();
    bool patched = false;
    {
        std::lock_guard lock(s.mutex);
        s.token = token;
        if (s.record) {
            BBDictionary copy = *s.record;
            copy.set("application_token", token);
            s.record = std::move(copy);
            patched = true;
        }
    }
    if (patched) bb_information_did_change();
}

std::optional<std::string> BBApplicationInformation::applicationToken() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.token;
}

std::optional<std::string> BBApplicationInformation::bundleUUID() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.uuid) {
        auto image = BBExecutableImage::read(hostExecutable(s));
        s.uuid = image ? image->uuidText() : std::nullopt;
    }
    return *s.uuid;
}

std::string BBApplicationInformation::getApplicationVersion() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.version) {
        const auto& info = hostInfo(s);
        auto shortVersion = infoValue(info, "CFBundleShortVersionString");
        auto build = infoValue(info, "CFBundleVersion");
        if (shortVersion && build) {
            s.version = *shortVersion + " (" + *build + ")";
        } else {
            s.version = shortVersion ? *shortVersion : build ? *build : "unknown_version";
        }
    }
    return *s.version;
}

bool BBApplicationInformation::hasEncryptionSet(std::string* description) {
    // The encryption information of the other platform's executables has no ELF counterpart:
    // it is never found, so the description stays untouched.
    (void)description;
    return false;
}

std::string BBApplicationInformation::getDistributionMethod(std::string* encryptionDescription) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.method) {
        std::string description;
        const bool encrypted = hasEncryptionSet(&description);
        s.encryptionDescription = description;
        const auto profilePath = std::filesystem::path(hostExecutable(s)).parent_path() / "embedded.mobileprovision";
        std::error_code ec;
        const auto profile = std::filesystem::is_regular_file(profilePath, ec) ? plat::file::read(profilePath)
                                                                               : std::nullopt;
        s.method = distributionMethodForProfile(profile, encrypted);
    }
    if (encryptionDescription) *encryptionDescription = s.encryptionDescription.value_or("");
    return *s.method;
}

std::string BBApplicationInformation::distributionMethodForProfile(const std::optional<std::string>& profile,
                                                                   bool encrypted) {
    if (!profile) return encrypted ? "encrypted" : "not_encrypted";
    const auto list = embeddedPropertyList(*profile);
    const auto parsed = list ? BBPropertyList::parseXML(*list) : std::nullopt;
    const BBDictionary* dictionary = parsed ? parsed->asDictionary() : nullptr;
    if (!dictionary) return "unknown";
    const BBValue* devices = dictionary->find("ProvisionedDevices");
    const bool listsDevices = devices && devices->asArray() && !devices->asArray()->empty();
    return listsDevices ? "ad_hoc" : "enterprise";
}

bool BBApplicationInformation::isProduction() {
    const std::string method = getDistributionMethod(nullptr);
    return method != "ad_hoc" && method != "enterprise";
}

bool BBApplicationInformation::allowInAppUpdate() {
    const std::string method = getDistributionMethod(nullptr);
    return method == "ad_hoc" || method == "enterprise" || method == "unknown";
}

bool BBApplicationInformation::allowDeviceIdentifier() { return allowInAppUpdate(); }

}  // namespace bb
