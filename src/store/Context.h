#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/ChangeSet.h"
#include "store/Connection.h"
#include "store/FetchRequest.h"
#include "store/ManagedObject.h"
#include "store/ObjectRegistry.h"
#include "store/SortKeys.h"
#include "store/StoreError.h"

namespace qx {

class Store;
struct CompiledQuery;

// Told after every save of, or merge into, the context it watches.
class ContextObserver {
public:
    virtual ~ContextObserver() = default;
    virtual void contextDidChange(class Context& context, const ChangeSet& changes) = 0;
};

// A scratch pad of stored objects over one database connection: objects are fetched into it,
// made and changed in it, and written together by save(). The main context lives as long as
// its store and is used on the main thread only; a private context exists for one
// save-with-block on the store's save thread. Within one context an object has exactly one
// instance.
class Context : public std::enable_shared_from_this<Context> {
public:
    enum class Kind : std::uint8_t { main, privateQueue };

    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    Kind kind() const { return kind_; }
    bool isMain() const { return kind_ == Kind::main; }
    Store& store() const { return *store_; }

    // Makes a new object of the entity, registered as inserted.
    template <class T>
    std::shared_ptr<T> insertNew() {
        // Object and count in one allocation: a save of many new rows makes them by the thousand.
        auto object = std::allocate_shared<T>(Maker<T>());
        registerInserted(object);
        return object;
    }
    // Marks the object, and everything its relations own, as deleted.
    void deleteObject(const std::shared_ptr<ManagedObject>& object);

    // This context's instance of a stored object; none when the row does not exist.
    std::shared_ptr<ManagedObject> existingObjectWithID(const ObjectID& id, StoreError* error = nullptr);
    template <class T>
    std::shared_ptr<T> objectWithRow(std::int64_t row) {
        return std::static_pointer_cast<T>(existingObjectWithID({T::kEntity, row}));
    }
    // The same object as `other` (from any context), in this one.
    template <class T>
    std::shared_ptr<T> inContext(const std::shared_ptr<T>& other) {
        if (!other) return nullptr;
        return std::static_pointer_cast<T>(existingObjectWithID(other->objectID()));
    }

    // The objects the request selects, in order. On an invalid request (an unknown key, a
    // to-many key where one object is needed) the result is empty and `error` says why.
    std::vector<std::shared_ptr<ManagedObject>> executeFetch(const FetchRequest& request, StoreError* error = nullptr);
    template <class T>
    std::vector<std::shared_ptr<T>> fetch(const FetchRequest& request, StoreError* error = nullptr) {
        return ManagedObjectCast::all<T>(executeFetch(request, error));
    }
    template <class T>
    std::shared_ptr<T> fetchFirst(FetchRequest request, StoreError* error = nullptr) {
        request.fetchLimit = 1;
        auto all = fetch<T>(request, error);
        return all.empty() ? nullptr : all.front();
    }
    // How many objects the request selects (its sort keys and limit ignored); none on error.
    std::optional<std::size_t> count(const FetchRequest& request, StoreError* error = nullptr);

    bool hasChanges() const;
    // Writes every change in one transaction and tells the observers. On failure nothing is
    // written and the changes stay in the context.
    bool save(StoreError* error = nullptr);
    // Forgets the unsaved changes: inserted objects leave, changed ones are read again.
    void rollback();
    // Makes the save with a block this context runs in fail with `error`, writing nothing: for a
    // block that has saved part of its work into the open transaction and then finds it must
    // not be kept.
    void abandonSave(StoreError error) { failure_ = std::move(error); }

    void addObserver(const std::weak_ptr<ContextObserver>& observer);

    // Brings in what another context saved: refreshes the objects held here, forgets the
    // deleted ones, and tells the observers.
    void mergeChanges(const ChangeSet& changes);

    // --- for the store's own classes ---
    Connection& connection() const { return *connection_; }
    // Sets a stored number derived from other rows (a day's alarm count) without recording a
    // change: it is recomputed whenever it is read.
    bool writeDerivedValue(ManagedObject& object, int attribute, const Value& value);
    // Rows of the objects selected by a compiled query, with their sort values.
    struct Row {
        std::int64_t row = 0;
        std::shared_ptr<ManagedObject> object;  // only when asked for
        // The sort values, then the section value when the query has one: a list of the whole
        // store keeps this per row, so it takes no room for what the query does not read.
        SortKeys sortValues;
    };
    std::vector<Row> fetchRows(const FetchRequest& request, const std::vector<std::int64_t>* onlyRows, bool withObjects,
                               StoreError* error);
    std::vector<std::shared_ptr<ManagedObject>> objectsWithRows(EntityKind entity, const std::vector<std::int64_t>& rows);
    // Rows of `entity` whose key paths (through to-one relations) reach one of `changed`.
    std::vector<std::int64_t> rowsReaching(EntityKind entity, const std::vector<std::string>& path, EntityKind target,
                                           const std::vector<std::int64_t>& changed);
    // Used by the store to run a save whose transaction it opened itself.
    bool saveInOpenTransaction(ChangeSet& changes, StoreError* error);
    // Drops every object: the store underneath was wiped.
    void invalidateAll();
    // Loads the relations the request asks to prefetch (and a waypoint's measurement) for the
    // fetched objects, in a few batched queries. The objects reached through to-one relations of
    // the objects' own rows are returned: the context holds objects only while someone does.
    std::vector<std::shared_ptr<ManagedObject>> prefetch(const FetchRequest& request,
                                                         const std::vector<std::shared_ptr<ManagedObject>>& objects);
    // The objects of an entity made in this context and not saved yet.
    std::vector<std::shared_ptr<ManagedObject>> insertedObjects(EntityKind entity) const;

private:
    friend class Store;
    friend class ManagedObject;
    struct ManagedObjectCast {
        template <class T>
        static std::vector<std::shared_ptr<T>> all(const std::vector<std::shared_ptr<ManagedObject>>& objects) {
            std::vector<std::shared_ptr<T>> out;
            out.reserve(objects.size());
            for (const auto& o : objects) out.push_back(std::static_pointer_cast<T>(o));
            return out;
        }
    };
    // Builds entities (whose constructors only the context may call) in place for allocate_shared.
    template <class U>
    struct Maker {
        using value_type = U;
        Maker() = default;
        template <class V>
        Maker(const Maker<V>&) {}
        U* allocate(std::size_t n) { return std::allocator<U>().allocate(n); }
        void deallocate(U* p, std::size_t n) { std::allocator<U>().deallocate(p, n); }
        template <class V>
        void construct(V* p) {
            ::new (static_cast<void*>(p)) V();
        }
        template <class V>
        void destroy(V* p) {
            p->~V();
        }
        template <class V>
        bool operator==(const Maker<V>&) const {
            return true;
        }
    };
    struct AppendEvent {
        std::shared_ptr<ManagedObject> child;
        int link;
        std::int64_t owner;
    };

    Context(Store& store, Connection& connection, Kind kind);
    static std::shared_ptr<Context> make(Store& store, Connection& connection, Kind kind);
    static std::shared_ptr<ManagedObject> makeObject(EntityKind entity);

    void registerInserted(const std::shared_ptr<ManagedObject>& object);
    std::shared_ptr<ManagedObject> registered(const ObjectID& id) const;
    // Whether the object was made here and is not saved (nor deleted) yet.
    bool insertedHere(const ObjectID& id) const;
    void enter(const ObjectID& id, const std::shared_ptr<ManagedObject>& object);
    std::shared_ptr<ManagedObject> materialize(EntityKind entity, std::int64_t row, const std::vector<Value>& columns);
    void readColumns(ManagedObject& object, const std::vector<Value>& columns, bool keepDirty);
    // Binds the object's row to an insert or update statement, column by column in table order.
    // `first` is the statement's place of the row's first column (several rows may share one).
    static void bindColumns(Connection::Statement& s, const ManagedObject& object, int first = 1);

    void markChanged(ManagedObject& object, std::uint32_t keys, bool dirty);
    void markTouched(const ObjectID& id, std::uint32_t keys);
    std::vector<std::int64_t> loadInverseRows(const ManagedObject& owner, int inverse);
    void adjustForPendingLinks(EntityKind ownerEntity, std::int64_t owner, const InverseDescription& inv,
                               std::vector<std::int64_t>& rows) const;
    using LinkRows = std::array<std::int64_t, 2>;
    void collectCascade(EntityKind entity, const std::vector<std::int64_t>& rows,
                        std::unordered_map<ObjectID, LinkRows>& out);
    void collectReadingOwners(std::unordered_map<ObjectID, LinkRows>& doomed);
    void changeLink(ManagedObject& child, int link, std::int64_t newOwner);
    bool flushPending(StoreError* error);

    bool writeChanges(ChangeSet& changes, StoreError* error);
    // Writes the rows of the entity's objects made here.
    bool insertRows(EntityKind entity, StoreError* error);
    bool resolveDaySets(StoreError* error);
    void remapRow(const ObjectID& from, std::int64_t to);
    bool assignPositions(StoreError* error);
    bool refreshAlarmCounts(ChangeSet& changes, StoreError* error);
    void finishSave(const ChangeSet& changes);
    void forgetChanges();
    void notifyObservers(const ChangeSet& changes);
    void reloadObjects(EntityKind entity, const std::vector<std::shared_ptr<ManagedObject>>& objects,
                       std::vector<std::shared_ptr<ManagedObject>>& vanished);

    Store* store_;
    Connection* connection_;
    Kind kind_;
    ObjectRegistry registry_;
    std::size_t sweepAt_ = 1024;
    std::vector<std::shared_ptr<ManagedObject>> inserted_;
    std::unordered_map<ObjectID, std::shared_ptr<ManagedObject>> updated_;
    std::unordered_map<ObjectID, std::shared_ptr<ManagedObject>> deleted_;  // object may be null
    std::unordered_map<ObjectID, std::uint32_t> touched_;  // relation keys of objects not necessarily held
    std::vector<AppendEvent> appends_;
    std::vector<std::weak_ptr<ContextObserver>> observers_;
    ChangeSet pending_;  // written inside an open transaction, not yet committed
    StoreError failure_;  // why the open transaction must not commit
};

}  // namespace qx
