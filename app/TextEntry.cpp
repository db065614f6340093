#include "TextEntry.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "platform/ui/SearchBar.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

namespace qx::app {

namespace {

// The three text inputs behind one set of keystrokes.
struct Keyboard {
    std::function<bool()> begin;
    std::function<void()> clear;
    std::function<bool(const std::string&)> type;
    std::function<bool()> end;
    std::function<std::string()> text;
};

std::optional<Keyboard> keyboardFor(plat::View& view) {
    if (auto* field = dynamic_cast<plat::TextField*>(&view)) {
        return Keyboard{[field] { return field->becomeFirstResponder(); },
                        [field] {
                            if (!field->text().empty()) field->replaceText({0, field->text().size()}, "");
                        },
                        [field](const std::string& c) { return field->typeText(c); },
                        [field] { return field->resignFirstResponder(); },
                        [field] { return field->isSecureTextEntry() ? plat::maskedText(field->text()) : field->text(); }};
    }
    if (auto* search = dynamic_cast<plat::SearchBar*>(&view)) {
        return Keyboard{[search] { return search->becomeFirstResponder(); },
                        [search] {
                            if (!search->text().empty()) search->replaceAllText("");
                        },
                        [search](const std::string& c) { return search->typeText(c); },
                        [search] { return search->resignFirstResponder(); }, [search] { return search->text(); }};
    }
    if (auto* area = dynamic_cast<plat::TextView*>(&view)) {
        return Keyboard{[area] { return area->becomeFirstResponder(); },
                        [area] {
                            while (!area->text().empty() && area->deleteBackward()) {
                            }
                        },
                        [area](const std::string& c) { return area->typeText(c); },
                        [area] { return area->resignFirstResponder(); }, [area] { return area->text(); }};
    }
    return std::nullopt;
}

std::size_t characterLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;  // a stray continuation byte goes on its own
}

}  // namespace

bool takesText(const plat::View& view) {
    return dynamic_cast<const plat::TextField*>(&view) || dynamic_cast<const plat::SearchBar*>(&view) ||
           dynamic_cast<const plat::TextView*>(&view);
}

std::vector<std::string> utf8Characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = std::min(characterLength(static_cast<unsigned char>(text[i])), text.size() - i);
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

Outcome typeInto(plat::View& view, const std::string& text, const std::string& name) {
    auto keys = keyboardFor(view);
    if (!keys) return Outcome::failure(name + " does not take text");
    auto keep = view.shared_from_this();  // the screen may drop the field while it reacts
    if (!keys->begin()) return Outcome::failure(name + " does not start editing");
    keys->clear();
    std::size_t refused = 0;
    for (const std::string& c : utf8Characters(text)) refused += keys->type(c) ? 0 : 1;
    std::string note;
    if (refused > 0) {
        note = name + " refused " + std::to_string(refused) + " of the characters and holds \"" + keys->text() + "\"";
    }
    if (!keys->end()) note += (note.empty() ? "" : "; ") + name + " goes on editing (it refused to end)";
    return Outcome::success(note);
}

}  // namespace qx::app
