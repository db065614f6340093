#pragma once

#include <memory>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/View.h"

namespace plat {

// The on-screen button of a bar button item inside a navigation bar or toolbar, so that bar
// buttons are found and tapped like any other element.
class BarItemView : public View {
public:
    BarItemView(BarButtonItemPtr item, const Rect& frame) : View(frame), item_(std::move(item)) {}
    const BarButtonItemPtr& item() const { return item_; }
    bool performTap() override { return acceptsTouches() && item_->press(); }
    std::string kindName() const override { return "BarButton"; }
    std::string displayText() const override { return item_->displayText(); }
    std::string describeLine() const override { return item_->describeLine(); }

private:
    BarButtonItemPtr item_;
};

}  // namespace plat
