#pragma once

#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace plat {

// Finding elements of a view tree, as the driver and tests do. "Visible" means not hidden and
// not transparent, the view and all its superviews; the order is depth first, back to front:
// the order of the screen's description.

std::vector<View*> visibleElements(View& root);
// Visible views that show exactly this text (a label's text, a button's title, a row's text,
// a field's text or placeholder, a bar button's title).
std::vector<View*> findAllByText(View& root, const std::string& text);
View* findByText(View& root, const std::string& text);
View* findByAccessibilityIdentifier(View& root, const std::string& identifier);

template <class T>
std::vector<T*> findAll(View& root) {
    std::vector<T*> out;
    for (View* v : visibleElements(root)) {
        if (auto* t = dynamic_cast<T*>(v)) out.push_back(t);
    }
    return out;
}

template <class T>
T* findFirst(View& root) {
    auto all = findAll<T>(root);
    return all.empty() ? nullptr : all.front();
}

// Where a touch lands: the front-most visible modal overlay (alert, sheet, progress overlay)
// inside the tree, else the tree itself.
View& touchRoot(View& root);
// Taps the first element with the text, among what a touch can reach, that does something
// when tapped; false when there is none.
bool tapText(View& root, const std::string& text);

}  // namespace plat
