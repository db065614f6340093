#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace plat {
class TableView;
class View;
class ViewController;
class Window;
}  // namespace plat

namespace qx::app {

// One thing a person can see on the screen and point at: a view, a screen (by its title), a
// tab of a tab bar, a segment of a segmented control, the back button of a navigation bar, a
// table section (by its header), the caption under a section and a handle to drag (of a slider
// or a scale).
struct Element {
    enum class Role { View, Screen, Tab, Segment, BackButton, Section, Caption, Handle };

    Role role = Role::View;
    // The view itself; for a screen its main view, for a tab its tab bar, for a segment its
    // control, for a back button its navigation bar, for a section or caption its table, for a
    // handle the view it slides on.
    plat::View* view = nullptr;
    plat::ViewController* screen = nullptr;  // Role::Screen
    std::size_t item = 0;                    // the tab's, segment's, section's or handle's index
    std::string kind;                        // what it is, for messages ("Button", "Tab"...)
    std::string text;                        // what it shows
    std::string otherText;                   // a second text it is known by (a field's placeholder)
    std::size_t parent = npos;               // the enclosing element
    bool shown = true;                       // not hidden itself or by an enclosing view
    bool enabled = true;
    bool covered = false;                    // behind a modal alert or sheet: no touch reaches it

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    bool matches(const std::string& t) const { return !t.empty() && (t == text || t == otherText); }
    bool startsWith(const std::string& t) const { return !t.empty() && text.rfind(t, 0) == 0; }
    // A button, a row, a switch, a field, a tab... something a tap acts on.
    bool isActionable() const;
};

// True for the views a tap acts on: controls, rows, bar buttons.
bool actsOnTap(const plat::View& view);

// The elements of a window in the order they are described (back to front, depth first),
// each knowing the element that encloses it.
class ScreenElements {
public:
    explicit ScreenElements(plat::Window& window);

    const std::vector<Element>& all() const { return elements_; }
    const Element& at(std::size_t i) const { return elements_[i]; }
    std::size_t size() const { return elements_.size(); }
    // True when `i` lies inside `ancestor` (not when they are the same).
    bool isInside(std::size_t i, std::size_t ancestor) const;
    // The text of the nearest enclosing element that shows one, for messages.
    std::string placeOf(std::size_t i) const;
    // How an element is named in messages: kind and quoted text.
    std::string nameOf(std::size_t i) const;

private:
    std::size_t add(Element e);
    // The element of a view (under the element of its screen when it is a screen's main view),
    // its items and its subviews.
    void collect(plat::View& view, std::size_t parent, bool shown, bool covered);
    void addItems(plat::View& view, Element owner, std::size_t self);
    // A table's rows go under their sections, as the table shows them.
    void collectTable(plat::TableView& table, std::size_t self, bool shown, bool covered);

    std::vector<const plat::View*> behindOverlay_;  // the window's views under a modal overlay
    std::vector<Element> elements_;
};

}  // namespace qx::app
