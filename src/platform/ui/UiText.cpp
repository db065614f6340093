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

}  // namespace

std::string uiText(const std::string& english) {
    std::function<std::string(const std::string&)> t;
    {
        std::lock_guard lock(translatorMutex());
        t = translator();
    }
    return t ? t(english) : english;
}

void setUiTextTranslator(std::function<std::string(const std::string&)> translate) {
    std::lock_guard lock(translatorMutex());
    translator() = std::move(translate);
}

}  // namespace plat
