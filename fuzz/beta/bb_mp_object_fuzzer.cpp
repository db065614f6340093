// Builds objects from arbitrary bytes. Whatever builds must pack again, and packing what that
// packed unpacks to must give the same bytes: building and packing agree on every value. Items
// moved or copied out of an unpacked array must pack the same once the array is gone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "beta/BBMessagePack.h"

using namespace bb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto object = BBMessagePack::unpack(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!object) return 0;
    auto packed = BBMessagePack::pack(*object);
    if (!packed) std::abort();
    auto again = BBMessagePack::unpack(*packed);
    if (!again) std::abort();
    auto repacked = BBMessagePack::pack(*again);
    if (!repacked || repacked->view() != packed->view()) std::abort();
    if (BBArray* items = again->asArray()) {
        BBArray taken;
        for (std::size_t i = 0; i < items->size(); ++i) {
            taken.push_back(i % 2 ? BBValue((*items)[i]) : std::move((*items)[i]));
        }
        again.reset();
        auto takenPacked = BBMessagePack::pack(BBValue(std::move(taken)));
        if (!takenPacked || takenPacked->view() != packed->view()) std::abort();
    }
    return 0;
}
