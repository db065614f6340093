#include "link/LocationFeed.h"

namespace qx {

namespace {
std::unique_ptr<LocationFeed>& slot() {
    static std::unique_ptr<LocationFeed> feed;
    return feed;
}
}  // namespace

LocationFeed& LocationFeed::shared() {
    if (!slot()) slot() = std::make_unique<LocationFeed>();
    return *slot();
}

void LocationFeed::resetShared() { slot().reset(); }

void LocationFeed::deliver(const Location& fix) {
    auto state = state_;  // a handler may reset the shared feed
    state->last = fix;
    auto handlers = state->handlers;
    for (auto& [id, handler] : handlers) {
        if (state->handlers.count(id)) handler(fix);
    }
}

plat::Subscription LocationFeed::subscribe(Handler handler) {
    const auto id = state_->nextId++;
    state_->handlers.emplace(id, std::move(handler));
    std::weak_ptr<State> weak = state_;
    return plat::Subscription([weak, id] {
        if (auto s = weak.lock()) s->handlers.erase(id);
    });
}

}  // namespace qx
