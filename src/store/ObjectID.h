#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qx {

enum class EntityKind : std::uint8_t { set = 0, track = 1, waypoint = 2, measurement = 3 };
inline constexpr int kEntityCount = 4;

// The name of an entity as fetch requests and messages spell it: "Set", "Track", ...
const char* entityName(EntityKind entity);

// The identity of a stored object: its entity and row. It is the same in every context, so it
// is how an object is handed from one context (or thread) to another.
struct ObjectID {
    EntityKind entity = EntityKind::set;
    std::int64_t row = 0;

    constexpr bool operator==(const ObjectID&) const = default;
    constexpr auto operator<=>(const ObjectID&) const = default;
    std::string description() const;  // "Waypoint/42"
};

}  // namespace qx

template <>
struct std::hash<qx::ObjectID> {
    std::size_t operator()(const qx::ObjectID& id) const noexcept {
        return std::hash<std::int64_t>()(id.row * 4 + static_cast<int>(id.entity));
    }
};
