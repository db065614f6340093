#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "store/ObjectID.h"
#include "store/Predicate.h"

namespace qx {

// One sort key: a key path to an attribute, possibly through to-one relations
// ("measurement.date").
struct SortDescriptor {
    std::string keyPath;
    bool ascending = true;
};

// What to fetch: the objects of one entity that satisfy a condition, in the order of the sort
// keys (ties keep the order of creation), at most `fetchLimit` of them (0: all). A live result
// list also groups them into sections by `sectionNameKeyPath`, which should then be the first
// sort key.
struct FetchRequest {
    EntityKind entity;
    std::optional<Predicate> predicate;
    std::vector<SortDescriptor> sortDescriptors;
    std::optional<std::string> sectionNameKeyPath;
    std::size_t fetchLimit = 0;
    // A live result list with a batch size reads only the rows' identities and sort values at
    // first, and their objects as they are asked for, this many at a time around the one asked
    // for; it holds the few batches read last. 0: every object at once.
    std::size_t fetchBatchSize = 0;
    // Relations loaded together with the result, in a few batched queries instead of one query
    // per object. A waypoint's measurement is always loaded with it.
    std::vector<std::string> relationshipKeyPathsForPrefetching;

    explicit FetchRequest(EntityKind e) : entity(e) {}
    template <class T>
    static FetchRequest of() {
        return FetchRequest(T::kEntity);
    }

    FetchRequest& where(Predicate p) {
        predicate = std::move(p);
        return *this;
    }
    FetchRequest& sortedBy(std::string keyPath, bool ascending = true) {
        sortDescriptors.push_back({std::move(keyPath), ascending});
        return *this;
    }
    FetchRequest& sectionedBy(std::string keyPath) {
        sectionNameKeyPath = std::move(keyPath);
        return *this;
    }
    FetchRequest& limit(std::size_t n) {
        fetchLimit = n;
        return *this;
    }
    FetchRequest& batchedBy(std::size_t n) {
        fetchBatchSize = n;
        return *this;
    }
    FetchRequest& prefetching(std::string keyPath) {
        relationshipKeyPathsForPrefetching.push_back(std::move(keyPath));
        return *this;
    }
};

}  // namespace qx
