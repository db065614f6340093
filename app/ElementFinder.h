#pragma once

#include <functional>
#include <string>

#include "CommandParser.h"
#include "ScreenElements.h"

namespace qx::app {

struct Found {
    Found() = default;
    Found(std::size_t i, std::string why, std::string said = {})
        : index(i), error(std::move(why)), note(std::move(said)) {}

    std::size_t index = Element::npos;
    std::string error;  // why nothing was found, when index is npos
    std::string note;   // what a person should know of the choice (a text matched by its start)
    explicit operator bool() const { return index != Element::npos; }
};

// Finds the one element an element path names. Each step looks inside the elements the step
// before found; texts are compared whole. When a text matches an element and also something
// inside it (a row and its label), the outer one counts; with no whole match, a text that
// begins with the step's words counts. A path that names several elements
// at its end is refused with the candidates listed, so that a script never acts on a guess.
class ElementFinder {
public:
    using Predicate = std::function<bool(const Element&)>;

    explicit ElementFinder(const ScreenElements& elements) : elements_(elements) {}

    // `prefer`: when some of the matches at the end satisfy it, only those count (a switch for
    // "toggle", something that acts on a tap for "tap"). `touch`: the element will be touched,
    // so elements behind a modal alert or sheet do not count. `within`: the path starts inside
    // that element rather than anywhere on the screen.
    Found find(const ElementPath& path, const Predicate& prefer = {}, bool touch = true,
               std::size_t within = Element::npos) const;

private:
    // The elements within `scopes` (anywhere when empty) whose text is the step's, or begins with it.
    std::vector<std::size_t> matching(const PathStep& step, const std::vector<std::size_t>& scopes, bool prefix) const;
    std::vector<std::size_t> outermost(const std::vector<std::size_t>& matches) const;
    std::string ambiguity(const PathStep& step, const std::vector<std::size_t>& matches) const;

    const ScreenElements& elements_;
};

}  // namespace qx::app
