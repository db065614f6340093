#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace plat {

// Passwords and tokens by service and account, in one file of the data folder that only its
// owner may read (mode 0600), rewritten atomically on every change. Secrets never go to the log.
class SecretStore {
public:
    static constexpr const char* kFileName = "Secrets.json";

    // The store of the current data folder.
    static SecretStore standard();

    explicit SecretStore(std::filesystem::path file);

    std::optional<std::string> passwordForService(const std::string& service, const std::string& account) const;
    // False (and, when asked, why) when the file cannot be written; the old file then stays.
    bool setPassword(const std::string& password, const std::string& service, const std::string& account,
                     std::string* error = nullptr);
    // True when no readable secret is left for them (also when there was none).
    bool deletePassword(const std::string& service, const std::string& account, std::string* error = nullptr);

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace plat
