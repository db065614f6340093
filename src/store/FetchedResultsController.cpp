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
    releaseObjects();
    auto rows = context_->fetchRows(request_, nullptr, !batched(), &local);
    if (local) {
        reportError(error, local);
        return false;
    }
    entries_ = entriesFor(std::move(rows));
    if (!batched()) {
        // The rows are read in one go rather than one relation at a time as each is shown.
        std::vector<std::shared_ptr<ManagedObject>> objects;
        objects.reserve(entries_.size());
        for (const auto& e : entries_) objects.push_back(e.object);
        context_->prefetch(request_, objects);
    }
    rebuildSections();
    if (!fetched_) context_->addObserver(weak_from_this());
    fetched_ = true;
    return true;
}

void FetchedResultsController::loadObjects(std::vector<std::size_t> indexes) const {
    std::erase_if(indexes, [this](std::size_t i) { return i >= entries_.size() || entries_[i].object; });
    if (indexes.empty()) return;
    std::vector<std::int64_t> rows;
    rows.reserve(indexes.size());
    for (auto i : indexes) rows.push_back(entries_[i].row);
    // The context hands out the instances it holds and reads the others in a few queries, in
    // the order asked; a row deleted meanwhile has none and stays empty until the list hears of it.
    const auto objects = context_->objectsWithRows(request_.entity, rows);
    std::unordered_map<std::int64_t, std::shared_ptr<ManagedObject>> byRow;
    byRow.reserve(objects.size());
    for (const auto& o : objects) byRow.emplace(o->objectID().row, o);
    for (auto i : indexes)
        if (auto it = byRow.find(entries_[i].row); it != byRow.end()) entries_[i].object = it->second;
    context_->prefetch(request_, objects);
}

void FetchedResultsController::loadObjects(std::size_t first, std::size_t last) const {
    std::vector<std::size_t> indexes;
    for (std::size_t i = first; i < last && i < entries_.size(); ++i) indexes.push_back(i);
    loadObjects(std::move(indexes));
}

const std::shared_ptr<ManagedObject>& FetchedResultsController::objectAtIndex(std::size_t index) const {
    auto& entry = entries_[index];
    if (entry.object || !batched()) return entry.object;
    const std::size_t size = request_.fetchBatchSize;
    const std::size_t first = index - index % size, last = std::min(first + size, entries_.size());
    loadObjects(first, last);
    heldBatches_.emplace_back(first, last);
    // The oldest batch goes, unless a newer one covers the same rows.
    while (heldBatches_.size() > kHeldBatches) {
        const std::size_t from = heldBatches_.front().first, to = heldBatches_.front().second;
        heldBatches_.erase(heldBatches_.begin());
        const bool stillHeld = std::any_of(heldBatches_.begin(), heldBatches_.end(),
                                           [&](const auto& b) { return b.first == from; });
        for (std::size_t i = from; !stillHeld && i < to && i < entries_.size(); ++i) entries_[i].object.reset();
    }
    return entry.object;
}

std::vector<std::shared_ptr<ManagedObject>> FetchedResultsController::objectsInRange(std::size_t first,
                                                                                     std::size_t last) const {
    std::vector<std::shared_ptr<ManagedObject>> out;
    out.reserve(last - first);
    if (!batched()) {
        for (std::size_t i = first; i < last; ++i) out.push_back(entries_[i].object);
        return out;
    }
    // Every object at once, as asked, read batch by batch; the list keeps holding only its own.
    for (std::size_t from = first; from < last; from += request_.fetchBatchSize) {
        const std::size_t to = std::min(last, from + request_.fetchBatchSize);
        std::vector<std::int64_t> rows;
        for (std::size_t i = from; i < to; ++i)
            if (!entries_[i].object) rows.push_back(entries_[i].row);
        auto loaded = context_->objectsWithRows(request_.entity, rows);
        context_->prefetch(request_, loaded);
        std::size_t k = 0;
        for (std::size_t i = from; i < to; ++i) {
            if (entries_[i].object) {
                out.push_back(entries_[i].object);
            } else if (k < loaded.size() && loaded[k]->objectID().row == entries_[i].row) {
                out.push_back(std::move(loaded[k++]));
            }
        }
    }
    return out;
}

void FetchedResultsController::releaseObjects() const {
    if (!batched()) return;
    for (auto& e : entries_) e.object.reset();
    heldBatches_.clear();
}

std::size_t FetchedResultsController::numberOfHeldObjects() const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.object != nullptr; }));
}

Value FetchedResultsController::sectionOf(const Entry& entry) const {
    const auto& values = entry.sortValues;
    return request_.sectionNameKeyPath && !values.empty() ? values[values.size() - 1] : Value();
}

bool FetchedResultsController::sameSection(const Entry& a, const Entry& b) const {
    if (!request_.sectionNameKeyPath) return true;
    const std::size_t n = a.sortValues.size();
    if (n == 0 || b.sortValues.size() != n) return sectionOf(a) == sectionOf(b);
    return SortKeys::compare(a.sortValues, b.sortValues, n - 1) == 0;
}

bool FetchedResultsController::less(const Entry& a, const Entry& b) const {
    for (std::size_t i = 0; i < request_.sortDescriptors.size(); ++i) {
        const int c = SortKeys::compare(a.sortValues, b.sortValues, i);
        if (c != 0) return request_.sortDescriptors[i].ascending ? c < 0 : c > 0;
    }
    return a.row < b.row;
}

void FetchedResultsController::rebuildSections() {
    sections_.clear();
    if (!request_.sectionNameKeyPath) {
        sections_.push_back({"", Value(), 0, entries_.size()});
        return;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (sections_.empty() || !sameSection(entries_[sections_.back().offset], entries_[i])) {
            const Value value = sectionOf(entries_[i]);
            sections_.push_back({value.isNull() ? "" : value.description(), value, i, 0});
        }
        ++sections_.back().numberOfObjects;
    }
}

std::vector<std::shared_ptr<ManagedObject>> FetchedResultsController::fetchedObjects() const {
    return objectsInRange(0, entries_.size());
}

std::shared_ptr<ManagedObject> FetchedResultsController::objectAtIndexPath(const IndexPath& path) const {
    if (path.section < 0 || path.row < 0) return nullptr;
    const auto section = static_cast<std::size_t>(path.section), row = static_cast<std::size_t>(path.row);
    if (section >= sections_.size() || row >= sections_[section].numberOfObjects) return nullptr;
    return objectAtIndex(sections_[section].offset + row);
}

std::vector<std::shared_ptr<ManagedObject>> FetchedResultsController::objectsInSection(std::size_t section) const {
    if (section >= sections_.size()) return {};
    const auto& s = sections_[section];
    return objectsInRange(s.offset, s.offset + s.numberOfObjects);
}

std::optional<IndexPath> FetchedResultsController::indexPathForObject(const ManagedObject& object) const {
    if (object.entity() != request_.entity) return std::nullopt;
    const std::int64_t wanted = object.objectID().row;
    for (std::size_t s = 0; s < sections_.size(); ++s)
        for (std::size_t i = 0; i < sections_[s].numberOfObjects; ++i)
            if (entries_[sections_[s].offset + i].row == wanted)
                return IndexPath{static_cast<long>(s), static_cast<long>(i)};
    return std::nullopt;
}

void FetchedResultsController::objectsFor(std::vector<Context::Row>& rows) const {
    // The context hands out the instances it already holds (the list's own among them) and
    // loads the others in a few batched reads; rows gone meanwhile are dropped.
    std::vector<std::int64_t> ids;
    ids.reserve(rows.size());
    for (const auto& r : rows) ids.push_back(r.row);
    const auto objects = context_->objectsWithRows(request_.entity, ids);
    std::size_t k = 0;
    for (auto& r : rows)
        if (k < objects.size() && objects[k]->objectID().row == r.row) r.object = objects[k++];
    rows.erase(std::remove_if(rows.begin(), rows.end(), [](const auto& r) { return !r.object; }), rows.end());
}

bool FetchedResultsController::refetchAll(Diff& diff) {
    StoreError error;
    auto rows = context_->fetchRows(request_, nullptr, false, &error);
    if (error) return false;
    // A batched list reads the objects of the rows that changed when it reports them.
    if (!batched()) objectsFor(rows);
    auto fresh = entriesFor(std::move(rows));
    std::unordered_map<std::int64_t, std::size_t> newIndex;
    newIndex.reserve(fresh.size());
    for (std::size_t j = 0; j < fresh.size(); ++j) newIndex[fresh[j].row] = j;
    std::vector<std::pair<std::size_t, std::size_t>> both;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        auto it = newIndex.find(entries_[i].row);
        if (it == newIndex.end()) {
            diff.removed.emplace_back(i, std::move(entries_[i]));
        } else {
            both.emplace_back(it->second, i);
            it->second = fresh.size();  // marks the row as found in the old list
        }
    }
    for (std::size_t j = 0; j < fresh.size(); ++j)
        if (newIndex[fresh[j].row] == j) diff.inserted.push_back(j);
    std::sort(both.begin(), both.end());
    for (const auto& [j, i] : both) diff.stayed.push_back({i, j, std::move(entries_[i])});
    entries_ = std::move(fresh);
    return true;
}

bool FetchedResultsController::applyChanges(const ChangeSet& changes, Diff& diff) {
    const EntityKind entity = request_.entity;
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
    if (affected.empty() && gone.empty()) return true;

    std::vector<Entry> fresh;
    if (!affected.empty()) {
        std::vector<std::int64_t> rowsToCheck(affected.begin(), affected.end());
        StoreError error;
        auto rows = context_->fetchRows(request_, &rowsToCheck, false, &error);
        if (error) return false;
        objectsFor(rows);
        fresh = entriesFor(std::move(rows));
        std::sort(fresh.begin(), fresh.end(), [this](const Entry& a, const Entry& b) { return less(a, b); });
    }

    // Take the touched entries out, keeping their old places; the scan reads the rows only.
    std::vector<std::int64_t> touched(affected.begin(), affected.end());
    touched.insert(touched.end(), gone.begin(), gone.end());
    std::sort(touched.begin(), touched.end());
    std::vector<std::pair<std::size_t, Entry>> out;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (std::binary_search(touched.begin(), touched.end(), entries_[i].row)) {
            out.emplace_back(i, std::move(entries_[i]));
        } else if (!out.empty()) {
            entries_[kept++] = std::move(entries_[i]);
        } else {
            ++kept;
        }
    }
    entries_.resize(kept);

    // Put the fresh entries in their places: one by one when few, else in one merge.
    std::vector<std::size_t> placed(fresh.size());
    const auto lessThan = [this](const Entry& a, const Entry& b) { return less(a, b); };
    if (fresh.size() <= 32) {
        for (std::size_t j = 0; j < fresh.size(); ++j) {
            const auto at = static_cast<std::size_t>(
                std::lower_bound(entries_.begin(), entries_.end(), fresh[j], lessThan) - entries_.begin());
            for (std::size_t k = 0; k < j; ++k)
                if (placed[k] >= at) ++placed[k];
            placed[j] = at;
            entries_.insert(entries_.begin() + static_cast<long>(at), std::move(fresh[j]));
        }
    } else {
        std::vector<Entry> merged;
        merged.reserve(entries_.size() + fresh.size());
        std::size_t j = 0;
        for (auto& e : entries_) {
            for (; j < fresh.size() && less(fresh[j], e); ++j) {
                placed[j] = merged.size();
                merged.push_back(std::move(fresh[j]));
            }
            merged.push_back(std::move(e));
        }
        for (; j < fresh.size(); ++j) {
            placed[j] = merged.size();
            merged.push_back(std::move(fresh[j]));
        }
        entries_ = std::move(merged);
    }

    std::unordered_map<std::int64_t, std::size_t> newIndex;
    for (std::size_t j = 0; j < placed.size(); ++j) newIndex[entries_[placed[j]].row] = placed[j];
    for (auto& [i, e] : out) {
        auto it = newIndex.find(e.row);
        if (it == newIndex.end()) {
            diff.removed.emplace_back(i, std::move(e));
        } else {
            diff.stayed.push_back({i, it->second, std::move(e)});
            newIndex.erase(it);
        }
    }
    for (const auto& [row, j] : newIndex) diff.inserted.push_back(j);
    std::sort(diff.inserted.begin(), diff.inserted.end());
    std::sort(diff.stayed.begin(), diff.stayed.end(),
              [](const Diff::Stayed& a, const Diff::Stayed& b) { return a.newIndex < b.newIndex; });
    return true;
}

void FetchedResultsController::contextDidChange(Context&, const ChangeSet& changes) {
    if (!fetched_ || !paths_) return;
    bool relevant = changes.reset || changes.touches(request_.entity);
    if (!relevant && paths_->query.crossesToMany) relevant = !changes.empty();
    for (const auto& [chain, reached] : paths_->chains) relevant = relevant || changes.touches(reached);
    if (!relevant) return;

    // A delegate may drop this list from inside the report; it lives until the report ends.
    auto self = shared_from_this();
    const auto oldSections = sections_;
    Diff diff;
    const bool full = changes.reset || changes.insertedInBulk || request_.fetchLimit || paths_->query.crossesToMany;
    // Both leave the list as it was when the store cannot be read.
    if (!(full ? refetchAll(diff) : applyChanges(changes, diff))) {
        plat::Log::line("FetchedResultsController: refetch failed");
        return;
    }
    if (diff.removed.empty() && diff.inserted.empty() && diff.stayed.empty()) return;
    rebuildSections();
    // The places of a batched list's held batches have shifted: once the report has handed out
    // the changed objects, it reads them again as they are asked for.
    heldBatches_.clear();
    report(diff, oldSections, changes);
    releaseObjects();
}

void FetchedResultsController::report(Diff& diff, const std::vector<SectionInfo>& oldSections,
                                      const ChangeSet& changes) {
    const auto pathIn = [](const std::vector<SectionInfo>& sections, std::size_t index) {
        auto it = std::upper_bound(sections.begin(), sections.end(), index,
                                   [](std::size_t i, const SectionInfo& s) { return i < s.offset; });
        const auto s = static_cast<std::size_t>(it - sections.begin()) - 1;
        return IndexPath{static_cast<long>(s), static_cast<long>(index - sections[s].offset)};
    };
    auto ownUpdate = [&](std::int64_t row) { return changes.updated.count({request_.entity, row}) > 0; };
    auto sameValues = [](const Entry& a, const Entry& b) {
        for (std::size_t i = 0; i < a.sortValues.size(); ++i)
            if (SortKeys::compare(a.sortValues, b.sortValues, i) != 0) return false;
        return true;
    };

    // An object in both lists is stable when neither it nor its sort values changed; a changed
    // one moved when its place among the stable ones is different. Its place among them is its
    // index less the entries before it that are not stable.
    std::vector<const Diff::Stayed*> changed;
    std::vector<std::size_t> unstableOld, unstableNew;
    for (const auto& [i, e] : diff.removed) unstableOld.push_back(i);
    unstableNew = diff.inserted;
    for (const auto& s : diff.stayed) {
        if (!ownUpdate(s.before.row) && sameValues(s.before, entries_[s.newIndex])) continue;
        changed.push_back(&s);
        unstableOld.push_back(s.oldIndex);
        unstableNew.push_back(s.newIndex);
    }
    std::sort(unstableOld.begin(), unstableOld.end());
    std::sort(unstableNew.begin(), unstableNew.end());
    const auto rank = [](const std::vector<std::size_t>& unstable, std::size_t index) {
        return index - static_cast<std::size_t>(std::lower_bound(unstable.begin(), unstable.end(), index) -
                                                unstable.begin());
    };

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

    if (batched()) {
        std::vector<std::size_t> reported(diff.inserted.begin(), diff.inserted.end());
        for (const auto* c : changed) reported.push_back(c->newIndex);
        loadObjects(std::move(reported));
    }
    std::vector<ObjectChange> objectChanges;
    std::sort(diff.removed.begin(), diff.removed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [i, e] : diff.removed)
        objectChanges.push_back({e.object, ChangeType::remove, pathIn(oldSections, i), std::nullopt,
                                 changes.changedKeys({request_.entity, e.row})});
    for (const auto j : diff.inserted) {
        const auto& e = entries_[j];
        objectChanges.push_back({e.object, ChangeType::insert, std::nullopt, pathIn(sections_, j),
                                 changes.changedKeys({request_.entity, e.row})});
    }
    std::vector<ObjectChange> updates;
    for (const auto* s : changed) {
        const auto& e = entries_[s->newIndex];
        const bool moved = rank(unstableOld, s->oldIndex) != rank(unstableNew, s->newIndex) ||
                           !sameSection(s->before, e);
        if (moved) {
            objectChanges.push_back({e.object, ChangeType::move, pathIn(oldSections, s->oldIndex),
                                     pathIn(sections_, s->newIndex), changes.changedKeys({request_.entity, e.row})});
        } else if (ownUpdate(e.row)) {
            updates.push_back({e.object, ChangeType::update, pathIn(oldSections, s->oldIndex),
                               pathIn(sections_, s->newIndex), changes.changedKeys({request_.entity, e.row})});
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
