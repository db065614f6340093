#include "platform/ui/BarButtonItem.h"

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/View.h"

namespace plat {

BarButtonItemPtr BarButtonItem::withTitle(std::string title, BarButtonStyle style, Action action) {
    auto item = std::make_shared<BarButtonItem>();
    item->title_ = std::move(title);
    item->style_ = style;
    item->action_ = std::move(action);
    return item;
}

BarButtonItemPtr BarButtonItem::withImage(ImagePtr image, BarButtonStyle style, Action action) {
    auto item = std::make_shared<BarButtonItem>();
    item->image_ = std::move(image);
    item->style_ = style;
    item->action_ = std::move(action);
    return item;
}

BarButtonItemPtr BarButtonItem::withSystemItem(SystemItem systemItem, Action action) {
    auto item = std::make_shared<BarButtonItem>();
    item->systemItem_ = systemItem;
    item->action_ = std::move(action);
    return item;
}

BarButtonItemPtr BarButtonItem::withCustomView(std::shared_ptr<View> view) {
    auto item = std::make_shared<BarButtonItem>();
    item->customView_ = std::move(view);
    return item;
}

bool BarButtonItem::press() {
    if (!enabled_ || !action_) return false;
    auto action = action_;  // the action may replace itself
    action(*this);
    return true;
}

namespace {

const char* systemWord(SystemItem item) {
    switch (item) {
        case SystemItem::None: return "";
        case SystemItem::Done: return "Done";
        case SystemItem::Cancel: return "Cancel";
        case SystemItem::Edit: return "Edit";
        case SystemItem::Save: return "Save";
        case SystemItem::Add: return "Add";
        case SystemItem::FlexibleSpace: return "";
        case SystemItem::FixedSpace: return "";
        case SystemItem::Compose: return "Compose";
        case SystemItem::Reply: return "Reply";
        case SystemItem::Action: return "Action";
        case SystemItem::Organize: return "Organize";
        case SystemItem::Bookmarks: return "Bookmarks";
        case SystemItem::Search: return "Search";
        case SystemItem::Refresh: return "Refresh";
        case SystemItem::Stop: return "Stop";
        case SystemItem::Camera: return "Camera";
        case SystemItem::Trash: return "Trash";
        case SystemItem::Play: return "Play";
        case SystemItem::Pause: return "Pause";
        case SystemItem::Rewind: return "Rewind";
        case SystemItem::FastForward: return "FastForward";
    }
    return "";
}

}  // namespace

std::string BarButtonItem::displayText() const {
    if (!title_.empty()) return title_;
    if (systemItem_ != SystemItem::None) return systemWord(systemItem_);
    if (image_) return image_->name();
    if (customView_) return customView_->displayText();
    return {};
}

std::string BarButtonItem::describeLine() const {
    std::string s = "[" + displayText() + "]";
    if (!enabled_) s += " (disabled)";
    return s;
}

}  // namespace plat
