#include "platform/ui/ViewSearch.h"

namespace plat {

namespace {

void collect(View& v, std::vector<View*>& out) {
    if (v.isHidden() || v.alpha() <= 0.01) return;
    v.updateForInspection();
    out.push_back(&v);
    // Copy: inspection of a child may rebuild its parent's list.
    auto children = v.subviews();
    for (auto& c : children) collect(*c, out);
}

}  // namespace

std::vector<View*> visibleElements(View& root) {
    std::vector<View*> out;
    // The root counts as visible when its superviews hide it: the caller chose it.
    root.updateForInspection();
    out.push_back(&root);
    auto children = root.subviews();
    for (auto& c : children) collect(*c, out);
    return out;
}

std::vector<View*> findAllByText(View& root, const std::string& text) {
    std::vector<View*> out;
    for (View* v : visibleElements(root)) {
        if (v->displayText() == text) out.push_back(v);
    }
    return out;
}

View* findByText(View& root, const std::string& text) {
    auto all = findAllByText(root, text);
    return all.empty() ? nullptr : all.front();
}

View* findByAccessibilityIdentifier(View& root, const std::string& identifier) {
    for (View* v : visibleElements(root)) {
        if (v->accessibilityIdentifier() == identifier) return v;
    }
    return nullptr;
}

View& touchRoot(View& root) {
    View* front = &root;
    for (View* v : visibleElements(root)) {
        if (v != &root && v->isModalOverlay()) front = v;
    }
    return *front;
}

bool tapText(View& root, const std::string& text) {
    // A label may carry the same text as the button beside it: the first that acts wins.
    for (View* v : findAllByText(touchRoot(root), text)) {
        if (v->performTap()) return true;
    }
    return false;
}

}  // namespace plat
