#include "ScreenElements.h"

#include "platform/ui/BarItemView.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace qx::app {

bool Element::isActionable() const {
    switch (role) {
        case Role::Tab:
        case Role::Segment:
        case Role::BackButton: return true;
        case Role::Screen:
        case Role::Section:
        case Role::Caption:
        case Role::Handle: return false;
        case Role::View: break;
    }
    return view && actsOnTap(*view);
}

bool actsOnTap(const plat::View& view) {
    return dynamic_cast<const plat::Control*>(&view) || dynamic_cast<const plat::TableViewCell*>(&view) ||
           dynamic_cast<const plat::BarItemView*>(&view) || dynamic_cast<const plat::SearchBar*>(&view) ||
           dynamic_cast<const plat::TextView*>(&view);
}

namespace {

bool isEnabled(const plat::View& view) {
    if (auto* control = dynamic_cast<const plat::Control*>(&view)) return control->isEnabled();
    if (auto* bar = dynamic_cast<const plat::BarItemView*>(&view)) return bar->item()->isEnabled();
    return true;
}

// A placeholder names a field even after text was typed into it.
std::string placeholderOf(const plat::View& view) {
    if (auto* field = dynamic_cast<const plat::TextField*>(&view)) return field->placeholder();
    if (auto* search = dynamic_cast<const plat::SearchBar*>(&view)) return search->placeholder();
    if (auto* area = dynamic_cast<const plat::TextView*>(&view)) return area->placeholder();
    return {};
}

}  // namespace

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
    std::size_t self = add(Element{Element::Role::View, &view, nullptr, 0, view.kindName(), view.displayText(),
                                   placeholderOf(view), parent, shown, isEnabled(view), covered});
    addItems(view, elements_[self], self);
    if (auto* table = dynamic_cast<plat::TableView*>(&view)) {
        collectTable(*table, self, shown, covered);
        return;
    }
    for (const auto& sub : std::vector<plat::ViewPtr>(view.subviews())) collect(*sub, self, shown, covered);
}

// Items that a view shows without a view of their own. The owner is a copy: adding items may
// move the list it came from.
void ScreenElements::addItems(plat::View& view, Element owner, std::size_t self) {
    Element item{Element::Role::Tab, &view, nullptr, 0, {}, {}, {}, self, owner.shown, owner.enabled, owner.covered};
    if (auto* tabs = dynamic_cast<plat::TabBar*>(&view)) {
        for (std::size_t i = 0; i < tabs->items().size(); ++i) {
            item.item = i;
            item.kind = "Tab";
            item.text = tabs->items()[i].title;
            item.enabled = tabs->items()[i].enabled;
            add(item);
        }
    } else if (auto* segments = dynamic_cast<plat::SegmentedControl*>(&view)) {
        for (std::size_t i = 0; i < segments->numberOfSegments(); ++i) {
            item.role = Element::Role::Segment;
            item.item = i;
            item.kind = "Segment";
            item.text = segments->titleForSegment(i);
            item.enabled = owner.enabled && segments->isSegmentEnabled(i);
            add(item);
        }
    } else if (auto* nav = dynamic_cast<plat::NavigationBar*>(&view)) {
        item.role = Element::Role::BackButton;
        item.kind = "BackButton";
        item.text = nav->backButtonTitle();
        if (!item.text.empty()) add(item);
    }
    const auto handles = view.dragHandles();
    for (std::size_t i = 0; i < handles.size(); ++i) {
        add(Element{Element::Role::Handle, &view, nullptr, i, "Handle", handles[i].name, {}, self, owner.shown,
                    owner.enabled, owner.covered});
    }
}

void ScreenElements::collectTable(plat::TableView& table, std::size_t self, bool shown, bool covered) {
    std::vector<const plat::View*> placed;
    auto put = [&](const std::shared_ptr<plat::View>& v, std::size_t parent) {
        if (!v) return;
        placed.push_back(v.get());
        collect(*v, parent, shown, covered);
    };
    put(table.tableHeaderView(), self);
    const auto inView = table.loadsRowsOnDemand() ? table.rowsInView() : std::vector<plat::IndexPath>{};
    for (long s = 0; s < table.numberOfSections(); ++s) {
        std::size_t section = add(Element{Element::Role::Section, &table, nullptr, static_cast<std::size_t>(s),
                                          "Section", table.headerTitle(s), {}, self, shown, true, covered});
        put(table.headerView(s), section);
        if (table.loadsRowsOnDemand()) {
            // A long list: the rows a person sees now, as the table itself lists them.
            for (const auto& ip : inView)
                if (ip.section == s) put(table.cellForRow(ip), section);
        } else {
            for (long r = 0; r < table.numberOfRows(s); ++r) put(table.cellForRow({s, r}), section);
        }
        std::string footer = table.footerTitle(s);
        if (!footer.empty()) {
            add(Element{Element::Role::Caption, &table, nullptr, static_cast<std::size_t>(s), "Footer", footer, {},
                        section, shown, true, covered});
        }
        put(table.footerView(s), section);
    }
    put(table.tableFooterView(), self);
    // Anything else inside the table (a background, a view of the table's owner) comes last.
    // Rows read earlier that are out of view now are not seen.
    for (const auto& sub : std::vector<plat::ViewPtr>(table.subviews())) {
        if (std::find(placed.begin(), placed.end(), sub.get()) != placed.end()) continue;
        if (table.loadsRowsOnDemand() && dynamic_cast<const plat::TableViewCell*>(sub.get())) continue;
        collect(*sub, self, shown, covered);
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
