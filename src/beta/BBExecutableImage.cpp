#include "beta/BBExecutableImage.h"

#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace bb {

namespace {

constexpr std::size_t kMaxProgramHeaders = 256;
constexpr std::size_t kMaxNoteSize = 64 * 1024;

bool readAt(int fd, std::uint64_t offset, void* out, std::size_t n) {
    return ::pread(fd, out, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
}

// The descriptor of the GNU build-id note in a PT_NOTE segment's bytes, or empty.
std::string buildIDInNotes(const std::string& notes) {
    std::size_t at = 0;
    auto align4 = [](std::size_t n) { return (n + 3) & ~std::size_t{3}; };
    while (at + sizeof(Elf64_Nhdr) <= notes.size()) {
        Elf64_Nhdr header;  // the same layout in 32-bit files
        std::memcpy(&header, notes.data() + at, sizeof header);
        const std::size_t name = at + sizeof header;
        const std::size_t desc = name + align4(header.n_namesz);
        if (desc < name || desc + header.n_descsz > notes.size()) break;
        if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4 && notes.compare(name, 4, "GNU\0", 4) == 0) {
            return notes.substr(desc, header.n_descsz);
        }
        at = desc + align4(header.n_descsz);
    }
    return {};
}

template <class Ehdr, class Phdr>
std::string findBuildID(int fd, const Ehdr& elf) {
    if (elf.e_phentsize != sizeof(Phdr) || elf.e_phnum > kMaxProgramHeaders) return {};
    for (std::size_t i = 0; i < elf.e_phnum; ++i) {
        Phdr ph;
        if (!readAt(fd, elf.e_phoff + i * sizeof ph, &ph, sizeof ph)) return {};
        if (ph.p_type != PT_NOTE || ph.p_filesz > kMaxNoteSize) continue;
        std::string notes(ph.p_filesz, '\0');
        if (!readAt(fd, ph.p_offset, notes.data(), notes.size())) continue;
        if (auto id = buildIDInNotes(notes); !id.empty()) return id;
    }
    return {};
}

}  // namespace

std::optional<BBExecutableImage> BBExecutableImage::read(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1) return std::nullopt;
    std::optional<BBExecutableImage> image;
    unsigned char ident[EI_NIDENT];
    if (readAt(fd, 0, ident, sizeof ident) && std::memcmp(ident, ELFMAG, SELFMAG) == 0 &&
        ident[EI_DATA] == ELFDATA2LSB) {
        BBExecutableImage found;
        if (Elf64_Ehdr e64; ident[EI_CLASS] == ELFCLASS64 && readAt(fd, 0, &e64, sizeof e64)) {
            found.is64Bit_ = true;
            found.machine_ = e64.e_machine;
            found.buildID_ = findBuildID<Elf64_Ehdr, Elf64_Phdr>(fd, e64);
            image = found;
        } else if (Elf32_Ehdr e32; ident[EI_CLASS] == ELFCLASS32 && readAt(fd, 0, &e32, sizeof e32)) {
            found.machine_ = e32.e_machine;
            found.buildID_ = findBuildID<Elf32_Ehdr, Elf32_Phdr>(fd, e32);
            image = found;
        }
    }
    ::close(fd);
    return image;
}

std::string BBExecutableImage::currentExecutablePath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

std::optional<std::string> BBExecutableImage::architectureName() const {
    switch (machine_) {
        case EM_X86_64: return "x86_64";
        case EM_386: return "i386";
        case EM_AARCH64: return "arm64";
        case EM_ARM: return "arm";
        case EM_RISCV: return is64Bit_ ? "riscv64" : "riscv32";
        case EM_PPC64: return "ppc64";
        case EM_PPC: return "ppc";
        default: return std::nullopt;
    }
}

std::optional<std::string> BBExecutableImage::uuidText() const {
    if (buildID_.size() < 16) return std::nullopt;
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        const auto byte = static_cast<unsigned char>(buildID_[i]);
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

}  // namespace bb
