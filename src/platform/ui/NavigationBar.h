#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/BarItemView.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/View.h"

namespace plat {

enum class BarStyle { Default, Black, BlackTranslucent };

// A bar with a stack of navigation items: the top item's title and buttons, and a back button
// titled after the item below it (unless the top item hides it or has a left button).
class NavigationBar : public View {
public:
    static constexpr double kHeight = 44;

    NavigationBar();
    explicit NavigationBar(const Rect& frame);

    const std::vector<NavigationItemPtr>& items() const { return items_; }
    void setItems(std::vector<NavigationItemPtr> items, bool animated = false);
    void pushNavigationItem(NavigationItemPtr item, bool animated = false);
    NavigationItemPtr popNavigationItem(bool animated = false);
    NavigationItemPtr topItem() const { return items_.empty() ? nullptr : items_.back(); }
    NavigationItemPtr backItem() const { return items_.size() < 2 ? nullptr : items_[items_.size() - 2]; }

    BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle style) { barStyle_ = style; }
    const std::optional<Color>& tintColor() const { return tintColor_; }
    void setTintColor(std::optional<Color> c) { tintColor_ = c; }
    const std::optional<Color>& barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<Color> c) { barTintColor_ = c; }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool t) { translucent_ = t; }
    // The bar's picture (a background image set for the default metrics).
    const ImagePtr& barImage() const { return barImage_; }
    void setBarImage(ImagePtr image) { barImage_ = std::move(image); }

    // The title of the back button shown now, empty when there is none.
    std::string backButtonTitle() const;
    // What a tap on the back button does: the owner (a navigation controller) pops; a bar on
    // its own pops its top item.
    void setBackHandler(std::function<void()> handler) { backHandler_ = std::move(handler); }
    bool tapBack();
    bool lastChangeAnimated() const { return lastAnimated_; }

    std::string kindName() const override { return "NavigationBar"; }
    std::string displayText() const override;
    std::string describeLine() const override;
    // Makes the top item's buttons subviews and places them on their sides.
    void updateForInspection() override;
    void layoutSubviews() override { updateForInspection(); }
    void drawRect(DrawingContext& context, const Rect& rect) override;

private:
    double itemWidth(const BarButtonItem& item, const View& view) const;
    void placeItems(std::size_t leftCount);
    // The room left of it by the views laid over the bar after it.
    Rect besideCoveringViews(Rect room) const;
    double backButtonWidth() const;

    std::vector<NavigationItemPtr> items_;
    BarStyle barStyle_ = BarStyle::Default;
    std::optional<Color> tintColor_, barTintColor_;
    bool translucent_ = true;
    ImagePtr barImage_;
    std::function<void()> backHandler_;
    bool lastAnimated_ = false;
    std::vector<BarButtonItemPtr> shownItems_;
    std::vector<ViewPtr> itemViews_;
    Rect titleRoom_;  // between the buttons
};

}  // namespace plat
