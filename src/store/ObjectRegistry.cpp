#include "store/ObjectRegistry.h"

#include "store/ManagedObject.h"

namespace qx {

std::size_t ObjectRegistry::home(std::int64_t row, EntityKind entity) const {
    // Rows are handed out one after the other, so the identity itself spreads them well, and the
    // objects one save makes, looked up again and again, lie side by side in the array.
    const std::uint64_t key = (static_cast<std::uint64_t>(row) << 2) | static_cast<std::uint64_t>(entity);
    return static_cast<std::size_t>(key) & (slots_.size() - 1);
}

std::size_t ObjectRegistry::probe(const ObjectID& id) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = home(id.row, id.entity);
    while (slots_[i].used && !(slots_[i].row == id.row && slots_[i].entity == id.entity)) i = (i + 1) & mask;
    return i;
}

std::shared_ptr<ManagedObject> ObjectRegistry::find(const ObjectID& id) const {
    if (size_ == 0) return nullptr;
    const auto& s = slots_[probe(id)];
    return s.used ? s.object.lock() : nullptr;
}

void ObjectRegistry::put(const ObjectID& id, const std::shared_ptr<ManagedObject>& object) {
    if ((size_ + 1) * 4 > slots_.size() * 3) grow();
    auto& s = slots_[probe(id)];
    if (!s.used) {
        s.used = true;
        s.row = id.row;
        s.entity = id.entity;
        ++size_;
    }
    s.object = object;
}

void ObjectRegistry::erase(const ObjectID& id) {
    if (size_ == 0) return;
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = probe(id);
    if (!slots_[hole].used) return;
    slots_[hole] = Slot{};
    --size_;
    // Entries after the hole that would not be found past it move back into it.
    for (std::size_t j = (hole + 1) & mask; slots_[j].used; j = (j + 1) & mask) {
        const std::size_t k = home(slots_[j].row, slots_[j].entity);
        const bool reachable = hole <= j ? (hole < k && k <= j) : (hole < k || k <= j);
        if (reachable) continue;
        slots_[hole] = std::move(slots_[j]);
        slots_[j] = Slot{};
        hole = j;
    }
}

void ObjectRegistry::sweep() {
    std::vector<Slot> old;
    old.swap(slots_);
    size_ = 0;
    std::size_t live = 0;
    for (const auto& s : old)
        if (s.used && !s.object.expired()) ++live;
    std::size_t capacity = 16;
    while (capacity * 3 < live * 4 + 4) capacity *= 2;
    slots_.resize(capacity);
    for (auto& s : old)
        if (s.used && !s.object.expired()) {
            auto& to = slots_[probe({s.entity, s.row})];
            to = std::move(s);
            ++size_;
        }
}

void ObjectRegistry::clear() {
    slots_.clear();
    size_ = 0;
}

void ObjectRegistry::grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.resize(old.empty() ? 16 : old.size() * 2);
    for (auto& s : old)
        if (s.used) slots_[probe({s.entity, s.row})] = std::move(s);
}

}  // namespace qx
