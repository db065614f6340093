#include "CommandSupport.h"

#include <algorithm>

#include "Driver.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/Window.h"

namespace qx::app {

ScreenLookup::ScreenLookup(Driver& driver) : window_(driver.window()) {
    if (window_) {
        elements_ = std::make_unique<ScreenElements>(*window_);
    } else {
        error_ = "no window is shown";
    }
}

Found ScreenLookup::find(const std::vector<Word>& words, const ElementFinder::Predicate& prefer, bool touch,
                         std::size_t within) const {
    ElementPath path;
    std::string error;
    if (!parsePath(words, path, error)) return {Element::npos, error};
    Found found = ElementFinder(*elements_).find(path, prefer, touch, within);
    if (found || within != Element::npos) return found;
    Found scrolled = scrollToFind(path, prefer, touch);
    return scrolled ? scrolled : found;
}

Found ScreenLookup::scrollToFind(const ElementPath& path, const ElementFinder::Predicate& prefer, bool touch) const {
    std::vector<plat::TableView*> lists;
    for (const auto& e : elements_->all()) {
        auto* table = dynamic_cast<plat::TableView*>(e.view);
        if (e.role == Element::Role::View && table && table->loadsRowsOnDemand() && e.shown && !e.covered)
            lists.push_back(table);
    }
    for (auto* table : lists) {
        const plat::Point start = table->contentOffset();
        const double page = std::max(1.0, table->bounds().height());
        long rows = 0;
        for (long sec = 0; sec < table->numberOfSections(); ++sec) rows += table->numberOfRows(sec);
        const double rowHeight = table->contentSize().height / static_cast<double>(std::max(1L, rows));
        const double end = std::max(0.0, std::min(table->contentSize().height - table->bounds().height(),
                                                  static_cast<double>(kRowsLookedThrough) * rowHeight));
        for (double y = 0;; y = std::min(y + page, end)) {
            table->setContentOffset({start.x, y}, false);
            *elements_ = ScreenElements(*window_);
            if (Found found = ElementFinder(*elements_).find(path, prefer, touch)) return found;
            if (y >= end) break;
        }
        table->setContentOffset(start, false);
        *elements_ = ScreenElements(*window_);
    }
    return {};
}

Found ScreenLookup::nearest(std::size_t i, const ElementFinder::Predicate& want, const std::string& what) const {
    const ScreenElements& all = *elements_;
    // Look no wider than the row or group the element is in: a whole screen, table or section
    // holding one switch does not make that switch belong to any text on it.
    auto tooWide = [&](std::size_t scope) {
        const Element& e = all.at(scope);
        return e.role == Element::Role::Screen || e.role == Element::Role::Section ||
               (e.view && (e.view->viewController() || dynamic_cast<const plat::TableView*>(e.view)));
    };
    for (std::size_t scope = i; scope != Element::npos && !tooWide(scope); scope = all.at(scope).parent) {
        std::vector<std::size_t> hits;
        for (std::size_t j = scope; j < all.size(); ++j) {
            const Element& e = all.at(j);
            if ((j == scope || all.isInside(j, scope)) && e.shown && !e.covered && want(e)) hits.push_back(j);
        }
        if (hits.size() == 1) return {hits.front(), {}};
        if (hits.size() > 1) return {Element::npos, "more than one " + what + " near " + all.nameOf(i)};
    }
    return {Element::npos, "no " + what + " at " + all.nameOf(i)};
}

Outcome touchElement(const ScreenElements& elements, std::size_t i) {
    const Element& e = elements.at(i);
    const std::string name = elements.nameOf(i);
    if (!e.enabled) return Outcome::failure(name + " is disabled");
    switch (e.role) {
        case Element::Role::Tab:
            if (static_cast<plat::TabBar*>(e.view)->tapItem(e.item)) return Outcome::success();
            return Outcome::failure(name + " cannot be chosen");
        case Element::Role::Segment:
            if (static_cast<plat::SegmentedControl*>(e.view)->tapSegment(e.item)) return Outcome::success();
            return Outcome::failure(name + " cannot be chosen");
        case Element::Role::BackButton:
            if (static_cast<plat::NavigationBar*>(e.view)->tapBack()) return Outcome::success();
            return Outcome::failure(name + " does not respond");
        case Element::Role::Screen:
        case Element::Role::Section:
        case Element::Role::Caption:
        case Element::Role::Handle: return Outcome::failure(name + " is not something to tap");
        case Element::Role::View: break;
    }
    // A touch that the view under the finger ignores goes to the view beneath it, up to the
    // screen; a control that ignores it (disabled) stops it, one that takes no touches at all
    // (a read-only name field in a row) lets it through.
    for (plat::View* v = e.view; v; v = v->superview()) {
        if (v->performTap()) return Outcome::success();
        if ((actsOnTap(*v) && v->isUserInteractionEnabled()) || v->viewController()) break;
    }
    return Outcome::failure("nothing happens when " + name + " is tapped");
}

std::optional<Outcome> checkArgCount(const std::vector<Word>& args, std::size_t min, std::size_t max,
                                     const std::string& usage) {
    if (args.size() >= min && args.size() <= max) return std::nullopt;
    return Outcome::failure("usage: " + usage);
}

std::optional<std::string> singleText(const std::vector<Word>& args, std::string& error) {
    if (args.size() != 1 || args[0].separator || args[0].index != 0) {
        error = "give one text (in double quotes when it has blanks)";
        return std::nullopt;
    }
    return args[0].text;
}

}  // namespace qx::app
