#include "beta/BBDeviceInfo.h"

#include <openssl/rand.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "beta/BBApplicationInformation.h"
#include "beta/BBCrypto.h"
#include "beta/BBExecutableImage.h"
#include "beta/BBInformationHooks.h"
#include "beta/BBSDK.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/UserDefaults.h"

namespace bb {

namespace {

struct State {
    std::mutex mutex;
    std::optional<BBDictionary> record;
    BBDictionary customEnvironment;
    std::optional<std::string> deviceIdentifier;
};

State& state() {
    static State* s = new State();
    return *s;
}

utsname systemNames() {
    utsname names{};
    ::uname(&names);
    return names;
}

const char* environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// The user's locale: the stored preference, else the environment's ("de_DE.UTF-8" -> "de_DE").
std::optional<std::string> locale() {
    if (auto stored = plat::UserDefaults::standard().optionalStringForKey("AppleLocale")) return stored;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = environment(name)) {
            std::string text = value;
            text = text.substr(0, text.find_first_of(".@"));
            if (text == "C" || text == "POSIX" || text.empty()) return std::nullopt;
            return text;
        }
    }
    return std::nullopt;
}

// The first of the user's preferred languages, written like "de-DE".
std::optional<std::string> preferredLanguage() {
    std::string language;
    auto stored = plat::UserDefaults::standard().stringListForKey("AppleLanguages");
    if (!stored.empty()) {
        language = stored.front();
    } else if (const char* list = environment("LANGUAGE")) {
        language = std::string(list).substr(0, std::string(list).find(':'));
    } else if (auto current = locale()) {
        language = current->substr(0, current->find('_'));
    }
    if (language.empty()) return std::nullopt;
    for (auto& c : language) c = c == '_' ? '-' : c;
    return language;
}

void addTimeZone(BBDictionary& record) {
    const auto now = static_cast<std::time_t>(plat::Date::now().timeIntervalSince1970());
    std::tm local{};
    localtime_r(&now, &local);
    // The zone name comes from this call's own result: the global tzname may be rewritten (and is
    // briefly empty) while another thread's tzset runs.
    record.set("time_zone", std::string(local.tm_zone ? local.tm_zone : "UTC"));
    record.set("time_zone_offset", static_cast<std::int64_t>(local.tm_gmtoff));
}

BBDictionary buildRecord(const BBDictionary& customEnvironment, const std::optional<std::string>& identifier) {
    const utsname names = systemNames();
    BBDictionary record;
    record.set("system_name", std::string(names.sysname));
    record.set("os_version", std::string(names.release));
    record.set("carrier", BBValue());
    record.set("device_model", BBDeviceInfo::machine());
    if (auto architecture = BBDeviceInfo::architecture()) record.set("device_architecture", *architecture);
    record.set("firmware", "");
    if (auto current = locale()) record.set("locale", *current);
    if (auto language = preferredLanguage()) record.set("language", *language);
    record.set("connection_state", BBDeviceInfo::connectivityState());
    addTimeZone(record);
    record.set("open_udid", BBDeviceInfo::openUDID());
    if (identifier) record.set("udid", *identifier);
    if (!customEnvironment.empty()) record.set("custom_environment", customEnvironment);
    return record;
}

// Replaces a cached record by a patched copy; true when there was one.
template <class Patch>
bool patchRecord(State& s, Patch patch) {
    if (!s.record) return false;
    BBDictionary copy = *s.record;
    patch(copy);
    s.record = std::move(copy);
    return true;
}

}  // namespace

BBDictionary BBDeviceInfo::deviceInformation() {
    State& s = state();
    BBDictionary environmentCopy;
    std::optional<std::string> identifier;
    {
        std::lock_guard lock(s.mutex);
        if (s.record) return *s.record;
        environmentCopy = s.customEnvironment;
        identifier = s.deviceIdentifier;
    }
    BBDictionary built = buildRecord(environmentCopy, identifier);
    std::lock_guard lock(s.mutex);
    // A patch that came while the record was being built has been applied to the cache's sources;
    // build again from them rather than lose it.
    if (!s.record) {
        if (!(s.customEnvironment == environmentCopy) || s.deviceIdentifier != identifier) {
            built = buildRecord(s.customEnvironment, s.deviceIdentifier);
        }
        s.record = std::move(built);
    }
    return *s.record;
}

void BBDeviceInfo::addCustomEnvironmentInformationForKey(const std::optional<std::string>& information,
                                                         const std::string& key) {
    State& s = state();
    bool patched = false;
    {
        std::lock_guard lock(s.mutex);
        if (information) {
            s.customEnvironment.set(key, *information);
        } else {
            s.customEnvironment.erase(key);
        }
        patched = patchRecord(s, [&](BBDictionary& record) {
            if (s.customEnvironment.empty()) {
                record.erase("custom_environment");
            } else {
                record.set("custom_environment", s.customEnvironment);
            }
        });
    }
    if (patched) bb_information_did_change();
}

void BBDeviceInfo::setDeviceIdentifier(const std::string& identifier) {
    if (!BBApplicationInformation::allowDeviceIdentifier()) return;
    State& s = state();
    bool patched = false;
    {
        std::lock_guard lock(s.mutex);
        s.deviceIdentifier = identifier;
        patched = patchRecord(s, [&](BBDictionary& record) { record.set("udid", identifier); });
    }
    if (patched) bb_information_did_change();
}

std::optional<std::string> BBDeviceInfo::carrier() { return std::nullopt; }

std::string BBDeviceInfo::machine() {
    static const std::string name = systemNames().machine;
    return name;
}

std::optional<std::string> BBDeviceInfo::architecture() {
    static const std::optional<std::string> name = [] {
        auto image = BBExecutableImage::read(BBExecutableImage::currentExecutablePath());
        return image ? image->architectureName() : std::nullopt;
    }();
    return name;
}

std::string BBDeviceInfo::connectivityState() {
    switch (bb_reachability_status()) {
        case 2: return "Cellular Active";
        case 1: return "Wifi Active";
        default: return "No Connection";
    }
}

std::string BBDeviceInfo::orientation() {
    // No orientation sensor is known to this platform.
    return "Unknown";
}

std::string BBDeviceInfo::batteryState() {
    std::error_code ec;
    for (const auto& supply : std::filesystem::directory_iterator("/sys/class/power_supply", ec)) {
        if (plat::file::read(supply.path() / "type").value_or("") != "Battery\n") continue;
        const std::string status = plat::file::read(supply.path() / "status").value_or("");
        if (status == "Discharging\n" || status == "Not charging\n") return "Unplugged";
        if (status == "Charging\n") return "Charging";
        if (status == "Full\n") return "Full";
    }
    return "Unknown";
}

std::string BBDeviceInfo::openUDID() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    const std::string key = std::string(kBBReverseDomainPrefix) + ".open-udid";
    auto& defaults = plat::UserDefaults::standard();
    if (auto kept = defaults.optionalStringForKey(key); kept && kept->size() == 40) return *kept;
    unsigned char bytes[20];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return {};
    const std::string id = BBCrypto::lowerHex(bytes, sizeof bytes);
    defaults.setString(key, id);
    defaults.synchronize();
    return id;
}

void BBDeviceInfo::_testReset() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.record.reset();
}

}  // namespace bb
