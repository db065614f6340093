#include "services/SocialText.h"

#include <algorithm>
#include <optional>

#include "model/Language.h"
#include "platform/foundation/Date.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

std::optional<plat::Date> readingDate(const ManagedObject& record) {
    switch (record.entity()) {
        case EntityKind::waypoint: {
            auto m = static_cast<const Waypoint&>(record).measurement();
            return m ? std::optional<plat::Date>(m->date()) : std::nullopt;
        }
        case EntityKind::measurement: return static_cast<const Measurement&>(record).date();
        case EntityKind::track: return static_cast<const Track&>(record).dateFrom();
        case EntityKind::set: return static_cast<const Set&>(record).date();
    }
    return std::nullopt;
}

// The one-line text of a track, waypoint or measurement; none for anything else.
std::optional<std::string> description(const ManagedObject& record) {
    switch (record.entity()) {
        case EntityKind::waypoint: return static_cast<const Waypoint&>(record).description();
        case EntityKind::measurement: return static_cast<const Measurement&>(record).description();
        case EntityKind::track: return static_cast<const Track&>(record).description();
        case EntityKind::set: return std::nullopt;
    }
    return std::nullopt;
}

const char* heading(EntityKind kind) {
    switch (kind) {
        case EntityKind::track: return "Tracks:";
        case EntityKind::waypoint: return "Waypoints:";
        default: return "Measurements:";
    }
}

// Characters, not bytes: a multi-byte letter counts once and is never cut in two.
std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string firstCharacters(const std::string& text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (seen++ == count) return text.substr(0, i);
    }
    return text;
}

}  // namespace

SocialText::Records SocialText::newestFirst(const Records& records) {
    Records sorted;
    for (const auto& r : records) {
        if (r) sorted.push_back(r);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        const auto da = readingDate(*a), db = readingDate(*b);
        if (!da || !db) return da.has_value() && !db.has_value();  // undated records last
        return *da > *db;
    });
    return sorted;
}

std::string SocialText::twitterText(const Records& records) {
    std::string text;
    for (const auto& record : newestFirst(records)) {
        const auto line = description(*record);
        if (!line) continue;
        text += *line + "\n";
        if (characterCount(text) > kTwitterLimit - 1) break;
    }
    if (characterCount(text) > kTwitterLimit) text = firstCharacters(text, kTwitterLimit);
    return text;
}

std::string SocialText::facebookText(const Records& records) {
    std::string text;
    bool first = true;
    for (const auto& record : newestFirst(records)) {
        const auto line = description(*record);
        if (!line) continue;
        if (first && records.size() >= 2) text += Language::get(heading(record->entity())) + "\n";
        first = false;
        text += *line + "\n";
    }
    return text;
}

}  // namespace qx
