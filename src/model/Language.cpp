#include "model/Language.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "model/Settings.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

namespace qx {

Language& Language::instance() {
    static Language* language = new Language();
    return *language;
}

const std::vector<std::string>& Language::supportedLanguages() {
    static const std::vector<std::string> codes{"en", "ja", "zh-Hans", "ru", "fr", "de"};
    return codes;
}

std::string Language::localeName(const std::string& code) {
    std::string name = code;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

void Language::load(const std::string& code) {
    table_.clear();
    code_ = code;
    loaded_ = true;
    // A stored code without a table (an unknown or mistyped one) would show every raw key; only
    // the known codes name a folder, so a code never leads the reading elsewhere.
    const auto& known = supportedLanguages();
    const bool isKnown = std::find(known.begin(), known.end(), code) != known.end();
    if ((!isKnown || readTables(code) == 0) && code != kFallbackLanguage) {
        plat::Log::line("Language load: no table for \"" + code + "\", English is shown");
        code_ = kFallbackLanguage;
        readTables(kFallbackLanguage);
    }
}

std::size_t Language::readTables(const std::string& code) {
    const auto dir = plat::Bundle::main().resourcePath() / "lang" / code;
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        if (it->path().extension() == ".json") files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());  // a fixed order, whatever the directory listing says
    for (const auto& file : files) {
        auto text = plat::file::read(file);
        auto j = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
        if (!j.is_object()) {
            plat::Log::line("Language load: " + plat::Log::quoted(file.string()) + " is not a JSON object");
            continue;
        }
        for (const auto& [key, value] : j.items()) {
            if (value.is_string()) table_[key] = value.get<std::string>();
        }
    }
    return files.size();
}

void Language::loadOnce() {
    {
        std::lock_guard lock(mutex_);
        if (loaded_) return;
    }
    // The settings are read outside the lock: their first save may fail, and its message asks
    // for texts.
    const std::string code = Settings::sharedSettings().language();
    std::lock_guard lock(mutex_);
    if (!loaded_) load(code);
}

std::string Language::get(const std::string& key) {
    auto& self = instance();
    self.loadOnce();
    std::lock_guard lock(self.mutex_);
    auto it = self.table_.find(key);
    return it == self.table_.end() ? key : it->second;
}

std::string Language::currentLanguage() {
    auto& self = instance();
    self.loadOnce();
    std::lock_guard lock(self.mutex_);
    return self.code_;
}

void Language::setCurrentLanguage() {
    auto& self = instance();
    const std::string code = Settings::sharedSettings().language();
    {
        std::lock_guard lock(self.mutex_);
        self.load(code);
    }
    plat::NotificationCenter::defaultCenter().post(kVNLanguageDidSwitchedNotification);
}

}  // namespace qx
