#include "platform/foundation/SecretStore.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ReadFailure.h"

namespace plat {

namespace {

std::mutex& storeMutex() {
    static std::mutex m;
    return m;
}

enum class Contents { missing, readable, damaged, unread };

// Why the file could not be read at all, worded for the log; its contents never are.
std::string unreadText(const std::filesystem::path& file, int cause) {
    return "cannot read " + Log::quoted(file.string()) + ": " + ReadFailure::of(file, cause).reason({}) +
           "; the secrets in it are left as they are";
}

// Told once per file and cause: each secret asked for would repeat it.
void logUnread(const std::filesystem::path& file, int cause) {
    static std::map<std::filesystem::path, int> told;
    const auto [at, first] = told.try_emplace(file, cause);
    if (!first && at->second == cause) return;
    at->second = cause;
    Log::line("SecretStore: " + unreadText(file, cause));
}

// The file's secrets: {"service": {"account": "secret"}}. A FIFO, a device or a folder at its
// name, a file closed to this user or one far larger than any store of secrets is not read
// (nor waited for), and `cause` tells why.
Contents load(const std::filesystem::path& file, nlohmann::json& out, int& cause) {
    out = nlohmann::json::object();
    const auto text = file::readPlainFile(file, SecretStore::kMostBytes, cause);
    if (!text) {
        if (cause == ENOENT) return Contents::missing;
        logUnread(file, cause);
        return Contents::unread;
    }
    out = nlohmann::json::parse(*text, nullptr, false);
    if (!out.is_object()) return Contents::damaged;
    std::error_code ec;
    const auto perms = std::filesystem::symlink_status(file, ec).permissions();
    if (!ec && (perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all)) !=
                   std::filesystem::perms::none && file::keepToOwner(file)) {
        Log::line("SecretStore: " + Log::quoted(file.string()) + " was readable by others; now by its owner only");
    }
    return Contents::readable;
}

// Loads the file for a change. A damaged one is moved aside rather than overwritten; one that
// could not be read is left as it is, and nothing is written in its place.
bool loadForChange(const std::filesystem::path& file, nlohmann::json& out, std::string* error) {
    int cause = 0;
    const auto contents = load(file, out, cause);
    if (contents == Contents::unread) {
        if (error) *error = unreadText(file, cause);
        return false;
    }
    if (contents != Contents::damaged) return true;
    std::filesystem::path aside;
    if (const int moved = file::moveAside(file, ".unreadable", aside); moved != 0) {
        if (error) *error = "cannot move the unreadable " + file.string() + " aside: " + std::strerror(moved);
        return false;
    }
    Log::line("SecretStore: " + Log::quoted(file.string()) + " could not be read; kept as " +
              Log::quoted(aside.string()));
    out = nlohmann::json::object();
    return true;
}

bool save(const std::filesystem::path& file, const nlohmann::json& secrets, std::string* error) {
    std::string text;
    try {
        text = secrets.dump();
    } catch (const nlohmann::json::exception&) {
        // Only text that is valid UTF-8 can be kept; nothing of the secret goes into the message.
        if (error) *error = "a secret is not valid UTF-8 text";
        return false;
    }
    // Never more than a later load reads back.
    if (text.size() > SecretStore::kMostBytes) {
        errno = file::kTooLarge;
        if (error) *error = "the secrets would be larger than " + std::to_string(SecretStore::kMostBytes) + " bytes";
        return false;
    }
    // New files are made readable by their owner only (see file::writeAtomically).
    return file::writeAtomically(file, text, error);
}

}  // namespace

SecretStore SecretStore::standard() { return SecretStore(DataFolder::root() / kFileName); }

SecretStore::SecretStore(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<std::string> SecretStore::passwordForService(const std::string& service,
                                                           const std::string& account) const {
    std::lock_guard lock(storeMutex());
    nlohmann::json secrets;
    int cause = 0;
    if (load(file_, secrets, cause) != Contents::readable) return std::nullopt;
    const auto s = secrets.find(service);
    if (s == secrets.end() || !s->is_object()) return std::nullopt;
    const auto a = s->find(account);
    if (a == s->end() || !a->is_string()) return std::nullopt;
    return a->get<std::string>();
}

bool SecretStore::setPassword(const std::string& password, const std::string& service, const std::string& account,
                              std::string* error) {
    std::lock_guard lock(storeMutex());
    nlohmann::json secrets;
    if (!loadForChange(file_, secrets, error)) return false;
    if (!secrets[service].is_object()) secrets[service] = nlohmann::json::object();
    secrets[service][account] = password;
    return save(file_, secrets, error);
}

bool SecretStore::deletePassword(const std::string& service, const std::string& account, std::string* error) {
    std::lock_guard lock(storeMutex());
    nlohmann::json secrets;
    int cause = 0;
    switch (load(file_, secrets, cause)) {
        case Contents::readable: break;
        case Contents::unread:
            // The secret may still be in there: it is not said to be gone.
            if (error) *error = unreadText(file_, cause);
            return false;
        default:
            // No readable secret is left; a damaged file is left for whoever can mend it.
            return true;
    }
    const auto s = secrets.find(service);
    if (s == secrets.end() || !s->is_object() || !s->contains(account)) return true;
    s->erase(account);
    if (s->empty()) secrets.erase(s);
    return save(file_, secrets, error);
}

}  // namespace plat
