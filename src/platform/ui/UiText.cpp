#include "platform/ui/UiText.h"

#include <mutex>

namespace plat {

namespace {

std::mutex& translatorMutex() {
    static std::mutex m;
    return m;
}

std::function<std::string(const std::string&)>& translator() {
    static std::function<std::string(const std::string&)> t;
    return t;
}

std::function<std::string()>& localeSource() {
    static std::function<std::string()> s;
    return s;
}

}  // namespace

std::string uiText(const std::string& english) {
    std::function<std::string(const std::string&)> t;
    {
        std::lock_guard lock(translatorMutex());
        t = translator();
    }
    return t ? t(english) : english;
}

std::string uiLocale() {
    std::function<std::string()> source;
    {
        std::lock_guard lock(translatorMutex());
        source = localeSource();
    }
    return source ? source() : "en_US";
}

void setUiLocaleSource(std::function<std::string()> source) {
    std::lock_guard lock(translatorMutex());
    localeSource() = std::move(source);
}

void setUiTextTranslator(std::function<std::string(const std::string&)> translate) {
    std::lock_guard lock(translatorMutex());
    translator() = std::move(translate);
}

}  // namespace plat
