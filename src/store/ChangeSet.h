#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/ObjectID.h"

namespace qx {

// What one save changed: the objects inserted and deleted, and for each updated object the
// keys whose values changed (relations included: appending a waypoint to a track changes the
// track's "waypoints"). `reset` says the whole store was wiped and recreated.
struct ChangeSet {
    std::vector<ObjectID> inserted;
    std::unordered_map<ObjectID, std::uint32_t> updated;  // key masks, numbered as in EntityDescription
    std::vector<ObjectID> deleted;
    bool reset = false;

    bool empty() const { return inserted.empty() && updated.empty() && deleted.empty() && !reset; }
    bool touches(EntityKind entity) const;
    std::set<std::string> changedKeys(const ObjectID& id) const;
    void markUpdated(const ObjectID& id, std::uint32_t keys) { updated[id] |= keys; }
};

}  // namespace qx
