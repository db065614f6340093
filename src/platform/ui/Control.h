#pragma once

#include <functional>
#include <vector>

#include "platform/ui/View.h"

namespace plat {

// Events a control sends to its actions (a bit set, as one action may listen to several).
enum ControlEvent : unsigned {
    TouchDown = 1u << 0,
    TouchUpInside = 1u << 6,
    ValueChanged = 1u << 12,
    EditingDidBegin = 1u << 16,
    EditingChanged = 1u << 17,
    EditingDidEnd = 1u << 18,
    EditingDidEndOnExit = 1u << 19,
    AllEditingEvents = EditingDidBegin | EditingChanged | EditingDidEnd | EditingDidEndOnExit,
};

// States that per-state values (titles, colours, images) are kept for.
enum class ControlState { Normal, Highlighted, Disabled, Selected };

enum class ContentHorizontalAlignment { Center, Left, Right, Fill };

// A view that sends actions on events: buttons, switches, fields, sliders.
class Control : public View {
public:
    using Action = std::function<void(Control& sender)>;
    using ActionId = unsigned;

    using View::View;

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    // The state whose per-state values apply now.
    ControlState state() const;
    ContentHorizontalAlignment contentHorizontalAlignment() const { return hAlign_; }
    void setContentHorizontalAlignment(ContentHorizontalAlignment a) { hAlign_ = a; }

    // Adds an action for the events; the returned id removes it.
    ActionId addAction(unsigned events, Action action);
    void removeAction(ActionId id);
    void removeActions(unsigned events);
    // Number of actions that listen to any of the events.
    std::size_t actionCount(unsigned events) const;
    // Runs every action listening to any of the events, in the order they were added.
    void sendActions(unsigned events);

    // A tap sends touch-up-inside when the control is enabled and can be touched.
    bool performTap() override;
    // Enabled and touchable.
    bool canInteract() const { return enabled_ && acceptsTouches(); }

private:
    struct Entry {
        ActionId id;
        unsigned events;
        Action action;
    };
    bool enabled_ = true, selected_ = false, highlighted_ = false;
    ContentHorizontalAlignment hAlign_ = ContentHorizontalAlignment::Center;
    std::vector<Entry> actions_;
    ActionId nextId_ = 1;
};

}  // namespace plat
