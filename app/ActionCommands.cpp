#include <algorithm>

#include "CommandGroups.h"
#include "CommandSupport.h"
#include "Driver.h"
#include "model/Language.h"

namespace qx::app {

namespace {

bool actionable(const Element& e) { return e.isActionable(); }

bool reachable(const Element& e) { return e.shown && !e.covered; }

Outcome tap(Driver& driver, const std::vector<Word>& args) {
    if (args.empty()) return Outcome::failure("usage: tap TEXT [> TEXT ...]");
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    Found found = lookup.find(args, actionable);
    if (!found) return Outcome::failure(found.error);
    return touchElement(lookup.elements(), found.index);
}

// The navigation bar's back button, else a button titled "Back" (screens with a bar of
// their own); the front-most one when there are several.
Outcome back(Driver& driver, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "back")) return *bad;
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    const ScreenElements& all = lookup.elements();
    const std::string localized = qx::Language::get("Back");
    std::size_t barButton = Element::npos, titled = Element::npos;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Element& e = all.at(i);
        if (!reachable(e)) continue;
        if (e.role == Element::Role::BackButton) barButton = i;
        if (e.isActionable() && (e.text == localized || e.text == "Back")) titled = i;
    }
    std::size_t chosen = barButton != Element::npos ? barButton : titled;
    if (chosen == Element::npos) return Outcome::failure("no back button on screen");
    return touchElement(all, chosen);
}

bool isNumber(const std::string& s) {
    return !s.empty() && s.size() < 4 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A tab by its title, or by its place counted from 1.
Outcome tab(Driver& driver, const std::vector<Word>& args) {
    std::string error;
    auto name = singleText(args, error);
    if (!name) return Outcome::failure("usage: tab NAME|NUMBER");
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    const ScreenElements& all = lookup.elements();
    std::vector<std::size_t> tabs, named;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all.at(i).role != Element::Role::Tab || !reachable(all.at(i))) continue;
        tabs.push_back(i);
        if (all.at(i).text == *name) named.push_back(i);
    }
    if (tabs.empty()) return Outcome::failure("no tab bar on screen");
    if (named.size() == 1) return touchElement(all, named.front());
    if (named.size() > 1) return Outcome::failure("more than one tab is titled \"" + *name + "\"; give its number");
    if (isNumber(*name)) {
        std::size_t n = static_cast<std::size_t>(std::stoi(*name));
        if (n >= 1 && n <= tabs.size()) return touchElement(all, tabs[n - 1]);
    }
    std::string list;
    for (std::size_t i : tabs) list += (list.empty() ? "\"" : ", \"") + all.at(i).text + "\"";
    return Outcome::failure("no tab \"" + *name + "\"; the tabs are " + list);
}

}  // namespace

void registerActionCommands(CommandRegistry& registry) {
    registry.add({"tap", "TEXT", "tap a button, row, bar button or tab by its text", tap});
    registry.add({"back", "", "tap the back button", back});
    registry.add({"tab", "NAME|NUMBER", "choose a tab by its title or its number (from 1)", tab});
}

}  // namespace qx::app
