// Pulls every item out of arbitrary bytes, reading each with every accessor: the reader must
// stay inside its input whatever the bytes say.
#include <cstddef>
#include <cstdint>

#include "beta/BBMessagePackReader.h"

using namespace bb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BBMessagePackReader r = bb_mp_reader_init(data, size);
    volatile std::uint64_t sink = 0;
    for (int items = 0; items < 100000; ++items) {
        const BBMessagePackType kind = bb_mp_reader_next(r);
        if (kind == BBMessagePackTypeError) break;
        sink = sink + static_cast<std::uint64_t>(bb_mp_reader_fixnum(r)) + bb_mp_reader_int8(r) + bb_mp_reader_uint8(r) +
               bb_mp_reader_int16(r) + bb_mp_reader_uint16(r) + bb_mp_reader_int32(r) + bb_mp_reader_uint32(r) +
               bb_mp_reader_int64(r) + bb_mp_reader_uint64(r) + bb_mp_reader_u16(r) + bb_mp_reader_u32(r) +
               bb_mp_reader_array_count(r) + bb_mp_reader_map_count(r) +
               static_cast<std::uint64_t>(bb_mp_reader_float(r) != 0) + static_cast<std::uint64_t>(bb_mp_reader_double(r) != 0);
        if (const char* raw = bb_mp_reader_raw_bytes(r)) {
            const std::uint32_t n = bb_mp_reader_raw_length(r);
            if (n) sink = sink + static_cast<unsigned char>(raw[0]) + static_cast<unsigned char>(raw[n - 1]);
        }
    }
    return 0;
}
