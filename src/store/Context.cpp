#include "store/Context.h"

#include <algorithm>
#include <map>

#include "platform/foundation/Log.h"
#include "store/Connection.h"
#include "store/Measurement.h"
#include "store/Schema.h"
#include "store/Set.h"
#include "store/SqlCompiler.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"
#include "store/WaypointGrid.h"

namespace qx {

namespace {

constexpr std::size_t kChunk = 500;
// Rows written by one INSERT: 64 rows of the widest table stay within the smallest limit of
// parameters SQLite may be built with (999).
constexpr std::size_t kRowsPerInsert = 64;

// IN lists come in a few fixed sizes (the tail padded with its last value) so that the
// statement cache holds a handful of statements, not one per length.
std::size_t paddedSize(std::size_t n) {
    for (std::size_t s : {std::size_t{1}, std::size_t{8}, std::size_t{64}, kChunk})
        if (n <= s) return s;
    return kChunk;
}

std::string placeholders(std::size_t n) {
    std::string s;
    s.reserve(n * 3);
    for (std::size_t i = 0; i < n; ++i) s += i ? ",?" : "?";
    return s;
}

// Runs `f(first, count, padded)` over the rows in chunks.
template <class F>
void forChunks(const std::vector<std::int64_t>& rows, F f) {
    for (std::size_t i = 0; i < rows.size(); i += kChunk) {
        const std::size_t n = std::min(kChunk, rows.size() - i);
        f(i, n, paddedSize(n));
    }
}

void bindChunk(Connection::Statement& s, const std::vector<std::int64_t>& rows, std::size_t first, std::size_t n,
               std::size_t padded, int startIndex) {
    for (std::size_t k = 0; k < padded; ++k)
        s.bind(startIndex + static_cast<int>(k), Value(static_cast<long long>(rows[first + std::min(k, n - 1)])));
}

const int kEntityOrder[] = {static_cast<int>(EntityKind::measurement), static_cast<int>(EntityKind::waypoint),
                            static_cast<int>(EntityKind::track), static_cast<int>(EntityKind::set)};

}  // namespace

std::shared_ptr<Context> Context::make(Store& store, Connection& connection, Kind kind) {
    return std::shared_ptr<Context>(new Context(store, connection, kind));
}

Context::Context(Store& store, Connection& connection, Kind kind)
    : store_(&store), connection_(&connection), kind_(kind) {}

Context::~Context() {
    registry_.forEachLive([](const auto& o) { o->context_ = nullptr; });
}

// ---------------------------------------------------------------- objects

void Context::registerInserted(const std::shared_ptr<ManagedObject>& object) {
    object->row_ = store_->allocateRow(object->entity_);
    object->context_ = this;
    object->state_ = ManagedObject::State::inserted;
    const auto& d = object->entityDescription();
    for (std::size_t i = 0; i < d.inverses.size(); ++i) object->inverseCache_[i] = std::vector<std::int64_t>{};
    enter(object->objectID(), object);
    inserted_.push_back(object);
}

void Context::enter(const ObjectID& id, const std::shared_ptr<ManagedObject>& object) {
    // Objects nobody holds any more leave their entries behind; sweep them now and then so
    // that browsing years of history does not grow the table for good. Unsaved new objects are
    // held by the context itself, so a table of nothing else has nothing to sweep.
    if (registry_.size() >= sweepAt_ && registry_.size() > inserted_.size()) {
        registry_.sweep();
        sweepAt_ = std::max<std::size_t>(1024, registry_.size() * 2);
    }
    registry_.put(id, object);
}

std::shared_ptr<ManagedObject> Context::registered(const ObjectID& id) const { return registry_.find(id); }

bool Context::insertedHere(const ObjectID& id) const {
    auto o = registry_.find(id);
    return o && o->state_ == ManagedObject::State::inserted;
}

std::vector<std::shared_ptr<ManagedObject>> Context::insertedObjects(EntityKind entity) const {
    std::vector<std::shared_ptr<ManagedObject>> out;
    for (const auto& o : inserted_)
        if (o->entity_ == entity && o->state_ == ManagedObject::State::inserted) out.push_back(o);
    return out;
}

void Context::readColumns(ManagedObject& o, const std::vector<Value>& columns, bool keepDirty) {
    const auto& d = o.entityDescription();
    int c = 1;
    for (int a = 0; a < static_cast<int>(d.attributes.size()); ++a, ++c)
        if (!(keepDirty && (o.dirtyKeys_ & (1u << a)))) o.assignAttribute(a, columns[c]);
    for (int l = 0; l < static_cast<int>(d.links.size()); ++l) {
        const bool keep = keepDirty && (o.dirtyKeys_ & (1u << d.linkKey(l)));
        if (!keep) o.links_[l].row = columns[c].isNull() ? 0 : columns[c].integer();
        ++c;
        if (d.links[l].positionColumn) {
            if (!keep) o.links_[l].position = columns[c].integer();
            ++c;
        }
    }
}

void Context::bindColumns(Connection::Statement& s, const ManagedObject& o, int first) {
    const auto& d = o.entityDescription();
    int c = first;
    s.bindInteger(c++, o.row_);
    for (int a = 0; a < static_cast<int>(d.attributes.size()); ++a) s.bind(c++, o.attributeValue(a));
    for (int l = 0; l < static_cast<int>(d.links.size()); ++l) {
        if (o.links_[l].row)
            s.bindInteger(c++, o.links_[l].row);
        else
            s.bind(c++, Value());
        if (d.links[l].positionColumn) s.bindInteger(c++, o.links_[l].position);
    }
}

std::shared_ptr<ManagedObject> Context::materialize(EntityKind entity, std::int64_t row,
                                                    const std::vector<Value>& columns) {
    const ObjectID id{entity, row};
    if (auto existing = registered(id)) {
        // A fetch refreshes what this context has not changed itself.
        if (existing->state_ == ManagedObject::State::clean) readColumns(*existing, columns, true);
        return existing;
    }
    auto o = makeObject(entity);
    o->row_ = row;
    o->context_ = this;
    o->state_ = ManagedObject::State::clean;
    readColumns(*o, columns, false);
    enter(id, o);
    return o;
}

std::shared_ptr<ManagedObject> Context::existingObjectWithID(const ObjectID& id, StoreError* error) {
    if (auto o = registered(id)) {
        if (o->state_ == ManagedObject::State::deleted) {
            reportError(error, StoreError::make(StoreError::Code::notFound, id.description() + " is deleted"));
            return nullptr;
        }
        return o;
    }
    if (deleted_.count(id) || id.row <= 0) {
        reportError(error, StoreError::make(StoreError::Code::notFound, id.description() + " is not stored"));
        return nullptr;
    }
    auto objects = objectsWithRows(id.entity, {id.row});
    if (objects.empty()) {
        reportError(error, StoreError::make(StoreError::Code::notFound, id.description() + " is not stored"));
        return nullptr;
    }
    return objects.front();
}

std::vector<std::shared_ptr<ManagedObject>> Context::objectsWithRows(EntityKind entity,
                                                                     const std::vector<std::int64_t>& rows) {
    std::vector<std::int64_t> missing;
    for (auto r : rows)
        if (!registered({entity, r}) && !deleted_.count({entity, r})) missing.push_back(r);
    std::vector<std::shared_ptr<ManagedObject>> loaded;  // alive until handed out
    loaded.reserve(missing.size());
    if (!missing.empty()) {
        const int n = Schema::columnCount(entity);
        forChunks(missing, [&](std::size_t first, std::size_t count, std::size_t padded) {
            const std::string sql = "SELECT " + Schema::columnList(entity) + " FROM " +
                                    Schema::quoted(EntityDescription::of(entity).table) + " WHERE id IN (" +
                                    placeholders(padded) + ")";
            auto s = connection_->prepare(sql);
            if (!s) return;
            bindChunk(s, missing, first, count, padded, 1);
            std::vector<Value> cols(static_cast<std::size_t>(n));
            while (s.step() == 1) {
                for (int i = 0; i < n; ++i) cols[static_cast<std::size_t>(i)] = s.column(i);
                loaded.push_back(materialize(entity, s.columnInt(0), cols));
            }
        });
    }
    std::vector<std::shared_ptr<ManagedObject>> out;
    out.reserve(rows.size());
    for (auto r : rows)
        if (auto o = registered({entity, r}); o && o->state_ != ManagedObject::State::deleted) out.push_back(o);
    return out;
}

// ---------------------------------------------------------------- changes

void Context::markChanged(ManagedObject& o, std::uint32_t keys, bool dirty) {
    switch (o.state_) {
        case ManagedObject::State::inserted: o.changedKeys_ |= keys; return;
        case ManagedObject::State::deleted:
        case ManagedObject::State::detached: return;
        case ManagedObject::State::clean: break;
    }
    if (!o.updated_) {
        o.updated_ = true;
        updated_[o.objectID()] = o.shared_from_this();
    }
    o.changedKeys_ |= keys;
    if (dirty) o.dirtyKeys_ |= keys;
}

void Context::markTouched(const ObjectID& id, std::uint32_t keys) { touched_[id] |= keys; }

void Context::changeLink(ManagedObject& child, int link, std::int64_t newOwner) {
    const auto& d = child.entityDescription();
    const auto& L = d.links[link];
    const auto& ownerDesc = EntityDescription::of(L.target);
    const auto& inv = ownerDesc.inverses[L.inverse];
    const std::uint32_t ownerKey = 1u << ownerDesc.inverseKey(L.inverse);
    const std::int64_t old = child.links_[link].row;
    auto keepAlive = child.shared_from_this();

    // One-to-one: the new owner's previous partner lets go first.
    if (newOwner && !inv.toMany) {
        if (auto owner = existingObjectWithID({L.target, newOwner})) {
            const auto rows = owner->inverseRows(L.inverse);
            for (auto r : rows)
                if (r != child.row_)
                    if (auto partner = existingObjectWithID({child.entity_, r})) changeLink(*partner, link, 0);
        }
    }
    if (old) {
        if (auto owner = registered({L.target, old})) {
            auto& cache = owner->inverseCache_[L.inverse];
            if (cache) cache->erase(std::remove(cache->begin(), cache->end(), child.row_), cache->end());
        }
        markTouched({L.target, old}, ownerKey);
    }
    child.links_[link].row = newOwner;
    child.links_[link].positionPending = newOwner != 0 && L.positionColumn != nullptr;
    if (newOwner) {
        if (auto owner = registered({L.target, newOwner})) {
            // The child was not the new owner's (its link differed), so it joins at the end.
            auto& cache = owner->inverseCache_[L.inverse];
            if (cache) cache->push_back(child.row_);
        }
        markTouched({L.target, newOwner}, ownerKey);
        appends_.push_back({keepAlive, link, newOwner});
    }
    markChanged(child, 1u << d.linkKey(link), true);
}

std::vector<std::int64_t> Context::loadInverseRows(const ManagedObject& owner, int inverse) {
    const auto& inv = owner.entityDescription().inverses[inverse];
    const auto& src = EntityDescription::of(inv.source);
    const auto& link = src.links[inv.link];
    std::string sql = "SELECT id FROM " + Schema::quoted(src.table) + " WHERE " + link.column + " = ?";
    sql += link.positionColumn ? std::string(" ORDER BY ") + link.positionColumn + ", id" : " ORDER BY id";
    std::vector<std::int64_t> rows;
    if (owner.state_ != ManagedObject::State::inserted) {
        auto s = connection_->prepare(sql);
        if (s) {
            s.bind(1, Value(static_cast<long long>(owner.row_)));
            while (s.step() == 1) rows.push_back(s.columnInt(0));
        }
    }
    adjustForPendingLinks(owner.entity_, owner.row_, inv, rows);
    return rows;
}

void Context::adjustForPendingLinks(EntityKind, std::int64_t owner, const InverseDescription& inv,
                                    std::vector<std::int64_t>& rows) const {
    // Rows that left this owner (or were deleted) here but not yet in the file.
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](std::int64_t r) {
                                  const ObjectID id{inv.source, r};
                                  if (deleted_.count(id)) return true;
                                  auto o = registered(id);
                                  return o && o->links_[inv.link].row != owner;
                              }),
               rows.end());
    // Rows that joined it here, in the order they joined.
    for (const auto& e : appends_) {
        if (e.owner != owner || e.link != inv.link || e.child->entity_ != inv.source) continue;
        if (e.child->state_ == ManagedObject::State::deleted || e.child->links_[inv.link].row != owner) continue;
        if (std::find(rows.begin(), rows.end(), e.child->row_) == rows.end()) rows.push_back(e.child->row_);
    }
}

void Context::collectCascade(EntityKind entity, const std::vector<std::int64_t>& rows,
                             std::unordered_map<ObjectID, LinkRows>& out) {
    const auto& d = EntityDescription::of(entity);
    for (const auto& inv : d.inverses) {
        const auto& src = EntityDescription::of(inv.source);
        std::string cols = "id";
        for (const auto& l : src.links) cols += std::string(", ") + l.column;
        std::vector<std::int64_t> children;
        std::unordered_map<std::int64_t, bool> parents;
        for (auto r : rows) parents[r] = true;
        forChunks(rows, [&](std::size_t first, std::size_t count, std::size_t padded) {
            auto s = connection_->prepare("SELECT " + cols + " FROM " + Schema::quoted(src.table) + " WHERE " +
                                          src.links[inv.link].column + " IN (" + placeholders(padded) + ")");
            if (!s) return;
            bindChunk(s, rows, first, count, padded, 1);
            while (s.step() == 1) {
                const ObjectID id{inv.source, s.columnInt(0)};
                if (out.count(id)) continue;
                auto o = registered(id);
                if (o && !parents.count(o->links_[inv.link].row)) continue;  // moved away here
                LinkRows links{0, 0};
                for (std::size_t l = 0; l < src.links.size(); ++l)
                    links[l] = o ? o->links_[l].row : (s.columnIsNull(static_cast<int>(l) + 1) ? 0 : s.columnInt(static_cast<int>(l) + 1));
                out[id] = links;
                children.push_back(id.row);
            }
        });
        for (const auto& e : appends_) {
            if (e.link != inv.link || e.child->entity_ != inv.source) continue;
            const auto& c = *e.child;
            if (c.state_ == ManagedObject::State::deleted || !parents.count(c.links_[inv.link].row)) continue;
            if (out.count(c.objectID())) continue;
            out[c.objectID()] = {c.links_[0].row, c.links_[1].row};
            children.push_back(c.row_);
        }
        if (!children.empty()) collectCascade(inv.source, children, out);
    }
}

void Context::collectReadingOwners(std::unordered_map<ObjectID, LinkRows>& doomed) {
    // A day's readings include those of its waypoints, whose rows hang off the track instead
    // while it records: a waypoint never outlives its reading, and a track not yet filed under a
    // day (the recording one) goes with the day its readings are in.
    std::vector<std::int64_t> waypoints;
    for (const auto& [id, links] : doomed) {
        if (id.entity != EntityKind::measurement || !links[1]) continue;
        if (!doomed.count({EntityKind::waypoint, links[1]})) waypoints.push_back(links[1]);
    }
    std::vector<std::int64_t> tracks;
    for (auto row : waypoints) {
        auto waypoint = existingObjectWithID({EntityKind::waypoint, row});
        if (!waypoint) continue;
        const std::int64_t trackRow = waypoint->links_[1].row;
        doomed[waypoint->objectID()] = {waypoint->links_[0].row, trackRow};
        const ObjectID trackID{EntityKind::track, trackRow};
        if (!trackRow || doomed.count(trackID)) continue;
        auto track = existingObjectWithID(trackID);
        if (!track || track->links_[0].row) continue;
        doomed[trackID] = {0, 0};
        tracks.push_back(trackRow);
    }
    if (!tracks.empty()) collectCascade(EntityKind::track, tracks, doomed);
}

void Context::deleteObject(const std::shared_ptr<ManagedObject>& object) {
    if (!object || object->context_ != this || object->state_ == ManagedObject::State::deleted) return;
    std::unordered_map<ObjectID, LinkRows> doomed;
    doomed[object->objectID()] = {object->links_[0].row, object->links_[1].row};
    collectCascade(object->entity_, {object->row_}, doomed);
    collectReadingOwners(doomed);

    for (const auto& [id, links] : doomed) {
        const auto& d = EntityDescription::of(id.entity);
        auto o = registered(id);
        // The owners that stay lose this object from their relations.
        for (std::size_t l = 0; l < d.links.size(); ++l) {
            const std::int64_t owner = o ? o->links_[l].row : links[l];
            if (!owner) continue;
            const ObjectID ownerID{d.links[l].target, owner};
            if (doomed.count(ownerID)) continue;
            const auto& od = EntityDescription::of(ownerID.entity);
            if (auto ow = registered(ownerID)) {
                auto& cache = ow->inverseCache_[d.links[l].inverse];
                if (cache) cache->erase(std::remove(cache->begin(), cache->end(), id.row), cache->end());
            }
            markTouched(ownerID, 1u << od.inverseKey(d.links[l].inverse));
        }
        if (o && o->state_ == ManagedObject::State::inserted) {
            o->state_ = ManagedObject::State::deleted;
            continue;
        }
        if (o) {
            o->state_ = ManagedObject::State::deleted;
            o->updated_ = false;
            updated_.erase(id);
        }
        deleted_[id] = o;
    }
    inserted_.erase(std::remove_if(inserted_.begin(), inserted_.end(),
                                   [](const auto& o) { return o->state_ == ManagedObject::State::deleted; }),
                    inserted_.end());
}

bool Context::hasChanges() const {
    return !inserted_.empty() || !updated_.empty() || !deleted_.empty() || !touched_.empty();
}

// ---------------------------------------------------------------- saving

bool Context::resolveDaySets(StoreError* error) {
    // A day has one set: a set made here for a day that meanwhile got one elsewhere becomes that
    // set. The write lock is held, so the answer stays true until the commit.
    std::vector<std::shared_ptr<ManagedObject>> sets;  // remapping one takes it out of inserted_
    for (const auto& o : inserted_)
        if (o->entity_ == EntityKind::set && o->state_ == ManagedObject::State::inserted) sets.push_back(o);
    for (const auto& o : sets) {
        auto s = connection_->prepare("SELECT id FROM \"Set\" WHERE date = ? ORDER BY id LIMIT 1", error);
        if (!s) return false;
        s.bind(1, o->attributeValue(Set::kDate));
        if (s.step() == 1) remapRow(o->objectID(), s.columnInt(0));
    }
    return true;
}

void Context::remapRow(const ObjectID& from, std::int64_t to) {
    auto o = registered(from);
    if (!o) return;
    const ObjectID target{from.entity, to};
    auto other = registered(target);
    // Everything that pointed at the new row points at the existing one.
    for (auto& e : appends_) {
        const auto& L = e.child->entityDescription().links[e.link];
        if (L.target != from.entity || e.owner != from.row) continue;
        e.owner = to;
        if (e.child->links_[e.link].row == from.row) e.child->links_[e.link].row = to;
    }
    if (auto t = touched_.find(from); t != touched_.end()) {
        touched_[target] |= t->second;
        touched_.erase(from);
    }
    inserted_.erase(std::remove(inserted_.begin(), inserted_.end(), o), inserted_.end());
    registry_.erase(from);
    if (other) {
        for (auto& cache : other->inverseCache_) cache.reset();
        o->state_ = ManagedObject::State::detached;
        o->context_ = nullptr;
        return;
    }
    // The object itself now stands for the stored set.
    o->row_ = to;
    o->state_ = ManagedObject::State::clean;
    o->dirtyKeys_ = 0;
    o->changedKeys_ = 0;
    for (auto& cache : o->inverseCache_) cache.reset();
    enter(target, o);
    auto s = connection_->prepare("SELECT " + Schema::columnList(from.entity) + " FROM " +
                                  Schema::quoted(EntityDescription::of(from.entity).table) + " WHERE id = ?");
    if (s) {
        s.bind(1, Value(static_cast<long long>(to)));
        if (s.step() == 1) {
            std::vector<Value> cols(static_cast<std::size_t>(Schema::columnCount(from.entity)));
            for (std::size_t i = 0; i < cols.size(); ++i) cols[i] = s.column(static_cast<int>(i));
            readColumns(*o, cols, false);
        }
    }
}

bool Context::assignPositions(StoreError* error) {
    std::map<std::tuple<int, int, std::int64_t>, std::int64_t> next;
    for (const auto& e : appends_) {
        auto& c = *e.child;
        auto& link = c.links_[e.link];
        if (c.state_ == ManagedObject::State::deleted || c.state_ == ManagedObject::State::detached) continue;
        if (!link.positionPending || link.row != e.owner) continue;
        const auto& src = c.entityDescription();
        const auto key = std::make_tuple(static_cast<int>(c.entity_), e.link, e.owner);
        auto it = next.find(key);
        if (it == next.end()) {
            auto s = connection_->prepare("SELECT COALESCE(MAX(" + std::string(src.links[e.link].positionColumn) +
                                              "), 0) FROM " + Schema::quoted(src.table) + " WHERE " +
                                              src.links[e.link].column + " = ?",
                                          error);
            if (!s) return false;
            s.bind(1, Value(static_cast<long long>(e.owner)));
            if (s.step() != 1) {
                reportError(error, connection_->lastError("position"));
                return false;
            }
            it = next.emplace(key, s.columnInt(0)).first;
        }
        link.position = ++it->second;
        link.positionPending = false;
        markChanged(c, 1u << src.linkKey(e.link), true);
    }
    return true;
}

bool Context::refreshAlarmCounts(ChangeSet& changes, StoreError* error) {
    std::vector<std::int64_t> sets, tracks;
    for (const auto& [id, keys] : touched_) {
        if (id.entity == EntityKind::set) sets.push_back(id.row);
        if (id.entity == EntityKind::track) tracks.push_back(id.row);
    }
    auto noteMeasurement = [&](const ManagedObject& m) {
        if (m.links_[0].row) sets.push_back(m.links_[0].row);
        if (const auto w = m.links_[1].row) {
            if (auto wo = registered({EntityKind::waypoint, w})) {
                if (wo->links_[1].row) tracks.push_back(wo->links_[1].row);
            } else if (auto s = connection_->prepare("SELECT track_id FROM \"Waypoint\" WHERE id = ?")) {
                s.bind(1, Value(static_cast<long long>(w)));
                if (s.step() == 1 && !s.columnIsNull(0)) tracks.push_back(s.columnInt(0));
            }
        }
    };
    for (const auto& o : inserted_)
        if (o->entity_ == EntityKind::measurement) noteMeasurement(*o);
    for (const auto& [id, o] : updated_)
        if (id.entity == EntityKind::measurement) noteMeasurement(*o);

    const double threshold = store_->alarmThreshold();
    auto refresh = [&](EntityKind entity, std::vector<std::int64_t>& rows, const std::string& countSql) {
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        const auto& d = EntityDescription::of(entity);
        const int key = d.attributeIndex("alarms");
        for (auto r : rows) {
            if (deleted_.count({entity, r})) continue;
            auto s = connection_->prepare("SELECT alarms, (" + countSql + ") FROM " + Schema::quoted(d.table) +
                                              " WHERE id = ?1",
                                          error);
            if (!s) return false;
            s.bind(1, Value(static_cast<long long>(r)));
            s.bind(2, Value(threshold));
            if (s.step() != 1) continue;
            const auto stored = s.columnInt(0), counted = s.columnInt(1);
            if (stored == counted) continue;
            auto u = connection_->prepare("UPDATE " + Schema::quoted(d.table) + " SET alarms = ? WHERE id = ?", error);
            if (!u) return false;
            u.bind(1, Value(static_cast<long long>(counted)));
            u.bind(2, Value(static_cast<long long>(r)));
            if (!u.run(error)) return false;
            if (auto o = registered({entity, r})) o->assignAttribute(key, Value(static_cast<long long>(counted)));
            if (!insertedHere({entity, r})) changes.markUpdated({entity, r}, 1u << key);
        }
        return true;
    };
    return refresh(EntityKind::set, sets,
                   "SELECT COUNT(*) FROM \"Measurement\" m WHERE m.set_id = ?1 AND m.der > ?2") &&
           refresh(EntityKind::track, tracks,
                   "SELECT COUNT(*) FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id "
                   "WHERE w.track_id = ?1 AND m.der > ?2");
}

bool Context::insertRows(EntityKind entity, StoreError* error) {
    std::vector<const ManagedObject*> rows;
    for (const auto& o : inserted_)
        if (o->entity_ == entity && o->state_ == ManagedObject::State::inserted) rows.push_back(o.get());
    // Rows go in groups to a statement. Its cursors stay open from one row to the next, so a new
    // row, which goes at the end of the table and of most indexes, is put there without
    // searching from the top of each tree again; and the statement's setting up and finishing
    // is paid once per group. Each statement is prepared once for the whole loop.
    const int columns = Schema::columnCount(entity);
    std::size_t at = 0;
    for (std::size_t group : {kRowsPerInsert, std::size_t{1}}) {
        if (rows.size() - at < group) continue;
        auto s = connection_->prepare(Schema::insertSql(entity, static_cast<int>(group)), error);
        if (!s) return false;
        for (; rows.size() - at >= group; at += group) {
            for (std::size_t k = 0; k < group; ++k) bindColumns(s, *rows[at + k], 1 + static_cast<int>(k) * columns);
            if (!s.run(error)) return false;
            s.reset();
        }
    }
    return true;
}

bool Context::writeChanges(ChangeSet& changes, StoreError* error) {
    if (!resolveDaySets(error)) return false;

    // A day or more of points going at once: the map grid is made anew rather than kept per row.
    std::int64_t waypointsDeleted = 0;
    for (const auto& [id, o] : deleted_) waypointsDeleted += id.entity == EntityKind::waypoint;
    WaypointGrid::setAsideForBulk(*connection_, waypointsDeleted);
    for (int e : kEntityOrder) {
        for (const auto& [id, o] : deleted_) {
            if (static_cast<int>(id.entity) != e) continue;
            auto s = connection_->prepare(Schema::deleteSql(id.entity), error);
            if (!s) return false;
            s.bind(1, Value(static_cast<long long>(id.row)));
            if (!s.run(error)) return false;
        }
    }
    if (!assignPositions(error)) return false;
    // Owners go before what they own (the reverse of the order of deletion): a row written
    // before the row it refers to counts as a pending foreign-key violation, and the referred
    // row then has to search for it to settle the count.
    for (auto e = std::rbegin(kEntityOrder); e != std::rend(kEntityOrder); ++e)
        if (!insertRows(static_cast<EntityKind>(*e), error)) return false;
    for (const auto& [id, o] : updated_) {
        if (!o->dirtyKeys_ || o->state_ != ManagedObject::State::clean) continue;
        const auto& sql = Schema::updateSql(id.entity, o->dirtyKeys_);
        if (sql.empty()) continue;
        auto s = connection_->prepare(sql, error);
        if (!s) return false;
        bindColumns(s, *o);
        if (!s.run(error)) return false;
    }
    if (!refreshAlarmCounts(changes, error)) return false;

    changes.inserted.reserve(changes.inserted.size() + inserted_.size());
    for (const auto& o : inserted_)
        if (o->state_ == ManagedObject::State::inserted) changes.markInserted(o->objectID());
    for (const auto& [id, o] : updated_)
        if (o->changedKeys_) changes.markUpdated(id, o->changedKeys_);
    for (const auto& [id, keys] : touched_)
        if (!insertedHere(id) && !deleted_.count(id)) changes.markUpdated(id, keys);
    for (const auto& [id, o] : deleted_) changes.deleted.push_back(id);
    return true;
}

void Context::finishSave(const ChangeSet&) {
    for (const auto& o : inserted_) {
        if (o->state_ != ManagedObject::State::inserted) continue;
        o->state_ = ManagedObject::State::clean;
        o->dirtyKeys_ = 0;
        o->changedKeys_ = 0;
    }
    for (const auto& [id, o] : updated_) {
        o->updated_ = false;
        o->dirtyKeys_ = 0;
        o->changedKeys_ = 0;
    }
    for (const auto& [id, o] : deleted_) {
        registry_.erase(id);
        if (o) o->context_ = nullptr;
    }
    for (const auto& [id, keys] : touched_)
        if (auto o = registered(id)) o->changedKeys_ = 0;
    forgetChanges();
}

void Context::forgetChanges() {
    inserted_.clear();
    updated_.clear();
    deleted_.clear();
    touched_.clear();
    appends_.clear();
}

bool Context::flushPending(StoreError* error) {
    if (failure_) {
        reportError(error, failure_);
        return false;
    }
    if (!hasChanges()) return true;
    if (StoreError local; !writeChanges(pending_, &local)) {
        // Some rows may be written already: the enclosing save must not commit them, nor write
        // them twice by trying again.
        failure_ = local.code == StoreError::Code::none ? StoreError::make(StoreError::Code::sqlite, "save failed") : local;
        reportError(error, failure_);
        return false;
    }
    finishSave(pending_);
    return true;
}

bool Context::saveInOpenTransaction(ChangeSet& changes, StoreError* error) {
    if (!flushPending(error)) return false;
    changes = std::move(pending_);
    pending_ = ChangeSet{};
    return true;
}

bool Context::save(StoreError* error) {
    if (connection_->inTransaction()) return flushPending(error);  // the enclosing save commits
    if (!hasChanges()) return true;
    if (isMain()) {
        // Without its file the main context reads a stand-in: what it wrote there would look
        // stored and be gone at the end.
        if (!store_->isOpen()) {
            reportError(error, store_->openError());
            return false;
        }
        store_->refreshAlarmThreshold();
    }
    if (!connection_->begin(error)) return false;
    ChangeSet changes;
    if (!writeChanges(changes, error)) {
        connection_->rollback();
        return false;
    }
    if (!connection_->commit(error)) return false;
    finishSave(changes);
    notifyObservers(changes);
    return true;
}

void Context::rollback() {
    for (const auto& o : inserted_) {
        registry_.erase(o->objectID());
        o->state_ = ManagedObject::State::detached;
        o->context_ = nullptr;
    }
    std::vector<std::shared_ptr<ManagedObject>> changed;
    for (const auto& [id, o] : updated_) changed.push_back(o);
    for (const auto& [id, o] : deleted_)
        if (o) changed.push_back(o);
    for (auto& o : changed) {
        o->state_ = ManagedObject::State::clean;
        o->updated_ = false;
        o->dirtyKeys_ = 0;
        o->changedKeys_ = 0;
    }
    forgetChanges();
    registry_.forEachLive([](const auto& o) {
        for (auto& c : o->inverseCache_) c.reset();
    });
    std::vector<std::shared_ptr<ManagedObject>> vanished;
    for (int e = 0; e < kEntityCount; ++e) {
        std::vector<std::shared_ptr<ManagedObject>> of;
        for (auto& o : changed)
            if (static_cast<int>(o->entity_) == e) of.push_back(o);
        reloadObjects(static_cast<EntityKind>(e), of, vanished);
    }
}

bool Context::writeDerivedValue(ManagedObject& object, int attribute, const Value& value) {
    const auto& d = object.entityDescription();
    object.assignAttribute(attribute, value);
    if (object.state_ != ManagedObject::State::clean) return true;  // written with the object
    auto s = connection_->prepare("UPDATE " + Schema::quoted(d.table) + " SET " + d.attributes[attribute].name +
                                  " = ? WHERE id = ?");
    if (!s) return false;
    s.bind(1, value);
    s.bind(2, Value(static_cast<long long>(object.row_)));
    return s.run(nullptr);
}

// ---------------------------------------------------------------- observing and merging

void Context::addObserver(const std::weak_ptr<ContextObserver>& observer) { observers_.push_back(observer); }

void Context::notifyObservers(const ChangeSet& changes) {
    std::vector<std::shared_ptr<ContextObserver>> live;
    observers_.erase(std::remove_if(observers_.begin(), observers_.end(), [](const auto& w) { return w.expired(); }),
                     observers_.end());
    for (const auto& w : observers_)
        if (auto o = w.lock()) live.push_back(o);
    for (const auto& o : live) o->contextDidChange(*this, changes);
}

void Context::reloadObjects(EntityKind entity, const std::vector<std::shared_ptr<ManagedObject>>& objects,
                            std::vector<std::shared_ptr<ManagedObject>>& vanished) {
    if (objects.empty()) return;
    std::vector<std::int64_t> rows;
    std::unordered_map<std::int64_t, std::shared_ptr<ManagedObject>> byRow;
    for (const auto& o : objects) {
        rows.push_back(o->row_);
        byRow[o->row_] = o;
    }
    std::unordered_map<std::int64_t, bool> seen;
    const int n = Schema::columnCount(entity);
    forChunks(rows, [&](std::size_t first, std::size_t count, std::size_t padded) {
        auto s = connection_->prepare("SELECT " + Schema::columnList(entity) + " FROM " +
                                      Schema::quoted(EntityDescription::of(entity).table) + " WHERE id IN (" +
                                      placeholders(padded) + ")");
        if (!s) return;
        bindChunk(s, rows, first, count, padded, 1);
        std::vector<Value> cols(static_cast<std::size_t>(n));
        while (s.step() == 1) {
            for (int i = 0; i < n; ++i) cols[static_cast<std::size_t>(i)] = s.column(i);
            const auto r = s.columnInt(0);
            seen[r] = true;
            readColumns(*byRow[r], cols, true);
        }
    });
    for (const auto& o : objects)
        if (!seen.count(o->row_)) vanished.push_back(o);
}

void Context::mergeChanges(const ChangeSet& changes) {
    if (changes.reset) {
        invalidateAll();
        notifyObservers(changes);
        return;
    }
    for (const auto& id : changes.deleted) {
        if (auto o = registered(id)) {
            o->state_ = ManagedObject::State::deleted;
            o->context_ = nullptr;
            updated_.erase(id);
        }
        registry_.erase(id);
    }
    std::vector<std::vector<std::shared_ptr<ManagedObject>>> byEntity(kEntityCount);
    for (const auto& [id, keys] : changes.updated) {
        auto o = registered(id);
        if (!o || o->state_ == ManagedObject::State::deleted) continue;
        for (auto& c : o->inverseCache_) c.reset();
        byEntity[static_cast<int>(id.entity)].push_back(o);
    }
    std::vector<std::shared_ptr<ManagedObject>> vanished;
    for (int e = 0; e < kEntityCount; ++e) reloadObjects(static_cast<EntityKind>(e), byEntity[e], vanished);
    for (const auto& o : vanished) {
        registry_.erase(o->objectID());
        o->state_ = ManagedObject::State::deleted;
        o->context_ = nullptr;
    }
    notifyObservers(changes);
}

void Context::invalidateAll() {
    registry_.forEachLive([](const auto& o) {
        o->state_ = ManagedObject::State::deleted;
        o->context_ = nullptr;
    });
    registry_.clear();
    forgetChanges();
    pending_ = ChangeSet{};
}

// ---------------------------------------------------------------- fetching

std::vector<Context::Row> Context::fetchRows(const FetchRequest& request, const std::vector<std::int64_t>* onlyRows,
                                             bool withObjects, StoreError* error) {
    if (connection_->inTransaction() && !flushPending(error)) return {};
    CompiledQuery q;
    if (!SqlCompiler::compile(request, q, error)) return {};
    const EntityKind entity = request.entity;
    const int n = withObjects ? Schema::columnCount(entity) : 1;
    std::string select = withObjects ? Schema::columnList(entity, SqlCompiler::kRootAlias)
                                     : std::string(SqlCompiler::kRootAlias) + ".id";
    for (const auto& e : q.sortExprs) select += ", " + e;
    if (!q.sectionExpr.empty()) select += ", " + q.sectionExpr;
    const std::string base = "SELECT " + select + " " + q.from + " WHERE (" + q.where + ")";

    std::vector<Row> out;
    std::vector<Value> cols(static_cast<std::size_t>(n));
    auto readRows = [&](Connection::Statement& s) {
        while (s.step() == 1) {
            Row row;
            row.row = s.columnInt(0);
            if (withObjects) {
                for (int i = 0; i < n; ++i) cols[static_cast<std::size_t>(i)] = s.column(i);
                row.object = materialize(entity, row.row, cols);
            }
            int c = n;
            for (std::size_t k = 0; k < q.sortExprs.size(); ++k) row.sortValues.push_back(s.column(c++));
            if (!q.sectionExpr.empty()) row.sortValues.push_back(s.column(c++));
            out.push_back(std::move(row));
        }
    };
    if (onlyRows) {
        forChunks(*onlyRows, [&](std::size_t first, std::size_t count, std::size_t padded) {
            auto s = connection_->prepare(base + " AND " + SqlCompiler::kRootAlias + ".id IN (" + placeholders(padded) +
                                              ")",
                                          error);
            if (!s) return;
            s.bindAll(q.binds);
            bindChunk(s, *onlyRows, first, count, padded, static_cast<int>(q.binds.size()) + 1);
            readRows(s);
        });
        return out;
    }
    std::string sql = base + " ORDER BY " + q.orderBy();
    if (request.fetchLimit) sql += " LIMIT ?";
    auto s = connection_->prepare(sql, error);
    if (!s) return {};
    s.bindAll(q.binds);
    if (request.fetchLimit) s.bind(static_cast<int>(q.binds.size()) + 1, Value(request.fetchLimit));
    readRows(s);
    return out;
}

std::vector<std::shared_ptr<ManagedObject>> Context::executeFetch(const FetchRequest& request, StoreError* error) {
    StoreError local;
    auto rows = fetchRows(request, nullptr, true, &local);
    if (local) {
        reportError(error, local);
        return {};
    }
    std::vector<std::shared_ptr<ManagedObject>> objects;
    objects.reserve(rows.size());
    for (auto& r : rows)
        if (r.object && r.object->state_ != ManagedObject::State::deleted) objects.push_back(std::move(r.object));
    prefetch(request, objects);
    return objects;
}

std::optional<std::size_t> Context::count(const FetchRequest& request, StoreError* error) {
    if (connection_->inTransaction() && !flushPending(error)) return std::nullopt;
    CompiledQuery q;
    if (!SqlCompiler::compile(request, q, error)) return std::nullopt;
    auto s = connection_->prepare("SELECT COUNT(*) " + q.from + " WHERE (" + q.where + ")", error);
    if (!s) return std::nullopt;
    s.bindAll(q.binds);
    if (s.step() != 1) {
        reportError(error, connection_->lastError("count"));
        return std::nullopt;
    }
    return static_cast<std::size_t>(s.columnInt(0));
}

std::vector<std::shared_ptr<ManagedObject>> Context::prefetch(const FetchRequest& request,
                                                              const std::vector<std::shared_ptr<ManagedObject>>& objects) {
    std::vector<std::shared_ptr<ManagedObject>> held;
    if (objects.empty() || !appends_.empty() || !deleted_.empty()) return held;  // lazy loads count pending links
    std::vector<std::string> keys = request.relationshipKeyPathsForPrefetching;
    if (request.entity == EntityKind::waypoint) keys.emplace_back("measurement");
    const auto& d = EntityDescription::of(request.entity);
    for (const auto& key : keys) {
        if (int l = d.linkIndex(key); l >= 0) {
            std::vector<std::int64_t> rows;
            for (const auto& o : objects)
                if (o->links_[l].row) rows.push_back(o->links_[l].row);
            auto loaded = objectsWithRows(d.links[l].target, rows);
            held.insert(held.end(), std::make_move_iterator(loaded.begin()), std::make_move_iterator(loaded.end()));
            continue;
        }
        const int i = d.inverseIndex(key);
        if (i < 0) continue;
        const auto& inv = d.inverses[i];
        const auto& src = EntityDescription::of(inv.source);
        const auto& link = src.links[inv.link];
        std::vector<std::int64_t> owners;
        std::unordered_map<std::int64_t, std::vector<std::int64_t>> lists;
        std::unordered_map<std::int64_t, std::shared_ptr<ManagedObject>> partners;
        for (const auto& o : objects)
            if (!o->inverseCache_[i] && o->state_ == ManagedObject::State::clean) {
                owners.push_back(o->row_);
                lists[o->row_];
            }
        if (owners.empty()) continue;
        const int n = Schema::columnCount(inv.source);
        const std::string order = link.positionColumn ? std::string(link.positionColumn) + ", id" : "id";
        forChunks(owners, [&](std::size_t first, std::size_t count, std::size_t padded) {
            // A to-one partner comes whole; a to-many list as ids, its objects when asked for.
            const std::string cols = inv.toMany ? "id, " + std::string(link.column) : Schema::columnList(inv.source);
            auto s = connection_->prepare("SELECT " + cols + " FROM " + Schema::quoted(src.table) + " WHERE " +
                                          link.column + " IN (" + placeholders(padded) + ") ORDER BY " + order);
            if (!s) return;
            bindChunk(s, owners, first, count, padded, 1);
            std::vector<Value> vals(static_cast<std::size_t>(n));
            const int linkColumnIndex = 1 + static_cast<int>(src.attributes.size()) + [&] {
                int c = 0;
                for (int k = 0; k < inv.link; ++k) c += src.links[k].positionColumn ? 2 : 1;
                return c;
            }();
            while (s.step() == 1) {
                if (inv.toMany) {
                    lists[s.columnInt(1)].push_back(s.columnInt(0));
                } else {
                    for (int c = 0; c < n; ++c) vals[static_cast<std::size_t>(c)] = s.column(c);
                    const auto owner = s.columnInt(linkColumnIndex);
                    partners[owner] = materialize(inv.source, s.columnInt(0), vals);
                    lists[owner].push_back(s.columnInt(0));
                }
            }
        });
        for (const auto& o : objects) {
            if (auto it = lists.find(o->row_); it != lists.end()) o->inverseCache_[i] = std::move(it->second);
            if (auto it = partners.find(o->row_); it != partners.end()) o->partner_ = it->second;
        }
    }
    return held;
}

std::vector<std::int64_t> Context::rowsReaching(EntityKind entity, const std::vector<std::string>& path,
                                                EntityKind target, const std::vector<std::int64_t>& changed) {
    std::string joins;
    std::string alias = "r0";
    EntityKind current = entity;
    int next = 1;
    for (const auto& name : path) {
        const auto& d = EntityDescription::of(current);
        const std::string a = "r" + std::to_string(next++);
        if (int l = d.linkIndex(name); l >= 0) {
            joins += " JOIN " + Schema::quoted(EntityDescription::of(d.links[l].target).table) + " " + a + " ON " + a +
                     ".id = " + alias + "." + d.links[l].column;
            current = d.links[l].target;
        } else if (int i = d.inverseIndex(name); i >= 0) {
            const auto& src = EntityDescription::of(d.inverses[i].source);
            joins += " JOIN " + Schema::quoted(src.table) + " " + a + " ON " + a + "." +
                     src.links[d.inverses[i].link].column + " = " + alias + ".id";
            current = d.inverses[i].source;
        } else {
            return {};
        }
        alias = a;
    }
    if (current != target) return {};
    std::vector<std::int64_t> out;
    forChunks(changed, [&](std::size_t first, std::size_t count, std::size_t padded) {
        auto s = connection_->prepare("SELECT DISTINCT r0.id FROM " +
                                      Schema::quoted(EntityDescription::of(entity).table) + " r0" + joins + " WHERE " +
                                      alias + ".id IN (" + placeholders(padded) + ")");
        if (!s) return;
        bindChunk(s, changed, first, count, padded, 1);
        while (s.step() == 1) out.push_back(s.columnInt(0));
    });
    return out;
}

// Entities have private constructors: the context is their only maker.
std::shared_ptr<ManagedObject> Context::makeObject(EntityKind entity) {
    switch (entity) {
        case EntityKind::set: return std::shared_ptr<Set>(new Set());
        case EntityKind::track: return std::shared_ptr<Track>(new Track());
        case EntityKind::waypoint: return std::shared_ptr<Waypoint>(new Waypoint());
        case EntityKind::measurement: return std::shared_ptr<Measurement>(new Measurement());
    }
    return nullptr;
}

}  // namespace qx
