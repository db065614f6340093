#include "platform/ui/NavigationItem.h"

namespace plat {

namespace {

std::vector<BarButtonItemPtr> single(BarButtonItemPtr item) {
    std::vector<BarButtonItemPtr> v;
    if (item) v.push_back(std::move(item));
    return v;
}

}  // namespace

void NavigationItem::setLeftBarButtonItem(BarButtonItemPtr item, bool animated) {
    setLeftBarButtonItems(single(std::move(item)), animated);
}

void NavigationItem::setLeftBarButtonItems(std::vector<BarButtonItemPtr> items, bool animated) {
    std::erase(items, nullptr);
    left_ = std::move(items);
    lastAnimated_ = animated;
}

void NavigationItem::setRightBarButtonItem(BarButtonItemPtr item, bool animated) {
    setRightBarButtonItems(single(std::move(item)), animated);
}

void NavigationItem::setRightBarButtonItems(std::vector<BarButtonItemPtr> items, bool animated) {
    std::erase(items, nullptr);
    right_ = std::move(items);
    lastAnimated_ = animated;
}

void NavigationItem::setHidesBackButton(bool hides, bool animated) {
    hidesBack_ = hides;
    lastAnimated_ = animated;
}

}  // namespace plat
