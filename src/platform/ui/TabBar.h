#pragma once

#include <functional>
#include <vector>

#include "platform/ui/NavigationItem.h"
#include "platform/ui/View.h"

namespace plat {

// The row of tabs at the bottom of a tab bar controller: the items and which one is selected.
// A tap on a tab goes to the handler its owner installs.
class TabBar : public View {
public:
    static constexpr double kHeight = 49;

    explicit TabBar(const Rect& frame) : View(frame) {}

    const std::vector<TabBarItem>& items() const { return items_; }
    void setItems(std::vector<TabBarItem> items) { items_ = std::move(items); }
    long selectedIndex() const { return selected_; }
    void setSelectedIndex(long index) { selected_ = index; }
    void setTapHandler(std::function<void(std::size_t)> handler) { tapHandler_ = std::move(handler); }
    // A tap on the tab at that index; false outside the items or when the bar takes no touch.
    bool tapItem(std::size_t index);

    std::string kindName() const override { return "TabBar"; }
    std::string describeLine() const override;
    void drawRect(DrawingContext& context, const Rect& rect) override;

private:
    std::vector<TabBarItem> items_;
    long selected_ = -1;
    std::function<void(std::size_t)> tapHandler_;
};

}  // namespace plat
