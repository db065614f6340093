#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "beta/BBByteCopy.h"

using namespace bb;

TEST(BBByteCopy, CopiesEveryByteWhereverTheBlocksLie) {
    // Distances just past the source within a page are copied in short pieces, the others whole.
    std::vector<unsigned char> source(3 * 4096 + 70'000);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<unsigned char>(i * 131 + i / 251);
    std::vector<unsigned char> target(source.size() + 3 * 4096 + 128);
    for (std::size_t distance : {0u, 1u, 8u, 63u, 64u, 100u, 4095u}) {
        for (std::size_t n : {std::size_t{0}, std::size_t{1}, kBBShortCopy, kBBShortCopy + 1, std::size_t{70'000}}) {
            const unsigned char* from = source.data() + 5;
            // A destination at that distance from the source within a page.
            const auto offset = (reinterpret_cast<std::uintptr_t>(from) + distance -
                                 reinterpret_cast<std::uintptr_t>(target.data())) % 4096;
            unsigned char* to = target.data() + offset;
            std::fill(target.begin(), target.end(), 0);
            bb_copy_bytes(to, from, n);
            EXPECT_TRUE(std::equal(from, from + n, to)) << distance << " " << n;
            EXPECT_EQ(to[n], 0) << "nothing past the end";
            if (offset > 0) {
                EXPECT_EQ(to[-1], 0) << "nothing before the start";
            }
        }
    }
    EXPECT_EQ(bb_copy_piece(source.data() + 8, source.data(), 10'000), kBBShortCopy);
    EXPECT_EQ(bb_copy_piece(source.data() + 4096, source.data(), 10'000), 10'000u);
}
