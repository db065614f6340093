#include "platform/foundation/SecretStore.h"

#include <nlohmann/json.hpp>

#include <mutex>

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace plat {

namespace {

std::mutex& storeMutex() {
    static std::mutex m;
    return m;
}

enum class Contents { missing, readable, unreadable };

// The file's secrets: {"service": {"account": "secret"}}.
Contents load(const std::filesystem::path& file, nlohmann::json& out) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        out = nlohmann::json::object();
        return Contents::missing;
    }
    const auto text = file::read(file);
    out = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    if (!out.is_object()) return Contents::unreadable;
    const auto perms = std::filesystem::symlink_status(file, ec).permissions();
    if (!ec && (perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all)) !=
                   std::filesystem::perms::none && file::keepToOwner(file)) {
        Log::line("SecretStore: " + Log::quoted(file.string()) + " was readable by others; now by its owner only");
    }
    return Contents::readable;
}

// Loads the file for a change; an unreadable one is moved aside rather than overwritten.
bool loadForChange(const std::filesystem::path& file, nlohmann::json& out, std::string* error) {
    if (load(file, out) != Contents::unreadable) return true;
    auto aside = file;
    aside += ".unreadable";
    std::error_code ec;
    std::filesystem::rename(file, aside, ec);
    if (ec) {
        if (error) *error = "cannot move the unreadable " + file.string() + " aside: " + ec.message();
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
    if (load(file_, secrets) != Contents::readable) return std::nullopt;
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
    if (load(file_, secrets) != Contents::readable) {
        // No readable secret is left; an unreadable file is left for whoever can mend it.
        return true;
    }
    const auto s = secrets.find(service);
    if (s == secrets.end() || !s->is_object() || !s->contains(account)) return true;
    s->erase(account);
    if (s->empty()) secrets.erase(s);
    return save(file_, secrets, error);
}

}  // namespace plat
