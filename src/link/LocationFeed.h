#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "link/Location.h"
#include "platform/foundation/Observable.h"

namespace qx {

// The machine's position fixes. Nothing here has a satellite receiver: the demo instrument
// delivers the fixes of its walk or replay file, and a location driver could do the same.
// Main thread only.
class LocationFeed {
public:
    using Handler = std::function<void(const Location&)>;

    static LocationFeed& shared();
    static void resetShared();

    // A new fix: every subscriber hears it, even when it equals the last one.
    void deliver(const Location& fix);
    [[nodiscard]] plat::Subscription subscribe(Handler handler);
    const std::optional<Location>& lastFix() const { return state_->last; }

private:
    struct State {
        std::map<unsigned long, Handler> handlers;
        unsigned long nextId = 0;
        std::optional<Location> last;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace qx
