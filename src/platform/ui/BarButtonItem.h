#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/Image.h"

namespace plat {

class View;

enum class SystemItem { None, Done, Cancel, Edit, Save, Add, FlexibleSpace, FixedSpace, Compose, Reply, Action,
                        Organize, Bookmarks, Search, Refresh, Stop, Camera, Trash, Play, Pause, Rewind, FastForward };
enum class BarButtonStyle { Plain, Bordered, Done };

// A button of a toolbar or navigation bar: a title, an image or a system item, and an action.
class BarButtonItem {
public:
    using Action = std::function<void(BarButtonItem&)>;

    static std::shared_ptr<BarButtonItem> withTitle(std::string title, BarButtonStyle style = BarButtonStyle::Plain,
                                                    Action action = {});
    static std::shared_ptr<BarButtonItem> withImage(ImagePtr image, BarButtonStyle style = BarButtonStyle::Plain,
                                                    Action action = {});
    static std::shared_ptr<BarButtonItem> withSystemItem(SystemItem item, Action action = {});
    static std::shared_ptr<BarButtonItem> withCustomView(std::shared_ptr<View> view);

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const ImagePtr& image() const { return image_; }
    void setImage(ImagePtr image) { image_ = std::move(image); }
    SystemItem systemItem() const { return systemItem_; }
    BarButtonStyle style() const { return style_; }
    void setStyle(BarButtonStyle style) { style_ = style; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    double width() const { return width_; }
    void setWidth(double w) { width_ = w; }
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    const std::shared_ptr<View>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<View> view) { customView_ = std::move(view); }
    void setAction(Action action) { action_ = std::move(action); }
    bool hasAction() const { return static_cast<bool>(action_); }
    bool isSpace() const { return systemItem_ == SystemItem::FlexibleSpace || systemItem_ == SystemItem::FixedSpace; }

    // A tap: runs the action when the item is enabled; false when nothing ran.
    bool press();

    // The text a person sees: the title, else the system item's word, else the image's name.
    std::string displayText() const;
    std::string describeLine() const;

private:
    std::string title_;
    ImagePtr image_;
    SystemItem systemItem_ = SystemItem::None;
    BarButtonStyle style_ = BarButtonStyle::Plain;
    bool enabled_ = true;
    double width_ = 0;
    long tag_ = 0;
    std::shared_ptr<View> customView_;
    Action action_;
};

using BarButtonItemPtr = std::shared_ptr<BarButtonItem>;

}  // namespace plat
