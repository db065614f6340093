#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "beta/BBValue.h"

namespace bb {

// Packing and unpacking of the library's files and upload bodies (MessagePack with raws for text
// and bytes alike). Everything packed comes back marked as MessagePack, so it can be nested in a
// later pack as it stands.
class BBMessagePack {
public:
    static std::optional<BBData> pack(const BBValue& object);

    // The first item of `bytes` as an object graph; bytes after it are ignored. Nothing when the
    // input is empty or malformed.
    static std::optional<BBValue> unpack(std::string_view bytes);
    static std::optional<BBValue> unpack(const BBData& data) { return unpack(data.view()); }
    static std::optional<BBDictionary> unpackDictionary(std::string_view bytes);
    static std::optional<BBArray> unpackArray(std::string_view bytes);

    // The whole file, marked as MessagePack (a stored piece of a body).
    static std::optional<BBData> messagePackWithContentsOfFile(const std::filesystem::path& path);

    // Five-byte 32-bit headers whose count a caller may patch in place later, followed by pieces
    // that are themselves MessagePack.
    static BBData packArrayHeaderOnly(std::uint32_t count);
    static BBData packMapHeaderOnly(std::uint32_t count);
    static BBData packRawHeaderOnly(std::uint32_t length);
};

}  // namespace bb
