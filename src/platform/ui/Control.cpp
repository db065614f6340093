#include "platform/ui/Control.h"

namespace plat {

ControlState Control::state() const {
    if (!enabled_) return ControlState::Disabled;
    if (highlighted_) return ControlState::Highlighted;
    if (selected_) return ControlState::Selected;
    return ControlState::Normal;
}

Control::ActionId Control::addAction(unsigned events, Action action) {
    ActionId id = nextId_++;
    if (action) actions_.push_back(Entry{id, events, std::move(action)});
    return id;
}

void Control::removeAction(ActionId id) {
    std::erase_if(actions_, [id](const Entry& e) { return e.id == id; });
}

void Control::removeActions(unsigned events) {
    for (auto& e : actions_) e.events &= ~events;
    std::erase_if(actions_, [](const Entry& e) { return e.events == 0; });
}

std::size_t Control::actionCount(unsigned events) const {
    std::size_t n = 0;
    for (const auto& e : actions_) n += (e.events & events) != 0;
    return n;
}

void Control::sendActions(unsigned events) {
    // Actions may add or remove actions, or release the control: run a snapshot, keep alive.
    auto keep = weak_from_this().lock();
    std::vector<Action> toRun;
    for (const auto& e : actions_) {
        if (e.events & events) toRun.push_back(e.action);
    }
    for (auto& a : toRun) a(*this);
}

bool Control::performTap() {
    if (!canInteract()) return false;
    sendActions(TouchUpInside);
    return true;
}

}  // namespace plat
