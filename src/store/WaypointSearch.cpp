#include "store/WaypointSearch.h"

#include <sqlite3.h>

#include <algorithm>

#include "store/Waypoint.h"

namespace qx {

namespace {

// The smallest text above every text that begins with `prefix`, compared byte by byte as the
// store compares names; empty when there is none (a prefix of only 0xFF bytes).
std::string upperBound(std::string prefix) {
    while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0xFF) prefix.pop_back();
    if (!prefix.empty()) prefix.back() = static_cast<char>(static_cast<unsigned char>(prefix.back()) + 1);
    return prefix;
}

}  // namespace

WaypointSearch::WaypointSearch(Context& context, std::string prefix)
    : context_(context), prefix_(std::move(prefix)), upper_(upperBound(prefix_)) {
    refresh();
}

WaypointSearch::~WaypointSearch() = default;

Connection& WaypointSearch::reader() {
    if (!readerTried_) {
        readerTried_ = true;
        const char* file = sqlite3_db_filename(context_.connection().handle(), "main");
        if (file && *file) reader_ = Connection::open(file, nullptr);
        if (reader_ && !(reader_->exec("PRAGMA mmap_size = 0") && reader_->exec("PRAGMA cache_size = -8192") &&
                         reader_->exec("PRAGMA query_only = 1")))
            reader_.reset();
    }
    return reader_ ? *reader_ : context_.connection();
}

std::string WaypointSearch::nameRange(const std::string& alias) const {
    if (prefix_.empty()) return {};
    std::string s = " AND " + alias + "name >= ?1";
    if (!upper_.empty()) s += " AND " + alias + "name < ?2";
    return s;
}

void WaypointSearch::bindRange(Connection::Statement& s) const {
    if (prefix_.empty()) return;
    s.bind(1, Value(prefix_));
    if (!upper_.empty()) s.bind(2, Value(upper_));
}

std::size_t WaypointSearch::countOf(const std::string& sql) {
    auto s = reader().prepare(sql);
    if (!s) return 0;
    bindRange(s);
    return s.step() == 1 ? static_cast<std::size_t>(s.columnInt(0)) : 0;
}

void WaypointSearch::refresh() {
    pages_.clear();
    measured_.reset();
    // The name index answers a prefix without reading the waypoints themselves.
    count_ = countOf("SELECT COUNT(*) FROM \"Waypoint\" WHERE 1" + nameRange(""));
}

std::vector<std::int64_t> WaypointSearch::readRows(std::size_t first, std::size_t limit) {
    std::string sql;
    if (count_ <= kFewMatches) {
        // Few matches: all of them from the name index, ordered here.
        sql = "SELECT w.id FROM \"Waypoint\" w LEFT JOIN \"Measurement\" m ON m.waypoint_id = w.id WHERE 1" +
              nameRange("w.") + " ORDER BY +m.date DESC, w.id LIMIT ?3 OFFSET ?4";
    } else {
        // Many: the readings newest first, each checked against the name, until a page is found.
        sql = "SELECT m.waypoint_id FROM \"Measurement\" m CROSS JOIN \"Waypoint\" w ON w.id = m.waypoint_id WHERE 1" +
              nameRange("w.") + " ORDER BY m.date DESC, m.waypoint_id LIMIT ?3 OFFSET ?4";
    }
    std::vector<std::int64_t> rows;
    auto s = reader().prepare(sql);
    if (!s) return rows;
    bindRange(s);
    s.bind(3, Value(static_cast<long long>(limit)));
    s.bind(4, Value(static_cast<long long>(first)));
    while (s.step() == 1) rows.push_back(s.columnInt(0));
    if (count_ > kFewMatches && rows.size() < limit) {
        // Past the waypoints with a reading come those without one.
        if (!rows.empty() || first == 0) measured_ = first + rows.size();
        if (!measured_) {
            measured_ = countOf("SELECT COUNT(*) FROM \"Measurement\" m CROSS JOIN \"Waypoint\" w ON w.id = "
                                "m.waypoint_id WHERE 1" + nameRange("w."));
        }
        const std::size_t from = std::max(first, *measured_) - *measured_;
        auto rest = readUnmeasured(from, limit - rows.size());
        rows.insert(rows.end(), rest.begin(), rest.end());
    }
    return rows;
}

std::vector<std::int64_t> WaypointSearch::readUnmeasured(std::size_t first, std::size_t limit) {
    std::vector<std::int64_t> rows;
    auto s = reader().prepare("SELECT w.id FROM \"Waypoint\" w WHERE NOT EXISTS (SELECT 1 FROM \"Measurement\" m WHERE "
                              "m.waypoint_id = w.id)" + nameRange("w.") + " ORDER BY w.id LIMIT ?3 OFFSET ?4");
    if (!s) return rows;
    bindRange(s);
    s.bind(3, Value(static_cast<long long>(limit)));
    s.bind(4, Value(static_cast<long long>(first)));
    while (s.step() == 1) rows.push_back(s.columnInt(0));
    return rows;
}

const WaypointSearch::Page& WaypointSearch::pageAt(std::size_t first) {
    for (const auto& page : pages_)
        if (page.first == first) return page;
    Page page;
    page.first = first;
    page.rows = readRows(first, kPageSize);
    auto objects = context_.objectsWithRows(Waypoint::kEntity, page.rows);
    // In the page's order: the context hands them out as it finds them.
    page.objects.resize(page.rows.size());
    for (auto& o : objects) {
        const auto at = std::find(page.rows.begin(), page.rows.end(), o->objectID().row);
        if (at != page.rows.end()) page.objects[static_cast<std::size_t>(at - page.rows.begin())] = std::static_pointer_cast<Waypoint>(o);
    }
    if (pages_.size() >= kHeldPages) pages_.pop_front();
    pages_.push_back(std::move(page));
    return pages_.back();
}

std::shared_ptr<Waypoint> WaypointSearch::waypointAt(std::size_t index) {
    if (index >= count_) return nullptr;
    const Page& page = pageAt(index - index % kPageSize);
    const std::size_t at = index - page.first;
    return at < page.objects.size() ? page.objects[at] : nullptr;
}

std::optional<std::size_t> WaypointSearch::heldIndexOf(std::int64_t row) const {
    for (const auto& page : pages_) {
        const auto at = std::find(page.rows.begin(), page.rows.end(), row);
        if (at != page.rows.end()) return page.first + static_cast<std::size_t>(at - page.rows.begin());
    }
    return std::nullopt;
}

std::optional<std::size_t> WaypointSearch::indexOf(std::int64_t row) {
    auto s = reader().prepare("SELECT m.date FROM \"Measurement\" m CROSS JOIN \"Waypoint\" w ON w.id = m.waypoint_id"
                              " WHERE m.waypoint_id = ?3" + nameRange("w."));
    if (!s) return std::nullopt;
    bindRange(s);
    s.bind(3, Value(static_cast<long long>(row)));
    if (s.step() != 1) return std::nullopt;
    const double date = s.columnDouble(0);
    // Before it: newer readings, and those of its time stored before it.
    auto before = reader().prepare(
        "SELECT COUNT(*) FROM \"Measurement\" m CROSS JOIN \"Waypoint\" w ON w.id = m.waypoint_id WHERE m.date >= ?4"
        " AND NOT (m.date = ?4 AND m.waypoint_id >= ?3)" + nameRange("w."));
    if (!before) return std::nullopt;
    bindRange(before);
    before.bind(3, Value(static_cast<long long>(row)));
    before.bind(4, Value(date));
    if (before.step() != 1) return std::nullopt;
    return static_cast<std::size_t>(before.columnInt(0));
}

std::size_t WaypointSearch::heldWaypoints() const {
    std::size_t n = 0;
    for (const auto& page : pages_) n += page.objects.size();
    return n;
}

}  // namespace qx
