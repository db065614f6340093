#include "store/ChangeSet.h"

#include "store/EntityDescription.h"

namespace qx {

bool ChangeSet::touches(EntityKind entity) const {
    if (reset || insertedInBulk) return true;
    for (const auto& id : inserted)
        if (id.entity == entity) return true;
    for (const auto& id : deleted)
        if (id.entity == entity) return true;
    for (const auto& [id, keys] : updated)
        if (id.entity == entity) return true;
    return false;
}

void ChangeSet::markInserted(const ObjectID& id) {
    if (insertedInBulk) return;
    if (inserted.size() < kListedInserts) {
        inserted.push_back(id);
        return;
    }
    insertedInBulk = true;
    inserted = {};
}

std::set<std::string> ChangeSet::changedKeys(const ObjectID& id) const {
    std::set<std::string> names;
    auto it = updated.find(id);
    if (it == updated.end()) return names;
    const auto& d = EntityDescription::of(id.entity);
    for (int k = 0; k < d.keyCount(); ++k)
        if (it->second & (1u << k)) names.insert(d.keyName(k));
    return names;
}

}  // namespace qx
