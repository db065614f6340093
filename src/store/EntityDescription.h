#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "store/ObjectID.h"

namespace qx {

enum class AttributeType : std::uint8_t { integer, real, boolean, date, text };

struct AttributeDescription {
    const char* name;
    AttributeType type;
};

// A to-one relation kept in this entity's own row: the related row's id, and, when the other
// side is an ordered to-many relation, this object's place in it.
struct LinkDescription {
    const char* name;
    EntityKind target;
    const char* column;
    const char* positionColumn;  // null when the other side is not ordered
    int inverse;                 // index of the other side in the target's inverses
};

// A relation kept in the rows of another entity: to-many (ordered by the link's position) or
// to-one. Deleting the object deletes what it reaches through these.
struct InverseDescription {
    const char* name;
    EntityKind source;  // the entity whose rows hold the link
    int link;           // index of that link in the source
    bool toMany;
};

// The shape of one entity: its table, attributes and relations. Keys are numbered attributes
// first, then links, then inverses; that numbering is what change masks use.
struct EntityDescription {
    EntityKind kind;
    const char* name;
    const char* table;
    std::vector<AttributeDescription> attributes;
    std::vector<LinkDescription> links;
    std::vector<InverseDescription> inverses;

    static const EntityDescription& of(EntityKind entity);
    static const EntityDescription* named(std::string_view name);

    int keyCount() const { return static_cast<int>(attributes.size() + links.size() + inverses.size()); }
    int linkKey(int link) const { return static_cast<int>(attributes.size()) + link; }
    int inverseKey(int inverse) const { return static_cast<int>(attributes.size() + links.size()) + inverse; }
    const char* keyName(int key) const;
    int attributeIndex(std::string_view name) const;  // -1 when none
    int linkIndex(std::string_view name) const;
    int inverseIndex(std::string_view name) const;
};

}  // namespace qx
