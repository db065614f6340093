#pragma once

#include <functional>
#include <memory>

#include "link/InstrumentSource.h"
#include "platform/foundation/Observable.h"

namespace qx {

// Where an accessory-session instrument (device types 1 and 2) is attached. Plugging one in or
// pulling it out is announced to the observers at once (main thread); DeviceManager is one.
class AccessoryPort {
public:
    static AccessoryPort& shared();
    static void resetShared();

    void plugIn(std::shared_ptr<InstrumentSource> source);
    void unplug();
    const std::shared_ptr<InstrumentSource>& source() const { return source_.get(); }

    // Hears the attached source after each change (none after unplugging).
    [[nodiscard]] plat::Subscription observe(std::function<void(const std::shared_ptr<InstrumentSource>&)> handler) {
        return source_.subscribe(std::move(handler));
    }

private:
    plat::Observable<std::shared_ptr<InstrumentSource>> source_;
};

}  // namespace qx
