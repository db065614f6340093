#include "beta/BBMessagePack.h"

#include "beta/BBMessagePackReader.h"
#include "beta/BBMessagePackPacker.h"
#include "platform/foundation/FileUtil.h"

namespace bb {

namespace {
BBData header32(unsigned char lead, std::uint32_t n) {
    const char bytes[5] = {static_cast<char>(lead), static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                           static_cast<char>(n >> 8), static_cast<char>(n)};
    BBData data(bytes, sizeof bytes);
    data.bb_setMessagePack(true);
    return data;
}
}  // namespace

std::optional<BBData> BBMessagePack::pack(const BBValue& object) {
    BBMessagePackPacker packer;
    return packer.pack(object);
}

std::optional<BBValue> BBMessagePack::unpack(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    BBMessagePackReader reader = bb_mp_reader_init(bytes.data(), bytes.size());
    return bb_mp_build_object(reader);
}

std::optional<BBDictionary> BBMessagePack::unpackDictionary(std::string_view bytes) {
    auto object = unpack(bytes);
    if (!object || !object->isDictionary()) return std::nullopt;
    return std::move(*object->asDictionary());
}

std::optional<BBArray> BBMessagePack::unpackArray(std::string_view bytes) {
    auto object = unpack(bytes);
    if (!object || !object->isArray()) return std::nullopt;
    return std::move(*object->asArray());
}

std::optional<BBData> BBMessagePack::messagePackWithContentsOfFile(const std::filesystem::path& path) {
    auto bytes = plat::file::read(path);
    if (!bytes) return std::nullopt;
    BBData data(std::move(*bytes));
    data.bb_setMessagePack(true);
    return data;
}

BBData BBMessagePack::packArrayHeaderOnly(std::uint32_t count) { return header32(0xdd, count); }
BBData BBMessagePack::packMapHeaderOnly(std::uint32_t count) { return header32(0xdf, count); }
BBData BBMessagePack::packRawHeaderOnly(std::uint32_t length) { return header32(0xdb, length); }

}  // namespace bb
