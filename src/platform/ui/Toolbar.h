#pragma once

#include <vector>

#include "platform/ui/BarItemView.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/View.h"

namespace plat {

// A bar of bar button items (flexible and fixed spaces included).
class Toolbar : public View {
public:
    static constexpr double kHeight = 44;
    using View::View;

    // The width of an item that sets none.
    static constexpr double kDefaultItemWidth = 60;

    const std::vector<BarButtonItemPtr>& items() const { return items_; }
    void setItems(std::vector<BarButtonItemPtr> items, bool animated = false);
    // Widens every titled item whose title does not fit the usual width to its title's width
    // (titles change with the language, so owners call it after setting them).
    void fitItemsToTitles();
    BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle s) { barStyle_ = s; }
    const std::optional<Color>& tintColor() const { return tint_; }
    void setTintColor(std::optional<Color> c) { tint_ = c; }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool t) { translucent_ = t; }
    bool lastChangeAnimated() const { return lastAnimated_; }

    void layoutSubviews() override;
    // Titles may have changed (a language switch): the items are placed again.
    void updateForInspection() override { layoutSubviews(); }
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "Toolbar"; }
    std::string describeLine() const override { return "Toolbar"; }

private:
    static double itemWidth(const BarButtonItem& item);
    std::vector<BarButtonItemPtr> items_;
    BarStyle barStyle_ = BarStyle::Default;
    std::optional<Color> tint_;
    bool translucent_ = true;
    bool lastAnimated_ = false;
};

}  // namespace plat
