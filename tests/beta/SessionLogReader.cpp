#include "SessionLogReader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "beta/BBMessagePack.h"
#include "beta/BBMessagePackReader.h"
#include "platform/foundation/FileUtil.h"

namespace bbtest {

std::vector<std::string> inflateStreams(const std::string& zlog) {
    std::vector<std::string> streams;
    std::size_t offset = 0;
    while (offset < zlog.size()) {
        z_stream z{};
        EXPECT_EQ(inflateInit(&z), Z_OK);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zlog.data() + offset));
        z.avail_in = static_cast<uInt>(zlog.size() - offset);
        std::string out;
        int rc = Z_OK;
        while (rc == Z_OK) {
            char chunk[16384];
            z.next_out = reinterpret_cast<Bytef*>(chunk);
            z.avail_out = sizeof chunk;
            rc = inflate(&z, Z_NO_FLUSH);
            out.append(chunk, sizeof chunk - z.avail_out);
        }
        EXPECT_EQ(rc, Z_STREAM_END) << "stream " << streams.size() << " is cut short or corrupt";
        offset = zlog.size() - z.avail_in;
        inflateEnd(&z);
        streams.push_back(std::move(out));
        if (rc != Z_STREAM_END) break;
    }
    return streams;
}

std::vector<LogEntry> parseEntries(const std::string& bytes) {
    std::vector<LogEntry> entries;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        bb::BBMessagePackReader reader = bb::bb_mp_reader_init(rest.data(), rest.size());
        auto entry = bb::bb_mp_build_object(reader);
        const bb::BBDictionary* map = entry ? entry->asDictionary() : nullptr;
        if (!map || map->size() != 2 || !map->find("Time") || !map->find("Message")) {
            ADD_FAILURE() << "no entry at " << bytes.size() - rest.size();
            break;
        }
        EXPECT_EQ(map->find("Time")->type(), bb::BBValue::Type::Int64);
        entries.push_back({map->find("Time")->int64Value(), std::string(map->find("Message")->string())});
        const std::size_t used = static_cast<std::size_t>(rest.size() - reader.remaining) +
                                 bb::bb_mp_header_size(reader.kind) + reader.rawLength;
        rest.remove_prefix(used);
    }
    return entries;
}

SessionLog readSessionLog(const std::string& path) {
    SessionLog log;
    const std::string ulog = plat::file::read(path + ".ulog").value_or("");
    const std::string zlog = plat::file::read(path + ".zlog").value_or("");
    EXPECT_GE(ulog.size(), 5u);
    if (ulog.size() < 5) return log;
    EXPECT_EQ(static_cast<unsigned char>(ulog[0]), 0xdd);
    for (int i = 1; i < 5; ++i) log.count = (log.count << 8) | static_cast<unsigned char>(ulog[i]);
    std::string all;
    for (const auto& stream : inflateStreams(zlog)) {
        all += stream;
        ++log.streams;
    }
    all += ulog.substr(5);
    log.entries = parseEntries(all);
    return log;
}

}  // namespace bbtest
