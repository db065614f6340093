// Builds objects from arbitrary bytes. Whatever builds must pack again, and packing what that
// packed unpacks to must give the same bytes: building and packing agree on every value. Items
// moved or copied out of an unpacked array must pack the same once the array is gone. A value
// assigned one of its own items becomes that item, and a root moved from stays usable once the
// value it went to is gone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "beta/BBMessagePack.h"

using namespace bb;

namespace {

void takeItemsOut(std::optional<BBValue> again, std::string_view packed) {
    BBArray* items = again->asArray();
    if (!items) return;
    BBArray taken;
    for (std::size_t i = 0; i < items->size(); ++i) {
        taken.push_back(i % 2 ? BBValue((*items)[i]) : std::move((*items)[i]));
    }
    again.reset();
    auto takenPacked = BBMessagePack::pack(BBValue(std::move(taken)));
    if (!takenPacked || takenPacked->view() != packed) std::abort();
}

// The first item of a container, or none.
BBValue* firstItem(BBValue& value) {
    if (BBArray* items = value.asArray()) return items->empty() ? nullptr : &items->front();
    if (BBDictionary* map = value.asDictionary()) {
        return map->empty() ? nullptr : const_cast<BBValue*>(&map->begin()->second);
    }
    return nullptr;
}

void assignOwnItem(std::string_view input) {
    auto object = BBMessagePack::unpack(input);
    BBValue* item = object ? firstItem(*object) : nullptr;
    if (!item) return;
    auto expected = BBMessagePack::pack(*item);
    *object = std::move(*item);
    auto got = BBMessagePack::pack(*object);
    if (!expected || !got || got->view() != expected->view()) std::abort();
    // Twice more: a copy of an item, then the object itself.
    if ((item = firstItem(*object))) {
        expected = BBMessagePack::pack(*item);
        *object = *item;
        got = BBMessagePack::pack(*object);
        if (!expected || !got || got->view() != expected->view()) std::abort();
    }
    BBValue& self = *object;
    *object = std::move(self);
}

void reuseMovedFromRoot(std::string_view input) {
    auto object = BBMessagePack::unpack(input);
    if (!object) return;
    { BBValue gone = std::move(*object); }
    if (BBArray* items = object->asArray()) items->push_back(BBValue(1));
    if (BBDictionary* map = object->asDictionary()) map->set("k", std::string(40, 'v'));
    BBValue again = std::move(*object);
    if (!BBMessagePack::pack(again) || !BBMessagePack::pack(*object)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    auto object = BBMessagePack::unpack(input);
    if (!object) return 0;
    auto packed = BBMessagePack::pack(*object);
    if (!packed) std::abort();
    auto again = BBMessagePack::unpack(*packed);
    if (!again) std::abort();
    auto repacked = BBMessagePack::pack(*again);
    if (!repacked || repacked->view() != packed->view()) std::abort();
    takeItemsOut(std::move(again), packed->view());
    assignOwnItem(input);
    reuseMovedFromRoot(input);
    return 0;
}
