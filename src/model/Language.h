#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qx {

inline constexpr const char* kVNLanguageDidSwitchedNotification = "kVNLanguageDidSwitchedNotification";

// The interface language and its text table. Tables are JSON files keyed by the English text,
// resources/lang/<code>/*.json (one file per layer, merged); a key missing from the table shows
// the key itself, and a code without any table shows English.
class Language {
public:
    // The text of `key` in the current interface language.
    static std::string get(const std::string& key);
    // Makes Settings::language the interface language and posts the language notification.
    static void setCurrentLanguage();
    static std::string currentLanguage();
    // "en", "ja", "zh-Hans", "ru", "fr", "de".
    static const std::vector<std::string>& supportedLanguages();
    // The ICU locale name of a language code ("zh-Hans" -> "zh_Hans").
    static std::string localeName(const std::string& code);

private:
    static Language& instance();
    static constexpr const char* kFallbackLanguage = "en";

    void load(const std::string& code);
    // Loads the settings' language unless a language is loaded.
    void loadOnce();
    // Adds the tables of a language; the number of table files found.
    std::size_t readTables(const std::string& code);

    std::mutex mutex_;
    std::string code_;
    std::map<std::string, std::string> table_;
    bool loaded_ = false;
};

}  // namespace qx
