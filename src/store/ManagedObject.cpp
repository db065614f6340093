#include "store/ManagedObject.h"

#include <string_view>

#include "store/Context.h"

namespace qx {

ManagedObject::~ManagedObject() = default;

std::set<std::string> ManagedObject::changedKeys() const {
    std::set<std::string> names;
    const auto& d = entityDescription();
    for (int k = 0; k < d.keyCount(); ++k)
        if (changedKeys_ & (1u << k)) names.insert(d.keyName(k));
    return names;
}

Value ManagedObject::valueForKey(std::string_view key) const {
    const auto& d = entityDescription();
    if (int a = d.attributeIndex(key); a >= 0) return attributeValue(a);
    if (int l = d.linkIndex(key); l >= 0)
        return links_[l].row ? Value(ObjectID{d.links[l].target, links_[l].row}) : Value();
    if (int i = d.inverseIndex(key); i >= 0 && !d.inverses[i].toMany) {
        const auto& rows = inverseRows(i);
        return rows.empty() ? Value() : Value(ObjectID{d.inverses[i].source, rows.front()});
    }
    return {};
}

void ManagedObject::attributeDidChange(int index) {
    if (context_) context_->markChanged(*this, 1u << index, true);
}

std::shared_ptr<ManagedObject> ManagedObject::linkedObject(int link) const {
    if (!links_[link].row || !context_) return nullptr;
    return context_->existingObjectWithID({entityDescription().links[link].target, links_[link].row});
}

void ManagedObject::setLinkedObject(int link, const ManagedObject* target) {
    if (target && target->entity_ != entityDescription().links[link].target) return;
    const std::int64_t row = target ? target->row_ : 0;
    if (links_[link].row == row) return;
    if (context_) {
        context_->changeLink(*this, link, row);
    } else {
        links_[link].row = row;
    }
}

const std::vector<std::int64_t>& ManagedObject::inverseRows(int inverse) const {
    static const std::vector<std::int64_t> none;
    auto& cache = inverseCache_[inverse];
    if (!cache) {
        if (!context_ || state_ == State::deleted) return none;
        cache = context_->loadInverseRows(*this, inverse);
    }
    return *cache;
}

std::vector<std::shared_ptr<ManagedObject>> ManagedObject::inverseObjects(int inverse) const {
    if (!context_) return {};
    const auto rows = inverseRows(inverse);  // a copy: loading objects may refresh the cache
    return context_->objectsWithRows(entityDescription().inverses[inverse].source, rows);
}

std::shared_ptr<ManagedObject> ManagedObject::inverseObject(int inverse) const {
    const auto& rows = inverseRows(inverse);
    if (rows.empty() || !context_) return nullptr;
    if (partner_ && partner_->row_ == rows.front() && partner_->context_ == context_ &&
        partner_->state_ != State::deleted)
        return partner_;
    partner_ = context_->existingObjectWithID({entityDescription().inverses[inverse].source, rows.front()});
    return partner_;
}

std::optional<std::string> ManagedObject::nameText(std::optional<std::string> text) {
    if (!text) return text;
    // Blanks of the keyboards: ASCII, the no-break space and the ideographic space.
    std::string_view rest = *text;
    while (!rest.empty()) {
        if (std::string_view(" \t\n\r\f\v").find(rest.front()) != std::string_view::npos) {
            rest.remove_prefix(1);
        } else if (rest.starts_with("\xC2\xA0")) {
            rest.remove_prefix(2);
        } else if (rest.starts_with("\xE3\x80\x80")) {
            rest.remove_prefix(3);
        } else {
            return text;
        }
    }
    return std::nullopt;
}

}  // namespace qx
