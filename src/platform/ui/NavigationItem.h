#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"

namespace plat {

class View;

// What a navigation bar shows for one screen: title (or a title view) and the bar buttons.
class NavigationItem {
public:
    NavigationItem() = default;
    explicit NavigationItem(std::string title) : title_(std::move(title)) {}

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::shared_ptr<View>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<View> view) { titleView_ = std::move(view); }
    const std::string& prompt() const { return prompt_; }
    void setPrompt(std::string prompt) { prompt_ = std::move(prompt); }

    BarButtonItemPtr leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }
    void setLeftBarButtonItem(BarButtonItemPtr item, bool animated = false);
    const std::vector<BarButtonItemPtr>& leftBarButtonItems() const { return left_; }
    void setLeftBarButtonItems(std::vector<BarButtonItemPtr> items, bool animated = false);
    BarButtonItemPtr rightBarButtonItem() const { return right_.empty() ? nullptr : right_.front(); }
    void setRightBarButtonItem(BarButtonItemPtr item, bool animated = false);
    const std::vector<BarButtonItemPtr>& rightBarButtonItems() const { return right_; }
    void setRightBarButtonItems(std::vector<BarButtonItemPtr> items, bool animated = false);
    const BarButtonItemPtr& backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(BarButtonItemPtr item) { back_ = std::move(item); }
    bool hidesBackButton() const { return hidesBack_; }
    void setHidesBackButton(bool hides, bool animated = false);
    // The animation flag of the last change of the items.
    bool lastChangeAnimated() const { return lastAnimated_; }

private:
    std::string title_, prompt_;
    std::shared_ptr<View> titleView_;
    std::vector<BarButtonItemPtr> left_, right_;
    BarButtonItemPtr back_;
    bool hidesBack_ = false;
    bool lastAnimated_ = false;
};

using NavigationItemPtr = std::shared_ptr<NavigationItem>;

// What a tab bar shows for one screen.
struct TabBarItem {
    std::string title;
    ImagePtr image;
    ImagePtr selectedImage;
    std::string badgeValue;
    long tag = 0;
    bool enabled = true;
};

}  // namespace plat
