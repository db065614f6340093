#pragma once

#include <link.h>

#include <cstddef>
#include <cstdint>

// The images (executable and shared objects) loaded into this process, as the loader lists them,
// and the "image_list" of a crash event: one line per image with its address range, file name,
// processor, build id and path. Safe inside a crash handler: no allocation, only the loader's
// list and the images' own headers in memory.

namespace bb {

struct BBImage {
    const char* path;        // full path; the executable's is read from /proc/self/exe
    std::uintptr_t bias;     // added to the addresses in the file to give those in memory
    const ElfW(Phdr)* headers;
    std::size_t headerCount;
};

// Calls `visit` for each image in the loader's order until it returns non-zero.
using BBImageVisitor = int (*)(const BBImage& image, void* context);
void bb_visit_images(BBImageVisitor visit, void* context);

// The lowest address of the image's loaded segments.
std::uintptr_t bb_image_load_address(const BBImage& image);
// The end of its code (its executable segments); the load address when it has none.
std::uintptr_t bb_image_text_end(const BBImage& image);
// The first 16 bytes of its build id into `out` (zero-filled); false without a build id.
bool bb_image_build_id(const BBImage& image, unsigned char out[16]);
// The processor named in the image's header (its ELF machine number), 0 when unknown.
int bb_image_cpu_type(const BBImage& image);
// True when the image has a loaded segment holding `address`.
bool bb_image_contains(const BBImage& image, std::uintptr_t address);

// The architecture text of a processor type and subtype (ELF machine numbers here): "x86_64",
// "arm64", "arm", "i386"; any other pair as the two signed numbers joined by ",".
void bb_arch_name(std::int32_t cpuType, std::int32_t cpuSubtype, char* out, std::size_t capacity);

// An array of one image line per image. 1 on success, 0 when a write failed.
int bb_write_image_list(int fd);
int bb_write_image_line(int fd, const BBImage& image);

}  // namespace bb
