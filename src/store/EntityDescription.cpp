#include "store/EntityDescription.h"

#include <array>

namespace qx {

namespace {

// Link and inverse indices refer to each other: Set's inverses 0..2 are the "set" links of
// Track, Waypoint and Measurement; Track's inverse 0 is Waypoint's "track" link; Waypoint's
// inverse 0 is Measurement's "waypoint" link.
const std::array<EntityDescription, kEntityCount>& all() {
    static const std::array<EntityDescription, kEntityCount> entities{{
        {EntityKind::set,
         "Set",
         "Set",
         {{"date", AttributeType::date},
          {"name", AttributeType::text},
          {"alarms", AttributeType::integer},
          {"uploaded", AttributeType::boolean}},
         {},
         {{"tracks", EntityKind::track, 0, true},
          {"waypoints", EntityKind::waypoint, 0, true},
          {"measurements", EntityKind::measurement, 0, true}}},
        {EntityKind::track,
         "Track",
         "Track",
         {{"name", AttributeType::text},
          {"dateFrom", AttributeType::date},
          {"dateTo", AttributeType::date},
          {"de", AttributeType::real},
          {"distance", AttributeType::real},
          {"avgSpeed", AttributeType::real},
          {"maxSpeed", AttributeType::real},
          {"minAltitude", AttributeType::real},
          {"maxAltitude", AttributeType::real},
          {"alarms", AttributeType::integer},
          {"uploaded", AttributeType::boolean}},
         {{"set", EntityKind::set, "set_id", "set_pos", 0}},
         {{"waypoints", EntityKind::waypoint, 1, true}}},
        {EntityKind::waypoint,
         "Waypoint",
         "Waypoint",
         {{"name", AttributeType::text},
          {"latitude", AttributeType::real},
          {"longitude", AttributeType::real},
          {"altitude", AttributeType::real},
          {"photoUrl", AttributeType::text},
          {"autoSaved", AttributeType::boolean},
          {"inRadius", AttributeType::boolean}},
         {{"set", EntityKind::set, "set_id", "set_pos", 1}, {"track", EntityKind::track, "track_id", "track_pos", 0}},
         {{"measurement", EntityKind::measurement, 1, false}}},
        {EntityKind::measurement,
         "Measurement",
         "Measurement",
         {{"date", AttributeType::date},
          {"der", AttributeType::real},
          {"de", AttributeType::real},
          {"variation", AttributeType::real},
          {"accumulation", AttributeType::text},
          {"deviceType", AttributeType::integer},
          {"deviceName", AttributeType::text},
          {"deviceSerial", AttributeType::text},
          {"alarmEvent", AttributeType::integer},
          {"uploaded", AttributeType::boolean}},
         {{"set", EntityKind::set, "set_id", "set_pos", 2}, {"waypoint", EntityKind::waypoint, "waypoint_id", nullptr, 0}},
         {}},
    }};
    return entities;
}

}  // namespace

const EntityDescription& EntityDescription::of(EntityKind entity) { return all()[static_cast<int>(entity)]; }

const EntityDescription* EntityDescription::named(std::string_view name) {
    for (const auto& e : all())
        if (name == e.name) return &e;
    return nullptr;
}

const char* EntityDescription::keyName(int key) const {
    const int a = static_cast<int>(attributes.size()), l = static_cast<int>(links.size());
    if (key < 0) return "";
    if (key < a) return attributes[key].name;
    if (key < a + l) return links[key - a].name;
    if (key < keyCount()) return inverses[key - a - l].name;
    return "";
}

int EntityDescription::attributeIndex(std::string_view name) const {
    for (std::size_t i = 0; i < attributes.size(); ++i)
        if (name == attributes[i].name) return static_cast<int>(i);
    return -1;
}

int EntityDescription::linkIndex(std::string_view name) const {
    for (std::size_t i = 0; i < links.size(); ++i)
        if (name == links[i].name) return static_cast<int>(i);
    return -1;
}

int EntityDescription::inverseIndex(std::string_view name) const {
    for (std::size_t i = 0; i < inverses.size(); ++i)
        if (name == inverses[i].name) return static_cast<int>(i);
    return -1;
}

}  // namespace qx
