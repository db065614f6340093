#pragma once

#include <functional>
#include <string>

namespace plat {

// The toolkit's own words ("Back", "Delete", "Cancel", "Send"...) in the interface language.
// The application installs its language table's lookup at launch; without one the English
// words show. The words are in the language tables as resources/lang/<code>/ui.json.
std::string uiText(const std::string& english);
void setUiTextTranslator(std::function<std::string(const std::string& english)> translate);
// The locale of the interface language ("ja_JP"), which sets how the toolkit writes dates; the
// application installs where it is read at launch; without it, "en_US".
std::string uiLocale();
void setUiLocaleSource(std::function<std::string()> source);

}  // namespace plat
