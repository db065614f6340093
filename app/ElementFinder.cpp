#include "ElementFinder.h"

#include <algorithm>

namespace qx::app {

namespace {

template <class Keep>
std::vector<std::size_t> filtered(const std::vector<std::size_t>& in, Keep keep) {
    std::vector<std::size_t> out;
    std::copy_if(in.begin(), in.end(), std::back_inserter(out), keep);
    return out;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::vector<std::size_t> ElementFinder::outermost(const std::vector<std::size_t>& matches) const {
    return filtered(matches, [&](std::size_t i) {
        return std::none_of(matches.begin(), matches.end(),
                            [&](std::size_t other) { return elements_.isInside(i, other); });
    });
}

std::string ElementFinder::ambiguity(const PathStep& step, const std::vector<std::size_t>& matches) const {
    std::string s = quoted(step.text) + " matches " + std::to_string(matches.size()) +
                    " elements; pick one with " + quoted(step.text) + "#N or a path (\"Place\" > " +
                    quoted(step.text) + "):";
    for (std::size_t n = 0; n < matches.size(); ++n) {
        s += "\n  #" + std::to_string(n + 1) + " " + elements_.nameOf(matches[n]);
        std::string place = elements_.placeOf(matches[n]);
        if (!place.empty()) s += " in " + quoted(place);
    }
    return s;
}

std::vector<std::size_t> ElementFinder::matching(const PathStep& step, const std::vector<std::size_t>& scopes,
                                                bool prefix) const {
    std::vector<std::size_t> matches;
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        const Element& e = elements_.at(i);
        if (!(prefix ? e.startsWith(step.text) : e.matches(step.text))) continue;
        if (!scopes.empty() &&
            std::none_of(scopes.begin(), scopes.end(), [&](std::size_t s) { return elements_.isInside(i, s); })) {
            continue;
        }
        matches.push_back(i);
    }
    return matches;
}

Found ElementFinder::find(const ElementPath& path, const Predicate& prefer, bool touch, std::size_t within) const {
    std::vector<std::size_t> scopes;  // empty: the whole screen
    if (within != Element::npos) scopes.push_back(within);
    std::string note;
    for (std::size_t k = 0; k < path.size(); ++k) {
        const PathStep& step = path[k];
        const bool last = k + 1 == path.size();
        std::vector<std::size_t> matches = matching(step, scopes, false);
        // A row is often known by the start of its text ("My first walk" for the row that also
        // shows the date): with no whole match, the one shown element whose text begins with
        // the words counts, and the caller is told which it took.
        bool byPrefix = false;
        if (std::none_of(matches.begin(), matches.end(), [&](std::size_t i) { return elements_.at(i).shown; })) {
            auto started = matching(step, scopes, true);
            auto shownStarted = filtered(started, [&](std::size_t i) { return elements_.at(i).shown; });
            if (!shownStarted.empty()) {
                matches = shownStarted;
                byPrefix = true;
            }
        }
        std::string where = k > 0 ? " inside " + quoted(path[k - 1].text)
                            : within != Element::npos ? " inside " + elements_.nameOf(within)
                                                      : std::string{};
        auto shown = filtered(matches, [&](std::size_t i) { return elements_.at(i).shown; });
        if (shown.empty()) {
            return {Element::npos, matches.empty() ? "no " + quoted(step.text) + " on screen" + where
                                                   : quoted(step.text) + where + " is hidden"};
        }
        matches = shown;
        if (last && touch) {
            matches = filtered(matches, [&](std::size_t i) { return !elements_.at(i).covered; });
            if (matches.empty()) return {Element::npos, quoted(step.text) + " is behind an alert or sheet"};
        }
        if (last && prefer) {
            auto preferred = filtered(matches, [&](std::size_t i) { return prefer(elements_.at(i)); });
            if (!preferred.empty()) matches = preferred;
        }
        matches = outermost(matches);
        if (step.index > 0) {
            if (static_cast<std::size_t>(step.index) > matches.size()) {
                return {Element::npos, quoted(step.text) + where + " is on screen " + std::to_string(matches.size()) +
                                           " time(s), not " + std::to_string(step.index)};
            }
            matches = {matches[static_cast<std::size_t>(step.index) - 1]};
        } else if (last && matches.size() > 1) {
            return {Element::npos, ambiguity(step, matches)};
        }
        if (byPrefix && matches.size() == 1) note = "took " + elements_.nameOf(matches.front());
        scopes = matches;
    }
    return {scopes.front(), {}, note};
}

}  // namespace qx::app
