#include "beta/BBLoadedImages.h"

#include <elf.h>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <unistd.h>

#include "beta/BBMessagePackDescriptor.h"
#include "beta/BBSignalSafeText.h"
#include "beta/BBTextLine.h"

namespace bb {

namespace {

constexpr std::size_t kMaxProgramHeaders = 256;

// The executable's path; the loader names it with an empty text.
const char* executablePath(char (&buffer)[1024]) {
    if (buffer[0] == '\0') {
        const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        buffer[n > 0 ? n : 0] = '\0';
    }
    return buffer;
}

// Whether the page holding `address` is mapped, asked of the kernel so that a stale address
// cannot fault.
bool mapped(std::uintptr_t address) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    unsigned char resident = 0;
    return address != 0 && ::mincore(reinterpret_cast<void*>(address & ~(page - 1)), 1, &resident) == 0;
}

// The program headers of a shared object, read from its ELF header in memory, which the first
// loaded segment maps at the object's base.
bool sharedObjectHeaders(std::uintptr_t base, const ElfW(Phdr)** headers, std::size_t* count) {
    if (!mapped(base)) return false;
    const auto* elf = reinterpret_cast<const ElfW(Ehdr)*>(base);
    if (elf->e_ident[EI_MAG0] != ELFMAG0 || elf->e_ident[EI_MAG1] != ELFMAG1 || elf->e_ident[EI_MAG2] != ELFMAG2 ||
        elf->e_ident[EI_MAG3] != ELFMAG3 || elf->e_phentsize != sizeof(ElfW(Phdr)) || elf->e_phnum == 0 ||
        elf->e_phnum > kMaxProgramHeaders || !mapped(base + elf->e_phoff) ||
        !mapped(base + elf->e_phoff + elf->e_phnum * sizeof(ElfW(Phdr)) - 1)) {
        return false;
    }
    const auto* table = reinterpret_cast<const ElfW(Phdr)*>(base + elf->e_phoff);
    // Only an object whose start of file is loaded at its base has its header there.
    for (std::size_t i = 0; i < elf->e_phnum; ++i) {
        if (table[i].p_type == PT_LOAD && table[i].p_offset == 0) {
            if (table[i].p_vaddr != 0) return false;
            *headers = table;
            *count = elf->e_phnum;
            return true;
        }
    }
    return false;
}

struct WriteState {
    int fd;
    std::uint32_t remaining;
    int ok;
};

int countImage(const BBImage&, void* context) {
    ++*static_cast<std::uint32_t*>(context);
    return 0;
}

int writeImage(const BBImage& image, void* context) {
    auto* state = static_cast<WriteState*>(context);
    if (state->remaining == 0) return 1;
    --state->remaining;
    state->ok &= bb_write_image_line(state->fd, image);
    return 0;
}

}  // namespace

// The loader's own list is walked without its lock, which a thread stopped inside the loader (or
// inside dl_iterate_phdr) may hold for good while a crash is handled.
void bb_visit_images(BBImageVisitor visit, void* context) {
    if (!visit) return;
    char executable[1024] = {};
    for (const link_map* entry = _r_debug.r_map; entry; entry = entry->l_next) {
        BBImage image{entry->l_name, static_cast<std::uintptr_t>(entry->l_addr), nullptr, 0};
        if (entry == _r_debug.r_map) {
            // The executable comes first; the kernel told where its headers are.
            image.path = executablePath(executable);
            image.headers = reinterpret_cast<const ElfW(Phdr)*>(::getauxval(AT_PHDR));
            image.headerCount = image.headers ? ::getauxval(AT_PHNUM) : 0;
        } else if (!sharedObjectHeaders(image.bias, &image.headers, &image.headerCount)) {
            image.headers = nullptr;
            image.headerCount = 0;
        }
        if (!image.path) image.path = "";
        if (visit(image, context) != 0) return;
    }
}

std::uintptr_t bb_image_load_address(const BBImage& image) {
    std::uintptr_t lowest = UINTPTR_MAX;
    for (std::size_t i = 0; i < image.headerCount; ++i) {
        const auto& header = image.headers[i];
        if (header.p_type == PT_LOAD && header.p_vaddr < lowest) lowest = header.p_vaddr;
    }
    return lowest == UINTPTR_MAX ? image.bias : image.bias + lowest;
}

std::uintptr_t bb_image_text_end(const BBImage& image) {
    std::uintptr_t end = 0;
    for (std::size_t i = 0; i < image.headerCount; ++i) {
        const auto& header = image.headers[i];
        if (header.p_type == PT_LOAD && (header.p_flags & PF_X) != 0 && header.p_vaddr + header.p_memsz > end) {
            end = header.p_vaddr + header.p_memsz;
        }
    }
    return end == 0 ? bb_image_load_address(image) : image.bias + end;
}

bool bb_image_build_id(const BBImage& image, unsigned char out[16]) {
    for (int i = 0; i < 16; ++i) out[i] = 0;
    for (std::size_t i = 0; i < image.headerCount; ++i) {
        const auto& header = image.headers[i];
        if (header.p_type != PT_NOTE) continue;
        const auto* note = reinterpret_cast<const unsigned char*>(image.bias + header.p_vaddr);
        const unsigned char* end = note + header.p_memsz;
        while (note + sizeof(ElfW(Nhdr)) <= end) {
            ElfW(Nhdr) head;
            __builtin_memcpy(&head, note, sizeof head);
            const unsigned char* name = note + sizeof head;
            const unsigned char* description = name + ((head.n_namesz + 3u) & ~3u);
            const unsigned char* next = description + ((head.n_descsz + 3u) & ~3u);
            if (next > end) break;
            if (head.n_type == NT_GNU_BUILD_ID && head.n_namesz == 4 && name[0] == 'G' && name[1] == 'N' &&
                name[2] == 'U') {
                for (std::uint32_t b = 0; b < 16 && b < head.n_descsz; ++b) out[b] = description[b];
                return true;
            }
            note = next;
        }
    }
    return false;
}

int bb_image_cpu_type(const BBImage& image) {
    for (std::size_t i = 0; i < image.headerCount; ++i) {
        const auto& header = image.headers[i];
        // The segment that maps the start of the file holds the ELF header.
        if (header.p_type != PT_LOAD || header.p_offset != 0 || header.p_filesz < sizeof(ElfW(Ehdr))) continue;
        const auto* elf = reinterpret_cast<const ElfW(Ehdr)*>(image.bias + header.p_vaddr);
        if (elf->e_ident[EI_MAG0] != ELFMAG0 || elf->e_ident[EI_MAG1] != ELFMAG1 || elf->e_ident[EI_MAG2] != ELFMAG2 ||
            elf->e_ident[EI_MAG3] != ELFMAG3) {
            return 0;
        }
        return elf->e_machine;
    }
    return 0;
}

bool bb_image_contains(const BBImage& image, std::uintptr_t address) {
    if (address < image.bias) return false;
    const std::uintptr_t fileAddress = address - image.bias;
    for (std::size_t i = 0; i < image.headerCount; ++i) {
        const auto& header = image.headers[i];
        if (header.p_type == PT_LOAD && fileAddress >= header.p_vaddr &&
            fileAddress - header.p_vaddr < header.p_memsz) {
            return true;
        }
    }
    return false;
}

void bb_arch_name(std::int32_t cpuType, std::int32_t cpuSubtype, char* out, std::size_t capacity) {
    if (!out || capacity == 0) return;
    const char* name = nullptr;
    if (cpuSubtype == 0) {
        switch (cpuType) {
            case EM_X86_64: name = "x86_64"; break;
            case EM_AARCH64: name = "arm64"; break;
            case EM_ARM: name = "arm"; break;
            case EM_386: name = "i386"; break;
            default: break;
        }
    }
    BBTextLine text;
    if (name) {
        text.append(name);
    } else {
        text.appendDecimal(cpuType).append(",").appendDecimal(cpuSubtype);
    }
    std::size_t i = 0;
    for (; i + 1 < capacity && text.c_str()[i] != '\0'; ++i) out[i] = text.c_str()[i];
    out[i] = '\0';
}

int bb_write_image_line(int fd, const BBImage& image) {
    unsigned char uuid[16];
    bb_image_build_id(image, uuid);
    char architecture[32];
    bb_arch_name(bb_image_cpu_type(image), 0, architecture, sizeof architecture);
    BBTextLine line;
    line.append("0x").appendHex(bb_image_load_address(image), 16);
    line.append(" - 0x").appendHex(bb_image_text_end(image), 16);
    line.append(" ").append(bb_basename(image.path));
    line.append(" ").append(architecture);
    line.append("  <");
    for (const unsigned char byte : uuid) line.appendHex(byte, 2);
    line.append("> ").append(image.path);
    return bb_mp_fd_write_raw(fd, line.c_str(), line.size());
}

int bb_write_image_list(int fd) {
    std::uint32_t count = 0;
    bb_visit_images(countImage, &count);
    WriteState state{fd, count, bb_mp_fd_write_array_header(fd, count)};
    bb_visit_images(writeImage, &state);
    // The array keeps the count it announced even if the list changed in between.
    for (; state.remaining > 0; --state.remaining) state.ok &= bb_mp_fd_write_cstring(fd, "");
    return state.ok;
}

}  // namespace bb
