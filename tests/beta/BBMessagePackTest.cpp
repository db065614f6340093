#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "beta/BBMessagePack.h"
#include "beta/BBMessagePackBuffer.h"
#include "beta/BBMessagePackReader.h"
#include "beta/BBMessagePackPacker.h"

using namespace bb;

namespace {

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

std::string packed(const BBValue& v) {
    auto data = BBMessagePack::pack(v);
    EXPECT_TRUE(data.has_value());
    return data ? std::string(data->view()) : std::string();
}

BBDictionary dictionaryOf(int pairs) {
    BBDictionary d;
    for (int i = 0; i < pairs; ++i) d.set("k" + std::to_string(i), i);
    return d;
}

}  // namespace

TEST(BBMessagePack, PacksEmptyContainersAndScalarsInDeclaredWidths) {
    EXPECT_EQ(packed(BBDictionary()), bytes({0x80}));
    EXPECT_EQ(packed(BBArray()), bytes({0x90}));
    EXPECT_EQ(packed(""), bytes({0xa0}));
    EXPECT_EQ(packed(BBValue()), bytes({0xc0}));
    EXPECT_EQ(packed(true), bytes({0xc3}));
    EXPECT_EQ(packed(false), bytes({0xc2}));
    EXPECT_EQ(packed(std::int64_t{1}), bytes({0xd3, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(packed(std::uint8_t{200}), bytes({0xcc, 0xc8}));
    EXPECT_EQ(packed(5), bytes({0xd2, 0, 0, 0, 5}));  // never a fixnum
    EXPECT_EQ(packed(std::int16_t{-2}), bytes({0xd1, 0xff, 0xfe}));
    EXPECT_EQ(packed(std::uint64_t{0x0102030405060708}), bytes({0xcf, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(packed(1.0f), bytes({0xca, 0x3f, 0x80, 0, 0}));
    EXPECT_EQ(packed(1.0), bytes({0xcb, 0x3f, 0xf0, 0, 0, 0, 0, 0, 0}));
}

TEST(BBMessagePack, ChoosesRawAndContainerHeadersBySize) {
    EXPECT_EQ(packed(std::string(31, 'x')).substr(0, 1), bytes({0xbf}));
    EXPECT_EQ(packed(std::string(32, 'x')).substr(0, 3), bytes({0xda, 0x00, 0x20}));
    const std::string big = packed(std::string(65536, 'x'));
    EXPECT_EQ(big.substr(0, 5), bytes({0xdb, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(big.size(), 65541u);
    EXPECT_EQ(packed(dictionaryOf(15)).substr(0, 1), bytes({0x8f}));
    EXPECT_EQ(packed(dictionaryOf(16)).substr(0, 3), bytes({0xde, 0x00, 0x10}));
    EXPECT_EQ(packed(BBArray(15, BBValue())).substr(0, 1), bytes({0x9f}));
    EXPECT_EQ(packed(BBArray(16, BBValue())).substr(0, 3), bytes({0xdc, 0x00, 0x10}));
    EXPECT_EQ(packed(BBArray(65536, BBValue())).substr(0, 5), bytes({0xdd, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(packed(BBData("ab", 2)), bytes({0xa2, 'a', 'b'}));
}

TEST(BBMessagePack, PrePackedDataIsCopiedVerbatim) {
    BBData prePacked(bytes({0xd2, 0, 0, 0, 7}));
    prePacked.bb_setMessagePack(true);
    EXPECT_EQ(packed(BBArray{prePacked}), bytes({0x91, 0xd2, 0, 0, 0, 7}));

    auto header = BBMessagePack::packMapHeaderOnly(3);
    EXPECT_EQ(std::string(header.view()), bytes({0xdf, 0, 0, 0, 3}));
    EXPECT_TRUE(header.bb_isMessagePack());
    EXPECT_EQ(std::string(BBMessagePack::packArrayHeaderOnly(0x01020304).view()), bytes({0xdd, 1, 2, 3, 4}));
    EXPECT_EQ(std::string(BBMessagePack::packRawHeaderOnly(2).view()), bytes({0xdb, 0, 0, 0, 2}));

    // A packed result is itself marked, so it nests without a raw around it.
    auto inner = BBMessagePack::pack(BBArray{1});
    ASSERT_TRUE(inner && inner->bb_isMessagePack());
    EXPECT_EQ(packed(BBArray{*inner}), bytes({0x91, 0x91, 0xd2, 0, 0, 0, 1}));
}

TEST(BBMessagePack, RawBeyondThirtyTwoBitsIsWrittenEmptyWithoutPayload) {
    BBMessagePackBuffer buffer;
    buffer.raw_data = static_cast<char*>(std::malloc(5));
    buffer.raw_data_idx = buffer.raw_data;
    buffer.current_length = 5;
    const char payload = 'x';  // never read: only the header may be written
    ASSERT_TRUE(bb_mp_write_raw(buffer, &payload, 0x100000000ull));
    ASSERT_TRUE(bb_mp_write_nil(buffer));
    EXPECT_EQ(std::string(buffer.raw_data, buffer.used()), bytes({0xa0, 0xc0}));
    std::free(buffer.raw_data);
}

TEST(BBMessagePack, UnpacksEveryIntegerFormWithItsWidth) {
    auto five = BBMessagePack::unpack(bytes({0x05}));
    ASSERT_TRUE(five);
    EXPECT_EQ(five->type(), BBValue::Type::Int8);
    EXPECT_EQ(five->int64Value(), 5);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xff}))->int64Value(), -1);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xd0, 0x80}))->int64Value(), -128);
    auto u16 = BBMessagePack::unpack(bytes({0xcd, 0x01, 0x00}));
    EXPECT_EQ(u16->type(), BBValue::Type::UInt16);
    EXPECT_EQ(u16->int64Value(), 256);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xcc, 0xff}))->type(), BBValue::Type::UInt8);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xce, 0xff, 0xff, 0xff, 0xff}))->uint64Value(), 0xffffffffu);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xd3, 0x80, 0, 0, 0, 0, 0, 0, 0}))->int64Value(), INT64_MIN);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xcf, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}))->uint64Value(),
              UINT64_MAX);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xd1, 0xff, 0x00}))->int64Value(), -256);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xca, 0x3f, 0xc0, 0, 0}))->type(), BBValue::Type::Float);
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xcb, 0x3f, 0xf8, 0, 0, 0, 0, 0, 0}))->doubleValue(), 1.5);
    EXPECT_TRUE(BBMessagePack::unpack(bytes({0xc3}))->isBoolean());
}

TEST(BBMessagePack, MalformedInputGivesNothing) {
    for (const std::string& input : {
             bytes({0xda, 0x00}),                         // raw16 header cut short
             bytes({0x92, 0x01}),                         // array of two with one child
             bytes({0xc1}), bytes({0xc4}), bytes({0xd9}),  // no such item
             bytes({0xdb, 0xff, 0xff, 0xff, 0xff, 'a'}),  // length that wraps 32-bit arithmetic
             bytes({0xcf, 0, 0, 0}),                      // uint64 cut short
             bytes({0x81, 0xa1, 'k'}),                    // key without value
             std::string(),
         }) {
        EXPECT_FALSE(BBMessagePack::unpack(input)) << testing::PrintToString(input);
    }
}

TEST(BBMessagePack, HostileCountsAndNestingAreRefusedCheaply) {
    // Four billion entries announced in six bytes must not be reserved up front.
    EXPECT_FALSE(BBMessagePack::unpack(bytes({0xdd, 0xff, 0xff, 0xff, 0xff, 0xc0})));
    EXPECT_FALSE(BBMessagePack::unpack(bytes({0xdf, 0xff, 0xff, 0xff, 0xff, 0xc0, 0xc0})));

    std::string deep(kBBMessagePackMaxDepth, static_cast<char>(0x91));
    EXPECT_TRUE(BBMessagePack::unpack(deep + bytes({0xc0})));
    EXPECT_FALSE(BBMessagePack::unpack(deep + bytes({0x91, 0xc0})));
    EXPECT_FALSE(BBMessagePack::unpack(std::string(1'000'000, static_cast<char>(0x91))));
}

// Whatever the reader accepts, every walk over the graph takes without running out of stack:
// packing, copying, comparing, hashing and destroying, at the deepest nesting allowed, through
// array items, map values and map keys alike.
TEST(BBMessagePack, TheDeepestAcceptedNestingSurvivesEveryWalk) {
    const int levels = kBBMessagePackMaxDepth;
    const std::string throughItems = std::string(levels, static_cast<char>(0x91)) + bytes({0xc0});
    std::string throughValues;
    std::string throughKeys;
    for (int i = 0; i < levels; ++i) throughValues += bytes({0x82, 0xa1, 'k', 0xc2, 0xa1, 'v'});
    throughValues += bytes({0xc0});
    // Each map's key is the next map; each value an array one level deeper than its map.
    for (int i = 0; i < levels - 1; ++i) throughKeys += bytes({0x81});
    throughKeys += bytes({0xc0});
    for (int i = 0; i < levels - 1; ++i) throughKeys += bytes({0x92, 0xd2, 0, 0, 0, 7, 0xc3});
    // Pairs after a container key and after a container value still follow in order.
    const std::string mixedKeys = bytes({0x83, 0x92, 0xc3, 0xc2, 0xa1, 'a', 0xa1, 'b', 0x81, 0xa1, 'c', 0x91, 0xc0, 0x91, 0xc3, 0xc2});
    for (const std::string* input :
         std::vector<const std::string*>{&throughItems, &throughValues, &throughKeys, &mixedKeys}) {
        auto object = BBMessagePack::unpack(*input);
        ASSERT_TRUE(object);
        EXPECT_EQ(packed(*object), *input);
        BBValue copy = *object;
        EXPECT_EQ(copy, *object);
        EXPECT_EQ(copy.hash(), object->hash());
    }
}

TEST(BBMessagePack, ReaderStopsAtTheEndOfItsInput) {
    // A heap copy of exactly the input lets the address sanitizer see any read past it.
    std::vector<unsigned char> input = {0x92, 0x05, 0xa2, 'h', 'i'};
    BBMessagePackReader r = bb_mp_reader_init(input.data(), input.size());
    EXPECT_EQ(bb_mp_reader_next(r), BBMessagePackTypeFixArray);
    EXPECT_EQ(bb_mp_reader_array_count(r), 2u);
    EXPECT_EQ(bb_mp_reader_next(r), BBMessagePackTypePositiveFixnum);
    EXPECT_EQ(bb_mp_reader_fixnum(r), 5);
    EXPECT_EQ(bb_mp_reader_int32(r), 0);  // accessor of another kind
    EXPECT_EQ(bb_mp_reader_next(r), BBMessagePackTypeFixRaw);
    EXPECT_EQ(std::string(bb_mp_reader_raw_bytes(r), bb_mp_reader_raw_length(r)), "hi");
    EXPECT_EQ(bb_mp_reader_next(r), BBMessagePackTypeError);
    EXPECT_EQ(bb_mp_reader_next(r), BBMessagePackTypeError);
}

TEST(BBMessagePack, RawsComeBackAsStringsEvenWhenNotText) {
    auto text = BBMessagePack::unpack(bytes({0xa3, 0xc3, 0xa9, '!'}));
    ASSERT_TRUE(text && text->isString());
    EXPECT_EQ(text->string(), "\xc3\xa9!");
    auto binary = BBMessagePack::unpack(bytes({0xa2, 0xff, 0xfe}));
    ASSERT_TRUE(binary && binary->isString());
    EXPECT_EQ(binary->string(), "<fffe>");
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xa5, 1, 2, 3, 0x80, 5}))->string(), "<01020380 05>");
    // Overlong forms and surrogates are not UTF-8.
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xa2, 0xc0, 0xaf}))->string(), "<c0af>");
    EXPECT_EQ(BBMessagePack::unpack(bytes({0xa3, 0xed, 0xa0, 0x80}))->string(), "<eda080>");
}

TEST(BBMessagePack, OneByteDecidesWhetherALongRawIsText) {
    // Text is checked a block at a time, the last block overlapping the one before: a single
    // byte anywhere, in a short or a long raw, must still be seen.
    for (std::size_t length : {16u, 17u, 31u, 33u, 100u, 1536u, 1537u, 20000u}) {
        for (std::size_t at : {std::size_t{0}, length / 2, length - 2, length - 1}) {
            std::string text(length, 'x');
            text[at] = '\xff';
            auto packed = BBMessagePack::pack(BBValue(text));
            EXPECT_EQ(BBMessagePack::unpack(packed->view())->string(), BBData(text).description()) << length << " " << at;
            if (at + 2 <= length) {
                text.replace(at, 2, "\xc3\xa9");
                packed = BBMessagePack::pack(BBValue(text));
                EXPECT_EQ(BBMessagePack::unpack(packed->view())->string(), text) << length << " " << at;
            }
        }
    }
}

TEST(BBMessagePack, RepeatedMapKeysKeepTheLastValue) {
    auto small = BBMessagePack::unpackDictionary(bytes({0x82, 0xa1, 'a', 0x01, 0xa1, 'a', 0x02}));
    ASSERT_TRUE(small);
    ASSERT_EQ(small->size(), 1u);
    EXPECT_EQ(small->find("a")->int64Value(), 2);

    // Maps of both sizes the check handles differently; 7 and 7.0 are the same key.
    for (int pairs : {40, 100}) {
        std::string input = bytes({0xde, 0x00, pairs});
        for (int i = 0; i < pairs - 2; ++i) input += bytes({i, 0xc0});
        input += bytes({0xcb, 0x40, 0x1c, 0, 0, 0, 0, 0, 0, 0xc3});
        input += bytes({0x00, 0xc2});
        auto large = BBMessagePack::unpackDictionary(input);
        ASSERT_TRUE(large);
        EXPECT_EQ(large->size(), static_cast<std::size_t>(pairs - 2));
        EXPECT_TRUE(large->findKey(BBValue(7))->boolValue());
        EXPECT_TRUE(large->findKey(BBValue(0))->isBoolean());
        EXPECT_TRUE(large->findKey(BBValue(pairs - 3))->isNull());
    }
}

TEST(BBMessagePack, RepeatedKeysOfSmallMapsAreFoundWhateverTheirTextAndPlace) {
    // Keys as packed, each given its place as value; what is left is the text of each key kept,
    // with its value: of equal keys, the last pair's value at the last pair's place.
    struct Case {
        std::vector<std::string> keys;
        std::vector<std::pair<std::string, int>> kept;
    };
    const std::string sixteen = "0123456789abcdef";
    const std::string fifteen = sixteen.substr(0, 15);
    const auto raw = [](const std::string& text) {
        return (text.size() < 32 ? std::string(1, static_cast<char>(0xa0 | text.size())) : bytes({0xda, 0, static_cast<int>(text.size())})) + text;
    };
    std::vector<Case> cases = {
        {{raw("a"), raw("b"), raw("a")}, {{"b", 1}, {"a", 2}}},
        {{raw("type"), raw("name"), raw("seq"), raw("time"), raw("type")}, {{"name", 1}, {"seq", 2}, {"time", 3}, {"type", 4}}},
        {{raw(sixteen), raw("x"), raw(sixteen)}, {{"x", 1}, {sixteen, 2}}},
        {{raw(fifteen), raw(sixteen), raw(fifteen + "f")}, {{fifteen, 0}, {sixteen, 2}}},
        // A NUL is part of the text.
        {{raw("a"), raw(std::string("a\0", 2)), raw("b")}, {{"a", 0}, {std::string("a\0", 2), 1}, {"b", 2}}},
        {{raw(std::string("a\0", 2)), raw("a"), raw(std::string("a\0", 2))}, {{"a", 1}, {std::string("a\0", 2), 2}}},
        // Text that is not ASCII, and a raw that is not text meeting its own description.
        {{raw("\xc3\xa9"), raw("e"), raw("\xc3\xa9")}, {{"e", 1}, {"\xc3\xa9", 2}}},
        {{raw("\xff"), raw("<ff>"), raw("z")}, {{"<ff>", 1}, {"z", 2}}},
        // A key longer than 16 bytes.
        {{raw(sixteen + "!"), raw("k"), raw(sixteen + "!")}, {{"k", 1}, {sixteen + "!", 2}}},
    };
    // Maps of fewer and of more pairs than are compared one with another, whose second key comes
    // again last.
    for (int pairs : {10, 40}) {
        Case many;
        for (int i = 0; i < pairs; ++i) {
            const std::string key = "k" + std::to_string(i == pairs - 1 ? 1 : i);
            many.keys.push_back(raw(key));
            if (i != 1) many.kept.emplace_back(key, i);
        }
        cases.push_back(many);
    }
    for (const Case& c : cases) {
        std::string input = bytes({0xde, 0, static_cast<int>(c.keys.size())});
        for (std::size_t i = 0; i < c.keys.size(); ++i) input += c.keys[i] + static_cast<char>(i);
        // Both at the end of the input and followed by more bytes, which are read but not used.
        for (const std::string& document : {input, input + std::string(20, '\xc0')}) {
            auto map = BBMessagePack::unpackDictionary(document);
            ASSERT_TRUE(map) << c.keys[0];
            std::vector<std::pair<std::string, int>> kept;
            for (const auto& [key, value] : *map) kept.emplace_back(std::string(key.string()), static_cast<int>(value.int64Value()));
            EXPECT_EQ(kept, c.kept) << c.keys[0] << " of " << c.keys.size() << ", " << document.size() - input.size() << " more bytes";
        }
    }
}

TEST(BBMessagePack, NumericKeysAtTheEdgesOfTheIntegerRanges) {
    // Found by fuzzing: a float key just beyond the signed range was converted to an integer to
    // be hashed. The edges themselves still meet their integer equals.
    BBDictionary edges;
    edges.append(BBValue(INT64_MIN), 1);
    edges.append(BBValue(-9223372036854775808.0f), 2);  // the same key as INT64_MIN
    edges.append(BBValue(-1e19f), 3);
    edges.append(BBValue(-9.2236e18f), 4);
    edges.append(BBValue(UINT64_MAX), 5);
    edges.append(BBValue(1.9e19), 6);
    edges.append(BBValue(18446744073709551616.0), 7);
    auto packed = BBMessagePack::pack(BBValue(edges));
    ASSERT_TRUE(packed);
    auto back = BBMessagePack::unpackDictionary(packed->view());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), 6u);
    EXPECT_EQ(back->findKey(BBValue(INT64_MIN))->int64Value(), 2);
    EXPECT_EQ(back->findKey(BBValue(-1e19f))->int64Value(), 3);
    EXPECT_EQ(back->findKey(BBValue(UINT64_MAX))->int64Value(), 5);
}

TEST(BBMessagePack, ObjectGraphsSurviveARoundTrip) {
    BBDictionary event{
        {"name", "session_start"},
        {"numbers", BBArray{std::int8_t{-3}, std::uint16_t{300}, 70000, std::int64_t{-5'000'000'000},
                            std::uint64_t{UINT64_MAX}, 2.5f, -0.125}},
        {"flags", BBArray{true, false, BBValue()}},
        {"nested", BBDictionary{{"deeper", BBDictionary{{"list", BBArray{BBArray{}, BBDictionary{}}}}}}},
        {"text", std::string(70000, 'z')},
    };
    auto data = BBMessagePack::pack(event);
    ASSERT_TRUE(data);
    auto back = BBMessagePack::unpackDictionary(data->view());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, event);
    // Widths survive, not just values.
    const BBArray& numbers = *back->find("numbers")->asArray();
    EXPECT_EQ(numbers[1].type(), BBValue::Type::UInt16);
    EXPECT_EQ(numbers[5].type(), BBValue::Type::Float);
    EXPECT_FALSE(BBMessagePack::unpackArray(data->view()));
    // Bytes after the first item are ignored.
    EXPECT_TRUE(BBMessagePack::unpack(std::string(data->view()) + "junk"));
}

namespace {

// Pulls one whole item (a container with everything inside it) with bb_mp_reader_next alone.
bool pullItem(BBMessagePackReader& r) {
    const BBMessagePackType kind = bb_mp_reader_next(r);
    if (kind == BBMessagePackTypeError) return false;
    std::uint64_t children = 0;
    if (kind >= BBMessagePackTypeFixArray && kind <= BBMessagePackTypeArray32) children = bb_mp_reader_array_count(r);
    if (kind >= BBMessagePackTypeFixMap && kind <= BBMessagePackTypeMap32) children = 2ull * bb_mp_reader_map_count(r);
    for (std::uint64_t i = 0; i < children; ++i) {
        if (!pullItem(r)) return false;
    }
    return true;
}

void expectSameState(const BBMessagePackReader& a, const BBMessagePackReader& b, const std::string& input) {
    EXPECT_EQ(a.ptr, b.ptr) << testing::PrintToString(input);
    EXPECT_EQ(a.remaining, b.remaining) << testing::PrintToString(input);
    EXPECT_EQ(a.kind, b.kind) << testing::PrintToString(input);
    EXPECT_EQ(a.rawLength, b.rawLength) << testing::PrintToString(input);
}

}  // namespace

TEST(BBMessagePack, BuildingLeavesTheReaderWherePullingWould) {
    // Callers read on after a built item (a queue file's items follow one another).
    for (const std::string& input : {
             bytes({0x05, 0xc3}),
             bytes({0x92, 0x01, 0xa2, 'h', 'i', 0xc0}),          // ends on a raw: its length is kept
             bytes({0x82, 0xa1, 'k', 0x90, 0xa1, 'l', 0x80, 0x07}),  // ends on empty containers
             bytes({0xdc, 0x00, 0x01, 0xcb, 0, 0, 0, 0, 0, 0, 0, 0}),
             bytes({0x81, 0xa1, 'k'}),                            // the input ends inside the map
             bytes({0x93, 0x01, 0xc1, 0x02}),                     // no item starts with c1
             bytes({0x91, 0xda, 0x00, 0x09, 'a'}),                // a raw longer than the input
         }) {
        BBMessagePackReader built = bb_mp_reader_init(input.data(), input.size());
        BBMessagePackReader pulled = built;
        EXPECT_EQ(bb_mp_build_object(built).has_value(), pullItem(pulled)) << testing::PrintToString(input);
        expectSameState(built, pulled, input);
        // And the next item is the same either way.
        EXPECT_EQ(bb_mp_reader_next(built), bb_mp_reader_next(pulled));
        expectSameState(built, pulled, input);
    }

    // Two documents back to back, each built in turn.
    const std::string two = bytes({0x91, 0xa1, 'a', 0x81, 0xa1, 'b', 0xc2});
    BBMessagePackReader r = bb_mp_reader_init(two.data(), two.size());
    ASSERT_TRUE(bb_mp_build_object(r));
    auto second = bb_mp_build_object(r);
    ASSERT_TRUE(second && second->isDictionary());
    EXPECT_FALSE(second->asDictionary()->find("b")->boolValue());
    EXPECT_FALSE(bb_mp_build_object(r));
    EXPECT_EQ(r.kind, BBMessagePackTypeError);
    EXPECT_FALSE(bb_mp_build_object(r)) << "an error stays";

    // Nesting too deep fails on the container that goes too deep, which is where the reader stays.
    const std::string deep = std::string(kBBMessagePackMaxDepth + 1, static_cast<char>(0x91)) + bytes({0xc0});
    r = bb_mp_reader_init(deep.data(), deep.size());
    EXPECT_FALSE(bb_mp_build_object(r));
    EXPECT_EQ(r.kind, BBMessagePackTypeFixArray);
    EXPECT_EQ(reinterpret_cast<const char*>(r.ptr), deep.data() + kBBMessagePackMaxDepth);
}

TEST(BBMessagePack, EveryByteOfARawDecidesWhetherItIsText) {
    // Short raws are tested a word at a time: a byte that is not ASCII counts wherever it lies.
    for (std::size_t length = 1; length <= 80; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::string raw(length, 'a');
            raw[at] = '\xff';
            auto back = BBMessagePack::unpack(packed(BBData(raw.data(), raw.size())));
            ASSERT_TRUE(back && back->isString());
            EXPECT_EQ(back->string(), BBData(raw.data(), raw.size()).description()) << length << " " << at;
            if (at + 2 <= length) {
                raw.replace(at, 2, "\xc3\xa9");
                EXPECT_EQ(BBMessagePack::unpack(packed(raw))->string(), raw) << length << " " << at;
            }
        }
    }
}

TEST(BBMessagePack, LongTextIsCheckedAcrossItsPieces) {
    // Long text is checked and copied in pieces; sequences of two, three and four bytes fall across
    // every boundary a piece may have.
    std::string text;
    while (text.size() < 100'000) text += "ab\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
    auto back = BBMessagePack::unpack(packed(text));
    ASSERT_TRUE(back && back->isString());
    EXPECT_EQ(back->string(), text);

    for (std::size_t at : {std::size_t{2047}, std::size_t{16'384}, text.size() - 1}) {
        std::string broken = text;
        broken[at] = '\xc0';
        EXPECT_EQ(BBMessagePack::unpack(packed(broken))->string(), BBData(broken.data(), broken.size()).description())
            << at;
    }
    // A sequence cut short by the end of the raw.
    std::string cut = std::string(5000, 'x') + "\xe2\x82";
    EXPECT_EQ(BBMessagePack::unpack(packed(cut))->string(), BBData(cut.data(), cut.size()).description());
}

TEST(BBMessagePack, ValuesTakenFromADocumentOutliveIt) {
    // An unpacked document keeps its longer text and its containers' items in memory of its own:
    // whatever is moved, copied or grown out of it must stay whole once the rest is gone.
    const std::string line(40, 'l');
    BBArray lines;
    for (int i = 0; i < 3; ++i) lines.push_back(line + std::to_string(i));
    const BBValue original(BBDictionary{{"lines", lines}, {"info", BBDictionary{{"name", line}, {"n", 1}}}, {"tag", line}});
    const std::string bytes = packed(original);

    BBValue movedText, copiedText, movedLines, grownLines, info, whole;
    {
        auto document = BBMessagePack::unpack(bytes);
        ASSERT_TRUE(document);
        BBDictionary& map = *document->asDictionary();
        movedText = std::move(*map.find("tag"));
        copiedText = (*map.find("lines")->asArray())[1];
        movedLines = BBValue(std::move(*map.find("lines")->asArray()));
        info = std::move(*map.find("info"));
        whole = BBValue(*BBMessagePack::unpackDictionary(bytes));
        BBArray grown = *BBMessagePack::unpackArray(packed(lines));
        for (int i = 0; i < 20; ++i) grown.push_back(line);  // beyond what the document made room for
        grownLines = BBValue(std::move(grown));
    }
    EXPECT_EQ(movedText.string(), line);
    EXPECT_EQ(copiedText.string(), line + "1");
    EXPECT_EQ(movedLines, BBValue(lines));
    EXPECT_EQ(info.asDictionary()->find("name")->string(), line);
    EXPECT_EQ(whole, original);
    ASSERT_EQ(grownLines.asArray()->size(), 23u);
    EXPECT_EQ((*grownLines.asArray())[2].string(), line + "2");
    EXPECT_EQ((*grownLines.asArray())[22].string(), line);
    // A value of a document may end on another thread than the rest of it.
    std::thread([v = std::move(info)] { EXPECT_TRUE(v.isDictionary()); }).join();
    EXPECT_STREQ(movedText.asString()->c_str(), line.c_str());
}

TEST(BBMessagePack, MovedFromDocumentsStayUsableAfterTheValueTheyWentTo) {
    // A raw of 40 bytes (text kept in the document's memory) and an int32, in an array.
    const std::string input = bytes({0x92, 0xda, 0x00, 0x28}) + std::string(40, 'b') + bytes({0xd2, 0, 0, 0, 7});
    auto doc = BBMessagePack::unpack(input);
    ASSERT_TRUE(doc && doc->isArray());
    { BBValue taken = std::move(*doc); }
    ASSERT_TRUE(doc->isArray());
    EXPECT_TRUE(doc->asArray()->empty());
    doc->asArray()->push_back(BBValue(1));
    BBValue again = std::move(*doc);
    again.asArray()->push_back(BBValue(std::string(40, 'c')));
    EXPECT_EQ(packed(again), bytes({0x92, 0xd2, 0, 0, 0, 1, 0xda, 0x00, 0x28}) + std::string(40, 'c'));

    // A root of long text, a map, and data: each is left empty, not pointing at what went.
    auto text = BBMessagePack::unpack(packed(std::string(40, 't')));
    auto map = BBMessagePack::unpack(packed(BBDictionary{{"k", std::string(40, 'v')}}));
    BBValue data(BBData(std::string(40, 'd')));
    {
        BBValue t = std::move(*text), m = std::move(*map), d = std::move(data);
    }
    EXPECT_EQ(text->string(), "");
    EXPECT_TRUE(map->asDictionary()->empty());
    map->asDictionary()->set("k", std::string(40, 'w'));
    EXPECT_EQ(map->asDictionary()->find("k")->string(), std::string(40, 'w'));
    EXPECT_EQ(packed(data), bytes({0xa0}));
}

TEST(BBMessagePack, AValueCanBeAssignedOneOfItsOwnItems) {
    const std::string item(40, 'i');
    const BBValue source(BBDictionary{{"arr", BBArray{item, 5}}, {"tag", item}});
    const auto fromDocument = [&] { return *BBMessagePack::unpack(packed(source)); };
    const auto onTheHeap = [&] { return BBValue(source); };
    for (const auto& make : {std::function<BBValue()>(fromDocument), std::function<BBValue()>(onTheHeap)}) {
        BBValue moved = make();
        moved = std::move(*moved.asDictionary()->find("arr"));
        EXPECT_EQ(moved, BBValue(BBArray{item, 5}));
        BBValue copied = make();
        copied = *copied.asDictionary()->find("tag");
        EXPECT_EQ(copied.string(), item);
        BBValue self = make();
        BBValue& alias = self;
        self = std::move(alias);
        self = alias;
        EXPECT_EQ(self, source);
    }
}

TEST(BBMessagePack, ADocumentsContainerGrownOnTheHeapIsFreedByAnyOfItsAllocators) {
    // After unpacking, a container grows onto the heap; replacing it frees that memory through a
    // copy of its allocator (the leak checker of the sanitizer build tells when it does not).
    auto doc = BBMessagePack::unpack(packed(BBArray{1, 2}));
    BBArray& items = *doc->asArray();
    for (int i = 0; i < 10; ++i) items.push_back(i);
    items = BBArray{};
    EXPECT_TRUE(items.empty());
    const BBArray grownCopy = [&] {
        BBArray grown = std::move(*BBMessagePack::unpackArray(packed(BBArray{1, 2})));
        grown.push_back(3);
        return grown;
    }();
    EXPECT_EQ(grownCopy.size(), 3u);
    // Allocators of one document are equal, counted or not, and free each other's memory.
    BBArenaAllocator<BBValue> copy = grownCopy.get_allocator();
    EXPECT_TRUE(copy == grownCopy.get_allocator());
    BBValue* memory = copy.allocate(4);
    BBArenaAllocator<BBValue>(grownCopy.get_allocator()).deallocate(memory, 4);
}
