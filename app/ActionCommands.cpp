#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "CommandGroups.h"
#include "CommandSupport.h"
#include "Driver.h"
#include "TextEntry.h"
#include "model/Language.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "shell/CheckButton.h"

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
    Outcome outcome = touchElement(lookup.elements(), found.index);
    if (outcome.ok && !found.note.empty()) outcome.text = found.note + (outcome.text.empty() ? "" : "\n" + outcome.text);
    return outcome;
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

// A check box is flipped as a switch is.
bool isSwitch(const Element& e) {
    return e.role == Element::Role::View &&
           (dynamic_cast<const plat::Switch*>(e.view) != nullptr || dynamic_cast<const CheckButton*>(e.view) != nullptr);
}

bool isTextInput(const Element& e) { return e.role == Element::Role::View && e.view && takesText(*e.view); }

bool isRow(const Element& e) {
    return e.role == Element::Role::View && dynamic_cast<const plat::TableViewCell*>(e.view) != nullptr;
}

// The element a path names and, when it is not itself of the wanted kind, the one of that
// kind that belongs to it (the switch of a row, the field beside a label).
Found findWithPart(const ScreenLookup& lookup, const std::vector<Word>& path, const ElementFinder::Predicate& want,
                   const std::string& what) {
    Found found = lookup.find(path, want);
    if (!found || want(lookup.elements().at(found.index))) return found;
    return lookup.nearest(found.index, want, what);
}

Outcome toggle(Driver& driver, const std::vector<Word>& args) {
    if (args.empty()) return Outcome::failure("usage: toggle TEXT");
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    Found found = findWithPart(lookup, args, isSwitch, "switch");
    if (!found) return Outcome::failure(found.error);
    return touchElement(lookup.elements(), found.index);
}

// Whether the switch a label or row names is on or off (a switch shows no text to expect).
Outcome expectSwitch(Driver& driver, const std::vector<Word>& args) {
    const std::string usage = "usage: expect-switch TEXT on|off";
    if (args.size() < 2 || args.back().separator) return Outcome::failure(usage);
    const std::string& state = args.back().text;
    if (state != "on" && state != "off") return Outcome::failure(usage);
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    const std::vector<Word> path(args.begin(), args.end() - 1);
    Found found = findWithPart(lookup, path, isSwitch, "switch");
    bool on = false;
    if (found) {
        const plat::View* view = lookup.elements().at(found.index).view;
        const auto* box = dynamic_cast<const CheckButton*>(view);
        on = box ? box->checked() : static_cast<const plat::Switch*>(view)->isOn();
    } else {
        // A check list's row has no switch: its check mark is its state.
        const Found row = lookup.find(path, isRow);
        if (!row || !isRow(lookup.elements().at(row.index))) return Outcome::failure(found.error);
        found = row;
        const auto* cell = static_cast<const plat::TableViewCell*>(lookup.elements().at(row.index).view);
        on = cell->accessoryType() == plat::AccessoryType::Checkmark;
    }
    if (on == (state == "on")) return Outcome::success();
    return Outcome::failure("the switch at " + lookup.elements().nameOf(found.index) + " is " + (on ? "on" : "off"));
}

// The text to type is the last word, written back whole when it ended in "#N".
Outcome typeText(Driver& driver, const std::vector<Word>& args) {
    if (args.size() < 2 || args.back().separator) return Outcome::failure("usage: type FIELD TEXT");
    const Word& last = args.back();
    std::string text = last.index > 0 ? last.text + "#" + std::to_string(last.index) : last.text;
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    Found found = findWithPart(lookup, {args.begin(), args.end() - 1}, isTextInput, "text field");
    if (!found) return Outcome::failure(found.error);
    const Element& field = lookup.elements().at(found.index);
    if (!field.enabled) return Outcome::failure(lookup.elements().nameOf(found.index) + " is disabled");
    return typeInto(*field.view, text, lookup.elements().nameOf(found.index));
}

// A button of the alert or action sheet in front.
Outcome press(Driver& driver, const std::vector<Word>& args) {
    if (args.empty()) return Outcome::failure("usage: press TITLE");
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    const plat::View* overlay = lookup.window().frontmostOverlay();
    if (!overlay) return Outcome::failure("no alert or sheet is shown");
    const ScreenElements& all = lookup.elements();
    std::size_t within = Element::npos;
    for (std::size_t i = 0; i < all.size() && within == Element::npos; ++i) {
        if (all.at(i).role == Element::Role::View && all.at(i).view == overlay) within = i;
    }
    Found found = lookup.find(args, actionable, true, within);
    if (!found) return Outcome::failure(found.error);
    return touchElement(all, found.index);
}

// Swipes across a row and confirms its Delete button.
Outcome deleteRow(Driver& driver, const std::vector<Word>& args) {
    if (args.empty()) return Outcome::failure("usage: delete ROW");
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    const ScreenElements& all = lookup.elements();
    Found found = lookup.find(args, isRow);
    if (!found) return Outcome::failure(found.error);
    std::size_t row = found.index;
    while (row != Element::npos && !isRow(all.at(row))) row = all.at(row).parent;
    if (row == Element::npos) return Outcome::failure(all.nameOf(found.index) + " is not in a table row");
    auto* cell = static_cast<plat::TableViewCell*>(all.at(row).view);
    plat::TableView* table = cell->tableView();
    if (!table || !table->swipeToDelete(cell->indexPath())) {
        return Outcome::failure(all.nameOf(row) + " cannot be deleted");
    }
    return Outcome::success();
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

// The front-most scrolling view a finger can reach whose content is larger than it (a web
// page, a table, a text), else the front-most scrolling view at all.
plat::ScrollView* shownScrollView(const ScreenLookup& lookup) {
    plat::ScrollView *any = nullptr, *larger = nullptr;
    const ScreenElements& all = lookup.elements();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Element& e = all.at(i);
        auto* scroll = dynamic_cast<plat::ScrollView*>(e.view);
        if (!scroll || !reachable(e) || e.role != Element::Role::View || !scroll->acceptsTouches()) continue;
        any = scroll;
        const plat::Size content = scroll->contentSize(), view = scroll->bounds().size;
        if (content.height > view.height + 0.5 || content.width > view.width + 0.5) larger = scroll;
    }
    return larger ? larger : any;
}

std::optional<double> points(const Word& word) {
    double v = 0;
    const auto* end = word.text.data() + word.text.size();
    auto [ptr, ec] = std::from_chars(word.text.data(), end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
    return v;
}

// A finger's drag across a page, table or text: to its top or end, or by so many points (down
// and right are positive), stopping where the content ends.
Outcome scroll(Driver& driver, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 1, 2, "scroll top|end|DY|DX DY")) return *bad;
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    plat::ScrollView* view = shownScrollView(lookup);
    if (!view) return Outcome::failure("nothing on screen scrolls");
    view->updateForInspection();
    plat::Point to = view->contentOffset();
    constexpr double kFar = 1e12;  // the scroll stops at the content's edge
    if (args.size() == 1 && (args[0].text == "top" || args[0].text == "end")) {
        to.y = args[0].text == "top" ? -kFar : kFar;
    } else {
        const auto first = points(args[0]);
        const auto second = args.size() == 2 ? points(args[1]) : std::optional<double>(0);
        if (!first || !second) return Outcome::failure("scroll needs top, end or numbers of points");
        to.x += args.size() == 2 ? *first : 0;
        to.y += args.size() == 2 ? *second : *first;
    }
    if (!view->userScroll(to)) return Outcome::failure(view->kindName() + " cannot be scrolled");
    plat::Point at = view->contentOffset();
    if (at.y == 0) at.y = 0;  // no "-0"
    if (at.x == 0) at.x = 0;
    const double end = std::max(0.0, view->contentSize().height + view->adjustedContentInset().bottom - view->bounds().height());
    char line[96];
    std::snprintf(line, sizeof line, "%s at %.0f of %.0f", view->kindName().c_str(), at.y, end);
    std::string text = line;
    if (at.x != 0) {
        std::snprintf(line, sizeof line, " (across %.0f)", at.x);
        text += line;
    }
    return Outcome::success(text);
}

}  // namespace

void registerActionCommands(CommandRegistry& registry) {
    registry.add({"tap", "TEXT", "tap a button, row, bar button or tab by its text", tap});
    registry.add({"toggle", "TEXT", "flip a switch or check box found by its label or its row's text", toggle});
    registry.add({"expect-switch", "TEXT on|off",
                  "fail unless the switch or check box of that label or row (a check list's row: its "
                  "check mark) is so",
                  expectSwitch});
    registry.add({"type", "FIELD TEXT", "type into a field found by its placeholder or label, then end editing",
                  typeText});
    registry.add({"press", "TITLE", "press a button of the alert or action sheet shown", press});
    registry.add({"delete", "ROW", "swipe across a row and confirm Delete", deleteRow});
    registry.add({"scroll", "top|end|DY|DX DY",
                  "scroll the page, table or text on screen to its top or end, or by so many points", scroll});
    registry.add({"back", "", "tap the back button", back});
    registry.add({"tab", "NAME|NUMBER", "choose a tab by its title or its number (from 1)", tab});
}

}  // namespace qx::app
