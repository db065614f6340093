#include <gtest/gtest.h>

#include <msgpack.hpp>
#include <string>

#include "beta/BBMessagePack.h"

// The library's bytes against an independent MessagePack implementation, both ways.

using namespace bb;

namespace {

std::string keyOf(const msgpack::object& o) { return std::string(o.via.str.ptr, o.via.str.size); }

const msgpack::object* member(const msgpack::object& map, const std::string& key) {
    for (std::uint32_t i = 0; i < map.via.map.size; ++i) {
        if (keyOf(map.via.map.ptr[i].key) == key) return &map.via.map.ptr[i].val;
    }
    return nullptr;
}

void packRaw(msgpack::packer<msgpack::sbuffer>& pk, const std::string& s) {
    pk.pack_v4raw(static_cast<std::uint32_t>(s.size()));
    pk.pack_v4raw_body(s.data(), static_cast<std::uint32_t>(s.size()));
}

}  // namespace

TEST(BBMessagePackInterop, OurBytesDecodeElsewhere) {
    BBDictionary event{
        {"i8", std::int8_t{-100}}, {"u16", std::uint16_t{65535}},         {"i64", std::int64_t{-1}},
        {"u64", UINT64_MAX},       {"f", 0.5f},                           {"d", -2.75},
        {"t", true},               {"n", BBValue()},                      {"raw", std::string(300, 'a')},
        {"list", BBArray(20, 7)},  {"map", BBDictionary{{"inner", "x"}}}, {"huge", std::string(70000, 'b')},
    };
    auto data = BBMessagePack::pack(event);
    ASSERT_TRUE(data);
    msgpack::object_handle handle = msgpack::unpack(data->bytes(), data->size());
    const msgpack::object& root = handle.get();
    ASSERT_EQ(root.type, msgpack::type::MAP);
    ASSERT_EQ(root.via.map.size, event.size());
    EXPECT_EQ(member(root, "i8")->as<int>(), -100);
    EXPECT_EQ(member(root, "u16")->as<int>(), 65535);
    EXPECT_EQ(member(root, "i64")->as<std::int64_t>(), -1);
    EXPECT_EQ(member(root, "u64")->as<std::uint64_t>(), UINT64_MAX);
    EXPECT_EQ(member(root, "f")->type, msgpack::type::FLOAT32);
    EXPECT_EQ(member(root, "f")->as<float>(), 0.5f);
    EXPECT_EQ(member(root, "d")->as<double>(), -2.75);
    EXPECT_TRUE(member(root, "t")->as<bool>());
    EXPECT_TRUE(member(root, "n")->is_nil());
    EXPECT_EQ(member(root, "raw")->as<std::string>(), std::string(300, 'a'));
    EXPECT_EQ(member(root, "huge")->as<std::string>().size(), 70000u);
    EXPECT_EQ(member(root, "list")->via.array.size, 20u);
    EXPECT_EQ(member(root, "list")->via.array.ptr[19].as<int>(), 7);
    EXPECT_EQ(member(*member(root, "map"), "inner")->as<std::string>(), "x");
}

TEST(BBMessagePackInterop, RawModeBytesFromElsewhereDecodeHere) {
    msgpack::sbuffer buffer;
    msgpack::packer<msgpack::sbuffer> pk(buffer);
    pk.pack_map(8);
    packRaw(pk, "fixnums");
    pk.pack_array(4).pack(0).pack(127).pack(-1).pack(-32);
    packRaw(pk, "widths");
    pk.pack_array(6).pack(200).pack(-200).pack(70000).pack(-70000).pack(5'000'000'000LL).pack(UINT64_MAX);
    packRaw(pk, "floats");
    pk.pack_array(2).pack(1.5f).pack(-0.25);
    packRaw(pk, "flags");
    pk.pack_array(3).pack(true).pack(false).pack_nil();
    packRaw(pk, "short");
    packRaw(pk, "hello");
    packRaw(pk, "raw16");
    packRaw(pk, std::string(1000, 'm'));
    packRaw(pk, "raw32");
    packRaw(pk, std::string(70000, 'n'));
    packRaw(pk, "nested");
    pk.pack_array(1);
    pk.pack_map(1);
    packRaw(pk, "k");
    pk.pack_array(0);

    auto decoded = BBMessagePack::unpackDictionary(std::string_view(buffer.data(), buffer.size()));
    ASSERT_TRUE(decoded);
    BBDictionary expected{
        {"fixnums", BBArray{0, 127, -1, -32}},
        {"widths", BBArray{200, -200, 70000, -70000, 5'000'000'000LL, UINT64_MAX}},
        {"floats", BBArray{1.5f, -0.25}},
        {"flags", BBArray{true, false, BBValue()}},
        {"short", "hello"},
        {"raw16", std::string(1000, 'm')},
        {"raw32", std::string(70000, 'n')},
        {"nested", BBArray{BBDictionary{{"k", BBArray{}}}}},
    };
    EXPECT_EQ(*decoded, expected);
    // The other side writes the smallest forms, which come back in their own widths.
    const BBArray& widths = *decoded->find("widths")->asArray();
    EXPECT_EQ(widths[0].type(), BBValue::Type::UInt8);
    EXPECT_EQ(widths[1].type(), BBValue::Type::Int16);
    EXPECT_EQ(widths[5].type(), BBValue::Type::UInt64);
}
