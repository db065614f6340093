#include <algorithm>

#include "CommandGroups.h"
#include "CommandSupport.h"
#include "ContactSheet.h"
#include "Driver.h"
#include "platform/ui/LayoutCheck.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace qx::app {

namespace {

Outcome show(Driver& driver, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "show")) return *bad;
    return Outcome::success(driver.screenText());
}

// Whether some shown element's text contains `text` (elements behind an alert count: they can
// still be seen).
std::optional<bool> onScreen(Driver& driver, const std::vector<Word>& args, std::string& error) {
    auto text = singleText(args, error);
    if (!text) return std::nullopt;
    ScreenLookup lookup(driver);
    if (!lookup.ready()) {
        error = lookup.error();
        return std::nullopt;
    }
    const auto& all = lookup.elements().all();
    return std::any_of(all.begin(), all.end(),
                       [&](const Element& e) { return e.shown && e.text.find(*text) != std::string::npos; });
}

Outcome expect(Driver& driver, const std::vector<Word>& args) {
    std::string error;
    auto seen = onScreen(driver, args, error);
    if (!seen) return Outcome::failure(error);
    return *seen ? Outcome::success() : Outcome::failure("not on screen: \"" + args[0].text + "\"");
}

Outcome expectNot(Driver& driver, const std::vector<Word>& args) {
    std::string error;
    auto seen = onScreen(driver, args, error);
    if (!seen) return Outcome::failure(error);
    return *seen ? Outcome::failure("on screen, but should not be: \"" + args[0].text + "\"") : Outcome::success();
}

Outcome render(Driver& driver, const std::vector<Word>& args) {
    if (args.empty() || args[0].separator || args[0].text.empty()) {
        return Outcome::failure("usage: render FILE.png [TEXT [> TEXT ...]]");
    }
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    plat::View* view = &lookup.window();
    if (args.size() > 1) {
        Found found = lookup.find({args.begin() + 1, args.end()}, {}, false);
        if (!found) return Outcome::failure(found.error);
        view = lookup.elements().at(found.index).view;
    }
    std::string error;
    if (!view->renderToPng(args[0].text, 1, &error)) return Outcome::failure("cannot render: " + error);
    return Outcome::success();
}

// Fails naming every fault of the shown screen a person would see (see LayoutCheck).
Outcome checkLayout(Driver& driver, const std::vector<Word>& args) {
    if (auto bad = checkArgCount(args, 0, 0, "check-layout")) return *bad;
    ScreenLookup lookup(driver);
    if (!lookup.ready()) return Outcome::failure(lookup.error());
    auto problems = plat::LayoutCheck::run(lookup.window());
    if (problems.empty()) return Outcome::success();
    std::string text = plat::LayoutCheck::report(problems);
    text.pop_back();
    const std::string name = ContactSheet::screenName(lookup.window());
    return Outcome::failure("the \"" + name + "\" screen does not look right:\n" + text);
}

}  // namespace

void registerInspectionCommands(CommandRegistry& registry) {
    registry.add({"show", "", "print the screen as text", show});
    registry.add({"expect", "TEXT", "fail unless TEXT is on screen", expect});
    registry.add({"expect-not", "TEXT", "fail when TEXT is on screen", expectNot});
    registry.add({"render", "FILE.png [TEXT]", "draw the screen, or the element with that text, as a PNG picture",
                  render});
    registry.add({"check-layout", "",
                  "fail when a text is cut (a figure even with an ellipsis), too small, too faint, outside its view or over another text or a "
                  "picture, a view is off the screen, a modal screen has no backdrop, an image has no picture or a "
                  "control draws nothing",
                  checkLayout});
}

}  // namespace qx::app
