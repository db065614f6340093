#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "store/ObjectID.h"

namespace qx {

class ManagedObject;

// The objects a context holds, by identity, without keeping them alive: one open-addressed
// array (linear probing, no tombstones), so that a save of many new rows finds each object in
// one probe or two and makes no allocation per object.
class ObjectRegistry {
public:
    ObjectRegistry() = default;
    ObjectRegistry(const ObjectRegistry&) = delete;
    ObjectRegistry& operator=(const ObjectRegistry&) = delete;

    // The live object of that identity; none when absent or gone.
    std::shared_ptr<ManagedObject> find(const ObjectID& id) const;
    // Enters the object, replacing what stood under its identity.
    void put(const ObjectID& id, const std::shared_ptr<ManagedObject>& object);
    void erase(const ObjectID& id);
    // Drops the entries of objects nobody holds any more.
    void sweep();
    void clear();
    std::size_t size() const { return size_; }

    // Calls f(object) for every live object.
    template <class F>
    void forEachLive(F f) const {
        for (const auto& s : slots_)
            if (s.used)
                if (auto o = s.object.lock()) f(o);
    }

private:
    struct Slot {
        std::int64_t row = 0;
        std::weak_ptr<ManagedObject> object;
        EntityKind entity = EntityKind::set;
        bool used = false;
    };
    std::size_t home(std::int64_t row, EntityKind entity) const;
    // The slot holding the identity, or the empty slot where it would go.
    std::size_t probe(const ObjectID& id) const;
    void grow();

    std::vector<Slot> slots_;  // a power of two long, at most three quarters used
    std::size_t size_ = 0;
};

}  // namespace qx
