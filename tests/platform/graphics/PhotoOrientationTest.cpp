#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/graphics/Image.h"
#include "platform/graphics/PhotoOrientation.h"
#include "platform/graphics/PixelImage.h"

namespace {

using namespace plat;

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A little-endian TIFF block with one orientation entry.
std::string exif(int orientation) {
    std::string t("II*\0\x08\0\0\0", 8);
    t += std::string("\x01\0", 2);                    // one entry
    t += std::string("\x12\x01\x03\0\x01\0\0\0", 8);  // orientation, SHORT, count 1
    t += std::string{static_cast<char>(orientation), 0, 0, 0};
    t += std::string(4, '\0');  // no next directory
    return t;
}

// The PNG of `image` with an eXIf chunk carrying `tiff` right after its header chunk.
std::string withExif(const PixelImage& image, const std::string& tiff) {
    std::string png = image.pngData();
    const std::size_t afterHeader = 8 + 4 + 4 + 13 + 4;
    const std::string chunk = "eXIf" + tiff;
    return png.substr(0, afterHeader) + be32(static_cast<std::uint32_t>(tiff.size())) + chunk + be32(crc32(chunk)) +
           png.substr(afterHeader);
}

// 3 by 2 pixels, each a different colour: the top row red, green, blue; the bottom white,
// black and grey.
PixelImage sample() {
    PixelImage image(3, 2);
    const std::uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808080};
    for (int i = 0; i < 6; ++i) image.words()[static_cast<std::size_t>(i)] = colours[i];
    return image;
}

TEST(PhotoOrientationTest, APhotoTakenTurnedShowsUpright) {
    auto loaded = PixelImage::fromPngData(withExif(sample(), exif(6)));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->orientation(), 6);
    auto upright = Image::withPixels(*loaded, "photo.png")->fixOrientation();
    ASSERT_TRUE(upright->hasPixels());
    // A quarter turn clockwise: 2 wide, 3 high, the old left column now the top row read
    // from the bottom up.
    EXPECT_EQ(upright->size(), (Size{2, 3}));
    EXPECT_EQ(upright->pixels()->pixel(0, 0), Color::white());
    EXPECT_EQ(upright->pixels()->pixel(1, 0), Color::red());
    EXPECT_EQ(upright->pixels()->pixel(1, 2), Color::blue());
    EXPECT_EQ(upright->name(), "photo.png");

    auto half = uprightPixels(sample(), 3);
    EXPECT_EQ(half.words()[0], 0xFF808080u);
    EXPECT_EQ(half.words()[5], 0xFFFF0000u);
    EXPECT_EQ(uprightPixels(sample(), 8).words()[0], 0xFF0000FFu);
}

TEST(PhotoOrientationTest, MissingOrMalformedOrientationLeavesThePhotoAsItIs) {
    EXPECT_EQ(pngOrientation(sample().pngData()), 1);
    EXPECT_EQ(pngOrientation("not a png"), 1);
    EXPECT_EQ(pngOrientation(withExif(sample(), exif(9))), 1);  // no such orientation
    EXPECT_EQ(pngOrientation(withExif(sample(), std::string("II*\0\xff\xff\0\0", 8))),
              1);  // directory past the end
    std::string manyEntries = exif(6);
    manyEntries[8] = '\xff';  // more entries than the block holds
    manyEntries[9] = '\xff';
    EXPECT_EQ(pngOrientation(withExif(sample(), manyEntries)), 6);  // found before the block ends
    manyEntries[10] = '\x11';                                       // another tag: the reader walks off the end, safely
    EXPECT_EQ(pngOrientation(withExif(sample(), manyEntries)), 1);
    std::string cut = withExif(sample(), exif(6));
    EXPECT_EQ(pngOrientation(std::string_view(cut).substr(0, 40)),
              1);  // a chunk longer than the data
    auto upright = Image::named("no-such-picture.png")->fixOrientation();
    EXPECT_FALSE(upright->hasPixels());
}

}  // namespace
