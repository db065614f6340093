#include "settings/VNLanguageSection.h"

#include <algorithm>

#include "model/Language.h"
#include "model/Settings.h"
#include "shell/VNTableViewController.h"

namespace qx {

std::vector<std::string> VNLanguageSection::choiceKeys() const { return Language::supportedLanguages(); }

std::optional<std::size_t> VNLanguageSection::currentIndex() const {
    const auto& codes = Language::supportedLanguages();
    auto it = std::find(codes.begin(), codes.end(), Settings::sharedSettings().language());
    if (it == codes.end()) return std::nullopt;
    return static_cast<std::size_t>(it - codes.begin());
}

void VNLanguageSection::choose(std::size_t index) {
    auto& settings = Settings::sharedSettings();
    settings.setLanguage(Language::supportedLanguages().at(index));
    Language::setCurrentLanguage();
    settings.save();
}

void VNLanguageSection::updateCellsTitles() {
    ChoiceListSection::updateCellsTitles();
    if (auto screen = parentController(); screen && screen->isViewLoaded()) {
        screen->navItem().setTitle(Language::get("Language"));
        screen->navBar()->setNeedsDisplay();
    }
}

}  // namespace qx
