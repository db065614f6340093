#include "ScreenElements.h"

#include "platform/ui/BarItemView.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace qx::app {

bool Element::isActionable() const {
    switch (role) {
        case Role::Tab:
        case Role::BackButton: return true;
        case Role::Screen:
        case Role::Section: return false;
        case Role::View: break;
    }
    return view && actsOnTap(*view);
}

bool actsOnTap(const plat::View& view) { return dynamic_cast<const plat::BarItemView*>(&view) != nullptr; }

ScreenElements::ScreenElements(plat::Window& window) {
    if (const plat::View* overlay = window.frontmostOverlay()) {
        for (const auto& sub : window.subviews()) {
            if (sub.get() == overlay) break;
            behindOverlay_.push_back(sub.get());
        }
    }
    collect(window, Element::npos, true, false);
}

std::size_t ScreenElements::add(Element e) {
    elements_.push_back(std::move(e));
    return elements_.size() - 1;
}

void ScreenElements::collect(plat::View& view, std::size_t parent, bool shown, bool covered) {
    // Bar buttons and rows become subviews only when asked for.
    view.updateForInspection();
    shown = shown && !view.isHidden() && view.alpha() > 0.01;
    if (std::find(behindOverlay_.begin(), behindOverlay_.end(), &view) != behindOverlay_.end()) covered = true;
    if (plat::ViewController* screen = view.viewController()) {
        parent = add(Element{Element::Role::Screen, &view, screen, 0, screen->kindName(), screen->title(), {}, parent,
                             shown, true, covered});
    }
    Element e{Element::Role::View, &view, nullptr, 0, view.kindName(), view.displayText(), {}, parent, shown, true,
              covered};
    if (auto* bar = dynamic_cast<plat::BarItemView*>(&view)) e.enabled = bar->item()->isEnabled();
    std::size_t self = add(std::move(e));
    addItems(view, self, shown, covered);
    for (const auto& sub : view.subviews()) collect(*sub, self, shown, covered);
}

// Items that a view shows without a view of their own.
void ScreenElements::addItems(plat::View& view, std::size_t parent, bool shown, bool covered) {
    if (auto* tabs = dynamic_cast<plat::TabBar*>(&view)) {
        for (std::size_t i = 0; i < tabs->items().size(); ++i) {
            const auto& item = tabs->items()[i];
            add(Element{Element::Role::Tab, &view, nullptr, i, "Tab", item.title, {}, parent, shown, item.enabled,
                        covered});
        }
    } else if (auto* nav = dynamic_cast<plat::NavigationBar*>(&view)) {
        std::string back = nav->backButtonTitle();
        if (!back.empty()) {
            add(Element{Element::Role::BackButton, &view, nullptr, 0, "BackButton", back, {}, parent, shown, true,
                        covered});
        }
    }
}

bool ScreenElements::isInside(std::size_t i, std::size_t ancestor) const {
    for (std::size_t p = elements_[i].parent; p != Element::npos; p = elements_[p].parent) {
        if (p == ancestor) return true;
    }
    return false;
}

std::string ScreenElements::placeOf(std::size_t i) const {
    for (std::size_t p = elements_[i].parent; p != Element::npos; p = elements_[p].parent) {
        if (!elements_[p].text.empty() && elements_[p].text != elements_[i].text) return elements_[p].text;
    }
    return {};
}

std::string ScreenElements::nameOf(std::size_t i) const {
    const Element& e = elements_[i];
    return e.kind + " \"" + e.text + "\"";
}

}  // namespace qx::app
