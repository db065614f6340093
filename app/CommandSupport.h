#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "ElementFinder.h"

namespace qx::app {

// What the commands acting on screen elements share: the shown window's elements, read
// afresh for each command, and the element a path names.
class ScreenLookup {
public:
    explicit ScreenLookup(Driver& driver);

    // False (with error()) when no window is shown.
    bool ready() const { return elements_ != nullptr; }
    const std::string& error() const { return error_; }
    const ScreenElements& elements() const { return *elements_; }
    plat::Window& window() const { return *window_; }

    // The element the words name as a path (see ElementFinder::find). A row of a long list that
    // is out of view is looked for as a person would, by scrolling the list down a page at a
    // time from its top (see kRowsLookedThrough); the list stays where the row showed.
    Found find(const std::vector<Word>& words, const ElementFinder::Predicate& prefer = {}, bool touch = true,
               std::size_t within = Element::npos) const;
    // The one shown element satisfying `want` at or inside `i`, else inside the nearest
    // enclosing element that holds any, up to the row or group `i` is in: the switch of a row
    // found by its text, the field beside its label.
    Found nearest(std::size_t i, const ElementFinder::Predicate& want, const std::string& what) const;

    // How far down a long list find() looks for a row out of view.
    static constexpr long kRowsLookedThrough = 1000;

private:
    Found scrollToFind(const ElementPath& path, const ElementFinder::Predicate& prefer, bool touch) const;

    plat::Window* window_ = nullptr;
    // Read again when a list is scrolled to find a row: the object stays the same for callers.
    mutable std::unique_ptr<ScreenElements> elements_;
    std::string error_;
};

// A tap on an element as a person's finger would do it: a control, row, tab or bar button
// acts; a tap on a text inside a row reaches the row.
Outcome touchElement(const ScreenElements& elements, std::size_t i);

// Checks the number of arguments; the failure names the command's usage.
std::optional<Outcome> checkArgCount(const std::vector<Word>& args, std::size_t min, std::size_t max,
                                     const std::string& usage);

// The plain text of a single-word argument (no path separators, no #N).
std::optional<std::string> singleText(const std::vector<Word>& args, std::string& error);

}  // namespace qx::app
