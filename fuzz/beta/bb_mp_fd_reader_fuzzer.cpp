// Runs the descriptor readers over arbitrary file contents. The first byte picks the readers in
// turn and the capacity given to the raw reader; the raw reader must never write past it.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "beta/BBMessagePackDescriptor.h"

using namespace bb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static const int fd = ::memfd_create("fd-reader-fuzz", 0);
    if (fd == -1) return 0;
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data + 2, size - 2, 0) != static_cast<ssize_t>(size - 2)) return 0;
    ::lseek(fd, 0, SEEK_SET);

    unsigned char buffer[300];
    const std::uint32_t capacity = data[1];  // up to 255 of the 300 bytes
    volatile std::uint64_t sink = 0;
    std::uint8_t plan = data[0];
    for (int step = 0; step < 8; ++step, plan = static_cast<std::uint8_t>(plan * 5 + 3)) {
        // A first byte other than 0 makes the reader clear the capacity before it reads.
        std::memset(buffer, 0xab, sizeof buffer);
        if (step % 2) buffer[0] = 0;
        unsigned char before[sizeof buffer];
        std::memcpy(before, buffer, sizeof buffer);
        switch (plan % 6) {
            case 0: sink = sink + bb_mp_fd_read_uint32(fd); break;
            case 1: sink = sink + static_cast<std::uint32_t>(bb_mp_fd_read_int32(fd)); break;
            case 2: sink = sink + static_cast<std::uint64_t>(bb_mp_fd_read_double(fd) == 0.0); break;
            case 3: {
                const std::uint32_t n = bb_mp_fd_read_raw(fd, buffer, capacity);
                if (std::memcmp(buffer + capacity, before + capacity, sizeof buffer - capacity) != 0) std::abort();
                sink = sink + n;
                break;
            }
            case 4: sink = sink + bb_mp_fd_read_fixarray_count(fd); break;
            default: sink = sink + bb_mp_fd_read_array32_count(fd); break;
        }
    }
    return 0;
}
