#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "store/EntityDescription.h"
#include "store/ObjectID.h"
#include "store/Value.h"

namespace qx {

class Context;

// The base of the stored entities. An object belongs to the context it was made or fetched in
// and is used on that context's thread only; to use it elsewhere, fetch it into the other
// context by its objectID. Setters record what changed; the context writes it on save.
class ManagedObject : public std::enable_shared_from_this<ManagedObject> {
public:
    virtual ~ManagedObject();
    ManagedObject(const ManagedObject&) = delete;
    ManagedObject& operator=(const ManagedObject&) = delete;

    EntityKind entity() const { return entity_; }
    const EntityDescription& entityDescription() const { return EntityDescription::of(entity_); }
    ObjectID objectID() const { return {entity_, row_}; }
    // The owning context; none once the object's deletion was saved or its context is gone.
    Context* managedObjectContext() const { return context_; }

    bool isInserted() const { return state_ == State::inserted; }
    bool isDeleted() const { return state_ == State::deleted; }
    bool isUpdated() const { return updated_; }
    bool hasChanges() const { return isInserted() || isDeleted() || updated_; }
    // The keys changed since the last save.
    std::set<std::string> changedKeys() const;

    // An attribute's value, or a to-one relation's object identity, by name; nothing for an
    // unknown key.
    Value valueForKey(std::string_view key) const;

protected:
    explicit ManagedObject(EntityKind entity) : entity_(entity) {}

    // Subclasses keep their attributes as typed fields and expose them here by index.
    virtual Value attributeValue(int index) const = 0;
    virtual void assignAttribute(int index, const Value& value) = 0;
    void attributeDidChange(int index);
    // Sets a field and records the change; setting the value it has is no change.
    template <class T, class U>
    void assign(T& field, U&& value, int index) {
        if (field == value) return;
        field = std::forward<U>(value);
        attributeDidChange(index);
    }
    static std::optional<std::string> optionalText(const Value& v) {
        if (v.isNull()) return std::nullopt;
        return v.type() == Value::Type::text ? v.text() : v.description();
    }
    static Value textValue(const std::optional<std::string>& text) { return text ? Value(*text) : Value(); }
    // A name: text of blanks alone (or none at all) is no name.
    static std::optional<std::string> nameText(std::optional<std::string> text);

    std::int64_t linkRow(int link) const { return links_[link].row; }
    std::shared_ptr<ManagedObject> linkedObject(int link) const;
    // Sets a to-one relation kept in this object's row and keeps the other side in step: the
    // object is appended to the new owner's ordered list and leaves the old one's.
    void setLinkedObject(int link, const ManagedObject* target);
    // The rows of an inverse relation in order, counting this context's unsaved changes.
    const std::vector<std::int64_t>& inverseRows(int inverse) const;
    std::vector<std::shared_ptr<ManagedObject>> inverseObjects(int inverse) const;
    std::shared_ptr<ManagedObject> inverseObject(int inverse) const;

    template <class T>
    static std::vector<std::shared_ptr<T>> downcast(const std::vector<std::shared_ptr<ManagedObject>>& objects) {
        std::vector<std::shared_ptr<T>> out;
        out.reserve(objects.size());
        for (const auto& o : objects) out.push_back(std::static_pointer_cast<T>(o));
        return out;
    }

private:
    friend class Context;

    enum class State : std::uint8_t { detached, clean, inserted, deleted };
    struct Link {
        std::int64_t row = 0;       // 0: none
        std::int64_t position = 0;  // place in the owner's ordered list
        bool positionPending = false;
    };

    EntityKind entity_;
    State state_ = State::detached;
    bool updated_ = false;
    std::int64_t row_ = 0;
    Context* context_ = nullptr;
    std::uint32_t dirtyKeys_ = 0;  // attributes and links to write
    std::uint32_t changedKeys_ = 0;  // everything to report, relations included
    std::array<Link, 2> links_{};
    mutable std::array<std::optional<std::vector<std::int64_t>>, 3> inverseCache_;
    // The partner of a one-to-one relation kept in the other row (a waypoint's measurement),
    // held so that reading it again costs nothing.
    mutable std::shared_ptr<ManagedObject> partner_;
};

}  // namespace qx
