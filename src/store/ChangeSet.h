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
    // A save inserting more objects than this (a large import) does not list them: the list
    // would grow with the file. `insertedInBulk` then says a watcher must read its objects again.
    static constexpr std::size_t kListedInserts = 50000;

    std::vector<ObjectID> inserted;
    bool insertedInBulk = false;
    std::unordered_map<ObjectID, std::uint32_t> updated;  // key masks, numbered as in EntityDescription
    std::vector<ObjectID> deleted;
    bool reset = false;

    bool empty() const { return inserted.empty() && !insertedInBulk && updated.empty() && deleted.empty() && !reset; }
    bool touches(EntityKind entity) const;
    std::set<std::string> changedKeys(const ObjectID& id) const;
    void markUpdated(const ObjectID& id, std::uint32_t keys) { updated[id] |= keys; }
    void markInserted(const ObjectID& id);
};

}  // namespace qx
