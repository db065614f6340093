#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "store/Context.h"
#include "store/FetchRequest.h"
#include "store/IndexPath.h"
#include "store/ManagedObject.h"
#include "store/Value.h"

namespace qx {

class FetchedResultsController;

enum class ChangeType : int { insert = 1, remove = 2, move = 3, update = 4 };

struct SectionInfo {
    std::string name;
    Value value;
    std::size_t offset = 0;  // index of the section's first object in fetchedObjects()
    std::size_t numberOfObjects = 0;
};

// One reported change of a live list: deletions carry their old position, insertions their new
// one, moves and updates both. `changedKeys` names the keys the save changed on the object.
struct ObjectChange {
    std::shared_ptr<ManagedObject> object;
    ChangeType type = ChangeType::update;
    std::optional<IndexPath> indexPath;
    std::optional<IndexPath> newIndexPath;
    std::set<std::string> changedKeys;
};

struct SectionChange {
    SectionInfo section;
    std::size_t index = 0;  // old index for a deletion, new index for an insertion
    ChangeType type = ChangeType::insert;
};

// Told about the changes of a live list, in this order: will-change, section deletions and
// insertions, object deletions, insertions, moves and updates, did-change.
class FetchedResultsControllerDelegate {
public:
    virtual ~FetchedResultsControllerDelegate() = default;
    virtual void controllerWillChangeContent(FetchedResultsController&) {}
    virtual void controllerDidChangeSection(FetchedResultsController&, const SectionChange&) {}
    virtual void controllerDidChangeObject(FetchedResultsController&, const ObjectChange&) {}
    virtual void controllerDidChangeContent(FetchedResultsController&) {}
};

// A live result list over the main context: the objects of a fetch request, grouped in
// sections, recomputed after every save into or merge with the context, with the differences
// reported to its delegate. The delegate is not owned: clear it before it goes away.
//
// With a batch size in its request the list holds every row's place but only the objects of
// the batches read last (see FetchRequest::fetchBatchSize): a list of the whole store costs what
// a screenful of it costs. Its change reports carry the objects that entered, moved or changed;
// a removed row carries its object only when the list held it.
class FetchedResultsController : public ContextObserver,
                                 public std::enable_shared_from_this<FetchedResultsController> {
public:
    static std::shared_ptr<FetchedResultsController> create(FetchRequest request, Context& context,
                                                            FetchedResultsControllerDelegate* delegate = nullptr);
    // Makes the list and fetches it at once; on an invalid request it stays empty and the error
    // is returned.
    static std::shared_ptr<FetchedResultsController> fetchAll(FetchRequest request,
                                                              FetchedResultsControllerDelegate* delegate,
                                                              StoreError* error = nullptr);

    bool performFetch(StoreError* error = nullptr);

    const FetchRequest& fetchRequest() const { return request_; }
    Context& managedObjectContext() const { return *context_; }
    FetchedResultsControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(FetchedResultsControllerDelegate* delegate) { delegate_ = delegate; }

    const std::vector<SectionInfo>& sections() const { return sections_; }
    std::vector<std::shared_ptr<ManagedObject>> fetchedObjects() const;
    std::size_t numberOfObjects() const { return entries_.size(); }
    std::shared_ptr<ManagedObject> objectAtIndexPath(const IndexPath& path) const;
    template <class T>
    std::shared_ptr<T> objectAt(const IndexPath& path) const {
        return std::static_pointer_cast<T>(objectAtIndexPath(path));
    }
    std::optional<IndexPath> indexPathForObject(const ManagedObject& object) const;
    std::vector<std::shared_ptr<ManagedObject>> objectsInSection(std::size_t section) const;
    // A batched list keeps this many batches of objects.
    static constexpr std::size_t kHeldBatches = 4;
    // The objects of a batched list it holds now.
    std::size_t numberOfHeldObjects() const;

    void contextDidChange(Context& context, const ChangeSet& changes) override;

private:
    // A row's place keys beside its object, so that scans stay in the list's memory; a list of
    // the whole store takes the fetched rows as they are, without a copy.
    using Entry = Context::Row;
    struct Paths;
    // How one recomputation changed the list, by position: what left (old index and entry), what
    // came (new index) and what stayed but may have changed (both indexes and the old entry).
    struct Diff {
        struct Stayed {
            std::size_t oldIndex = 0, newIndex = 0;
            Entry before;
        };
        std::vector<std::pair<std::size_t, Entry>> removed;  // by old index
        std::vector<std::size_t> inserted;                   // ascending
        std::vector<Stayed> stayed;                          // by new index
    };

    FetchedResultsController(FetchRequest request, Context& context, FetchedResultsControllerDelegate* delegate);
    bool batched() const { return request_.fetchBatchSize > 0; }
    bool less(const Entry& a, const Entry& b) const;
    Value sectionOf(const Entry& entry) const;
    bool sameSection(const Entry& a, const Entry& b) const;
    // Gives the entries [first, last) their objects where they lack one, in a few batched reads.
    void loadObjects(std::size_t first, std::size_t last) const;
    void loadObjects(std::vector<std::size_t> indexes) const;
    const std::shared_ptr<ManagedObject>& objectAtIndex(std::size_t index) const;
    std::vector<std::shared_ptr<ManagedObject>> objectsInRange(std::size_t first, std::size_t last) const;
    void releaseObjects() const;
    bool refetchAll(Diff& diff);
    bool applyChanges(const ChangeSet& changes, Diff& diff);
    void objectsFor(std::vector<Context::Row>& rows) const;
    static std::vector<Entry> entriesFor(std::vector<Context::Row>&& rows) { return std::move(rows); }
    void rebuildSections();
    void report(Diff& diff, const std::vector<SectionInfo>& oldSections, const ChangeSet& changes);

    FetchRequest request_;
    Context* context_;
    FetchedResultsControllerDelegate* delegate_;
    // Mutable: a batched list reads its objects into the entries as they are asked for.
    mutable std::vector<Entry> entries_;
    // The batches of a batched list that hold their objects, oldest first, as [first, last).
    mutable std::vector<std::pair<std::size_t, std::size_t>> heldBatches_;
    std::vector<SectionInfo> sections_;
    std::unique_ptr<Paths> paths_;
    bool fetched_ = false;

public:
    ~FetchedResultsController() override;
};

}  // namespace qx
