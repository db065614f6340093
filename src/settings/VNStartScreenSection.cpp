#include "settings/VNStartScreenSection.h"

#include "model/Settings.h"

namespace qx {

const std::vector<std::string>& VNStartScreenSection::screenKeys() {
    static const std::vector<std::string> keys{"Dashboard", "Track", "History", "World Map"};
    return keys;
}

std::optional<std::size_t> VNStartScreenSection::currentIndex() const {
    return rowOf(Settings::sharedSettings().startScreen());
}

void VNStartScreenSection::choose(std::size_t index) {
    auto& settings = Settings::sharedSettings();
    settings.setStartScreen(static_cast<unsigned>(index));
    settings.save();
}

}  // namespace qx
