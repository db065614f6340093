#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bb {

// What the library reports about an executable file: its processor and its build identity,
// read from the ELF header and the build-id note.
class BBExecutableImage {
public:
    // Nothing when the file cannot be read or is not ELF.
    static std::optional<BBExecutableImage> read(const std::string& path);
    // The executable of this process.
    static std::string currentExecutablePath();

    // "x86_64", "arm64", ...; nothing for a processor without a name here.
    std::optional<std::string> architectureName() const;
    // The first 16 bytes of the build id as an upper-case 8-4-4-4-12 UUID text; nothing without a
    // build id of at least 16 bytes.
    std::optional<std::string> uuidText() const;

    std::uint16_t machine() const { return machine_; }
    bool is64Bit() const { return is64Bit_; }
    const std::string& buildID() const { return buildID_; }

private:
    std::uint16_t machine_ = 0;
    bool is64Bit_ = false;
    std::string buildID_;
};

}  // namespace bb
