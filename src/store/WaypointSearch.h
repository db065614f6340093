#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/Context.h"

namespace qx {

class Waypoint;

// The stored waypoints whose names begin with a text (every waypoint for an empty one), newest
// reading first, ties and waypoints without a reading after them in the order they were stored.
// Only the number of matches is read at once; the waypoints themselves are read a page at a
// time as they are asked for, and a few pages are held. Reads go through a connection of their
// own that does not map the file, so that counting a large store leaves no pages behind.
//
// What it holds is a reading of the stored waypoints: after a save, refresh() reads again.
class WaypointSearch {
public:
    static constexpr std::size_t kPageSize = 32;
    static constexpr std::size_t kHeldPages = 4;
    // Up to this many matches are ordered all at once from the name index; more are read in the
    // order of the readings' dates, where a page of matches lies within a short walk.
    static constexpr std::size_t kFewMatches = 2000;

    WaypointSearch(Context& context, std::string prefix);
    ~WaypointSearch();

    const std::string& prefix() const { return prefix_; }
    std::size_t count() const { return count_; }
    // The index-th match, read with its page when that is not held; none past the end.
    std::shared_ptr<Waypoint> waypointAt(std::size_t index);
    // Where a held waypoint lies in the list; none when it is not in a held page.
    std::optional<std::size_t> heldIndexOf(std::int64_t row) const;
    // Where a stored waypoint lies in the list as stored now; none when it does not match or
    // has no reading.
    std::optional<std::size_t> indexOf(std::int64_t row);
    std::size_t heldWaypoints() const;
    // Counts again and lets the held pages go.
    void refresh();

private:
    struct Page {
        std::size_t first = 0;
        std::vector<std::int64_t> rows;
        std::vector<std::shared_ptr<Waypoint>> objects;
    };

    Connection& reader();
    const Page& pageAt(std::size_t first);
    std::vector<std::int64_t> readRows(std::size_t first, std::size_t limit);
    std::vector<std::int64_t> readUnmeasured(std::size_t first, std::size_t limit);
    std::size_t countOf(const std::string& sql);
    // " AND name >= ?1 AND name < ?2" for the prefix (the second bound only when one exists).
    std::string nameRange(const std::string& alias) const;
    void bindRange(Connection::Statement& s) const;

    Context& context_;
    std::string prefix_, upper_;
    std::size_t count_ = 0;
    // Matches with a reading; read only when a page reaches past them.
    std::optional<std::size_t> measured_;
    std::deque<Page> pages_;  // oldest first
    std::unique_ptr<Connection> reader_;
    bool readerTried_ = false;
};

}  // namespace qx
