// Builds objects from arbitrary bytes. Whatever builds must pack again, and packing what that
// packed unpacks to must give the same bytes: building and packing agree on every value.
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
    return 0;
}
