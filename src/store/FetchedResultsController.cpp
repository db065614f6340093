#include "store/FetchedResultsController.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/foundation/Log.h"
#include "store/SqlCompiler.h"
#include "store/Store.h"

namespace qx {

// What the request reads, to tell which saves can change the list.
struct FetchedResultsController::Paths {
    CompiledQuery query;
    // Chains of to-one relations from the list's entity, with the entity each reaches.
    std::vector<std::pair<std::vector<std::string>, EntityKind>> chains;
};

namespace {

EntityKind endOf(EntityKind start, const std::vector<std::string>& chain) {
    EntityKind e = start;
    for (const auto& name : chain) {
        const auto& d = EntityDescription::of(e);
        if (int l = d.linkIndex(name); l >= 0) {
            e = d.links[l].target;
        } else if (int i = d.inverseIndex(name); i >= 0) {
            e = d.inverses[i].source;
        }
    }
    return e;
}

}  // namespace

std::shared_ptr<FetchedResultsController> FetchedResultsController::create(FetchRequest request, Context& context,
                                                                           FetchedResultsControllerDelegate* delegate) {
    return std::shared_ptr<FetchedResultsController>(
        new FetchedResultsController(std::move(request), context, delegate));
}

std::shared_ptr<FetchedResultsController> FetchedResultsController::fetchAll(FetchRequest request,
                                                                             FetchedResultsControllerDelegate* delegate,
                                                                             StoreError* error) {
    auto controller = create(std::move(request), Store::defaultStore().mainContext(), delegate);
    controller->performFetch(error);
    return controller;
}

FetchedResultsController::FetchedResultsController(FetchRequest request, Context& context,
                                                   FetchedResultsControllerDelegate* delegate)
    : request_(std::move(request)), context_(&context), delegate_(delegate) {}

FetchedResultsController::~FetchedResultsController() = default;

bool FetchedResultsController::performFetch(StoreError* error) {
    auto paths = std::make_unique<Paths>();
    StoreError local;
    if (!SqlCompiler::compile(request_, paths->query, &local)) {
        reportError(error, local);
        entries_.clear();
        rebuildSections();
        return false;
    }
    for (const auto& chain : paths->query.toOnePaths) {
        for (std::size_t n = 1; n <= chain.size(); ++n) {
            std::vector<std::string> prefix(chain.begin(), chain.begin() + static_cast<long>(n));
            paths->chains.emplace_back(prefix, endOf(request_.entity, prefix));
        }
    }
    paths_ = std::move(paths);
    auto rows = context_->fetchRows(request_, nullptr, true, &local);
    if (local) {
        reportError(error, local);
        return false;
    }
    entries_ = entriesFor(rows);
    // The rows are read in one go rather than one relation at a time as each is shown.
    std::vector<std::shared_ptr<ManagedObject>> objects;
    objects.reserve(entries_.size());
    for (const auto& e : entries_) objects.push_back(e.object);
    context_->prefetch(request_, objects);
    rebuildSections();
    if (!fetched_) context_->addObserver(weak_from_this());
    fetched_ = true;
    return true;
}

std::vector<FetchedResultsController::Entry> FetchedResultsController::entriesFor(
    const std::vector<Context::Row>& rows) const {
    std::vector<Entry> out;
    out.reserve(rows.size());
    for (const auto& r : rows) out.push_back({r.object, r.sortValues, r.sectionValue});
    return out;
}

bool FetchedResultsController::less(const Entry& a, const Entry& b) const {
    for (std::size_t i = 0; i < request_.sortDescriptors.size(); ++i) {
        const int c = Value::compare(a.sortValues[i], b.sortValues[i]);
        if (c != 0) return request_.sortDescriptors[i].ascending ? c < 0 : c > 0;
    }
    return a.object->objectID().row < b.object->objectID().row;
}

void FetchedResultsController::rebuildSections() {
    sections_.clear();
    if (!request_.sectionNameKeyPath) {
        sections_.push_back({"", Value(), 0, entries_.size()});
        return;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (sections_.empty() || Value::compare(sections_.back().value, entries_[i].sectionValue) != 0) {
            sections_.push_back({entries_[i].sectionValue.isNull() ? "" : entries_[i].sectionValue.description(),
                                 entries_[i].sectionValue, i, 0});
        }
        ++sections_.back().numberOfObjects;
    }
}

std::vector<std::shared_ptr<ManagedObject>> FetchedResultsController::fetchedObjects() const {
    std::vector<std::shared_ptr<ManagedObject>> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.push_back(e.object);
    return out;
}

std::shared_ptr<ManagedObject> FetchedResultsController::objectAtIndexPath(const IndexPath& path) const {
    if (path.section < 0 || path.row < 0) return nullptr;
    const auto section = static_cast<std::size_t>(path.section), row = static_cast<std::size_t>(path.row);
    if (section >= sections_.size() || row >= sections_[section].numberOfObjects) return nullptr;
    return entries_[sections_[section].offset + row].object;
}

std::vector<std::shared_ptr<ManagedObject>> FetchedResultsController::objectsInSection(std::size_t section) const {
    std::vector<std::shared_ptr<ManagedObject>> out;
    if (section >= sections_.size()) return out;
    const auto& s = sections_[section];
    for (std::size_t i = 0; i < s.numberOfObjects; ++i) out.push_back(entries_[s.offset + i].object);
    return out;
}

std::optional<IndexPath> FetchedResultsController::indexPathForObject(const ManagedObject& object) const {
    for (std::size_t s = 0; s < sections_.size(); ++s)
        for (std::size_t i = 0; i < sections_[s].numberOfObjects; ++i)
            if (entries_[sections_[s].offset + i].object->objectID() == object.objectID())
                return IndexPath{static_cast<long>(s), static_cast<long>(i)};
    return std::nullopt;
}

std::vector<FetchedResultsController::Entry> FetchedResultsController::recompute(const ChangeSet& changes, bool& ok) {
    ok = true;
    const EntityKind entity = request_.entity;
    std::unordered_map<std::int64_t, std::shared_ptr<ManagedObject>> known;
    for (const auto& e : entries_) known[e.object->objectID().row] = e.object;

    auto objectsFor = [&](std::vector<Context::Row>& rows) {
        std::vector<std::int64_t> missing;
        for (auto& r : rows) {
            if (auto it = known.find(r.row); it != known.end() && !it->second->isDeleted()) {
                r.object = it->second;
            } else {
                missing.push_back(r.row);
            }
        }
        if (!missing.empty()) {
            std::unordered_map<std::int64_t, std::shared_ptr<ManagedObject>> loaded;
            for (auto& o : context_->objectsWithRows(entity, missing)) loaded[o->objectID().row] = o;
            for (auto& r : rows)
                if (!r.object)
                    if (auto it = loaded.find(r.row); it != loaded.end()) r.object = it->second;
        }
        rows.erase(std::remove_if(rows.begin(), rows.end(), [](const auto& r) { return !r.object; }), rows.end());
    };

    StoreError error;
    const bool full = changes.reset || request_.fetchLimit || paths_->query.crossesToMany;
    if (full) {
        auto rows = context_->fetchRows(request_, nullptr, false, &error);
        if (error) {
            ok = false;
            return entries_;
        }
        objectsFor(rows);
        return entriesFor(rows);
    }

    // Only the objects a save touched can enter, leave or move: the list's own, and those whose
    // key paths reach a touched object of another entity.
    std::unordered_set<std::int64_t> affected, gone;
    for (const auto& id : changes.deleted)
        if (id.entity == entity) gone.insert(id.row);
    for (const auto& id : changes.inserted)
        if (id.entity == entity) affected.insert(id.row);
    for (const auto& [id, keys] : changes.updated)
        if (id.entity == entity) affected.insert(id.row);
    for (const auto& [chain, reached] : paths_->chains) {
        std::vector<std::int64_t> touched;
        for (const auto& id : changes.inserted)
            if (id.entity == reached) touched.push_back(id.row);
        for (const auto& [id, keys] : changes.updated)
            if (id.entity == reached) touched.push_back(id.row);
        if (touched.empty()) continue;
        for (auto r : context_->rowsReaching(entity, chain, reached, touched)) affected.insert(r);
    }
    for (auto r : gone) affected.erase(r);

    std::vector<Entry> kept;
    kept.reserve(entries_.size());
    for (const auto& e : entries_) {
        const auto r = e.object->objectID().row;
        if (!gone.count(r) && !affected.count(r)) kept.push_back(e);
    }
    if (affected.empty()) return kept;

    std::vector<std::int64_t> rowsToCheck(affected.begin(), affected.end());
    auto rows = context_->fetchRows(request_, &rowsToCheck, false, &error);
    if (error) {
        ok = false;
        return entries_;
    }
    objectsFor(rows);
    auto fresh = entriesFor(rows);
    std::sort(fresh.begin(), fresh.end(), [this](const Entry& a, const Entry& b) { return less(a, b); });
    std::vector<Entry> merged;
    merged.reserve(kept.size() + fresh.size());
    std::merge(kept.begin(), kept.end(), fresh.begin(), fresh.end(), std::back_inserter(merged),
               [this](const Entry& a, const Entry& b) { return less(a, b); });
    return merged;
}

void FetchedResultsController::contextDidChange(Context&, const ChangeSet& changes) {
    if (!fetched_ || !paths_) return;
    bool relevant = changes.reset || changes.touches(request_.entity);
    if (!relevant && paths_->query.crossesToMany) relevant = !changes.empty();
    for (const auto& [chain, reached] : paths_->chains) relevant = relevant || changes.touches(reached);
    if (!relevant) return;

    // A delegate may drop this list from inside the report; it lives until the report ends.
    auto self = shared_from_this();
    bool ok = true;
    auto fresh = recompute(changes, ok);
    if (!ok) {
        plat::Log::line("FetchedResultsController: refetch failed");
        return;
    }
    auto old = std::move(entries_);
    const auto oldSections = sections_;
    entries_ = std::move(fresh);
    rebuildSections();
    report(std::move(old), oldSections, changes);
}

void FetchedResultsController::report(std::vector<Entry> old, const std::vector<SectionInfo>& oldSections,
                                      const ChangeSet& changes) {
    auto pathsOf = [](const std::vector<Entry>& list, const std::vector<SectionInfo>& sections) {
        std::unordered_map<std::int64_t, IndexPath> out;
        out.reserve(list.size());
        for (std::size_t s = 0; s < sections.size(); ++s)
            for (std::size_t i = 0; i < sections[s].numberOfObjects; ++i)
                out[list[sections[s].offset + i].object->objectID().row] = {static_cast<long>(s), static_cast<long>(i)};
        return out;
    };
    const auto oldPaths = pathsOf(old, oldSections);
    const auto newPaths = pathsOf(entries_, sections_);
    std::unordered_map<std::int64_t, const Entry*> oldByRow;
    for (const auto& e : old) oldByRow[e.object->objectID().row] = &e;

    auto ownUpdate = [&](std::int64_t row) -> const std::uint32_t* {
        auto it = changes.updated.find({request_.entity, row});
        return it == changes.updated.end() ? nullptr : &it->second;
    };
    auto sameValues = [](const Entry& a, const Entry& b) {
        if (Value::compare(a.sectionValue, b.sectionValue) != 0) return false;
        for (std::size_t i = 0; i < a.sortValues.size(); ++i)
            if (Value::compare(a.sortValues[i], b.sortValues[i]) != 0) return false;
        return true;
    };

    // An object in both lists is stable when neither it nor its sort values changed; a changed
    // one moved when its place among the stable ones is different.
    std::unordered_set<std::int64_t> changedInBoth;
    for (const auto& e : entries_) {
        const auto r = e.object->objectID().row;
        auto it = oldByRow.find(r);
        if (it == oldByRow.end()) continue;
        if (ownUpdate(r) || !sameValues(*it->second, e)) changedInBoth.insert(r);
    }
    auto ranks = [&](const std::vector<Entry>& list, const std::unordered_set<std::int64_t>& inOther) {
        std::unordered_map<std::int64_t, std::size_t> out;
        std::size_t stable = 0;
        for (const auto& e : list) {
            const auto r = e.object->objectID().row;
            if (!inOther.count(r)) continue;
            if (changedInBoth.count(r)) {
                out[r] = stable;
            } else {
                ++stable;
            }
        }
        return out;
    };
    std::unordered_set<std::int64_t> inNew, inOld;
    for (const auto& e : entries_) inNew.insert(e.object->objectID().row);
    for (const auto& e : old) inOld.insert(e.object->objectID().row);
    const auto oldRanks = ranks(old, inNew);
    const auto newRanks = ranks(entries_, inOld);

    std::vector<SectionChange> sectionChanges;
    if (request_.sectionNameKeyPath) {
        auto has = [](const std::vector<SectionInfo>& list, const Value& v) {
            return std::any_of(list.begin(), list.end(), [&](const auto& s) { return Value::compare(s.value, v) == 0; });
        };
        for (std::size_t i = 0; i < oldSections.size(); ++i)
            if (!has(sections_, oldSections[i].value)) sectionChanges.push_back({oldSections[i], i, ChangeType::remove});
        for (std::size_t i = 0; i < sections_.size(); ++i)
            if (!has(oldSections, sections_[i].value)) sectionChanges.push_back({sections_[i], i, ChangeType::insert});
    }

    std::vector<ObjectChange> objectChanges;
    for (const auto& e : old) {
        const auto r = e.object->objectID().row;
        if (!inNew.count(r))
            objectChanges.push_back({e.object, ChangeType::remove, oldPaths.at(r), std::nullopt,
                                     changes.changedKeys({request_.entity, r})});
    }
    for (const auto& e : entries_) {
        const auto r = e.object->objectID().row;
        if (!inOld.count(r))
            objectChanges.push_back({e.object, ChangeType::insert, std::nullopt, newPaths.at(r),
                                     changes.changedKeys({request_.entity, r})});
    }
    std::vector<ObjectChange> updates;
    for (const auto& e : entries_) {
        const auto r = e.object->objectID().row;
        if (!changedInBoth.count(r)) continue;
        const auto& before = *oldByRow.at(r);
        const bool moved = oldRanks.at(r) != newRanks.at(r) ||
                           Value::compare(before.sectionValue, e.sectionValue) != 0;
        if (moved) {
            objectChanges.push_back({e.object, ChangeType::move, oldPaths.at(r), newPaths.at(r),
                                     changes.changedKeys({request_.entity, r})});
        } else if (ownUpdate(r)) {
            updates.push_back({e.object, ChangeType::update, oldPaths.at(r), newPaths.at(r),
                               changes.changedKeys({request_.entity, r})});
        }
    }
    objectChanges.insert(objectChanges.end(), updates.begin(), updates.end());
    if (sectionChanges.empty() && objectChanges.empty()) return;

    if (delegate_) delegate_->controllerWillChangeContent(*this);
    for (const auto& c : sectionChanges)
        if (delegate_) delegate_->controllerDidChangeSection(*this, c);
    for (const auto& c : objectChanges)
        if (delegate_) delegate_->controllerDidChangeObject(*this, c);
    if (delegate_) delegate_->controllerDidChangeContent(*this);
}

}  // namespace qx
