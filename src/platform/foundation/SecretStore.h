#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace plat {

// Passwords and tokens by service and account, in one file of the data folder that only its
// owner may read (mode 0600), rewritten atomically on every change. Secrets never go to the log.
// A damaged file (no JSON object) is moved aside before a change; a file that cannot be read at
// all (closed to this user, a FIFO, a device or a folder at its name, too large) is never waited
// for, never replaced nor moved, and the log says why once.
class SecretStore {
public:
    static constexpr const char* kFileName = "Secrets.json";
    // The most the file holds, read or written: a few passwords and tokens take far less.
    static constexpr std::size_t kMostBytes = std::size_t{4} << 20;

    // The store of the current data folder.
    static SecretStore standard();

    explicit SecretStore(std::filesystem::path file);

    std::optional<std::string> passwordForService(const std::string& service, const std::string& account) const;
    // False (and, when asked, why) when the file cannot be read or written; the old file then stays.
    bool setPassword(const std::string& password, const std::string& service, const std::string& account,
                     std::string* error = nullptr);
    // True when no readable secret is left for them (also when there was none); false when the
    // file could not be read, as the secret may still be in it.
    bool deletePassword(const std::string& service, const std::string& account, std::string* error = nullptr);

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace plat
