#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/graphics/Image.h"
#include "platform/graphics/JpegDecoder.h"
#include "platform/graphics/PhotoOrientation.h"
#include "platform/graphics/PixelImage.h"

namespace {

using namespace plat;

// A big-endian TIFF block with one orientation entry, as cameras write it.
std::string exifBlock(int orientation) {
    std::string t("MM\0*\0\0\0\x08", 8);
    t += std::string("\0\x01", 2);
    t += std::string("\x01\x12\0\x03\0\0\0\x01", 8);
    t += std::string{0, static_cast<char>(orientation), 0, 0};
    t += std::string(4, '\0');
    return std::string("Exif\0\0", 6) + t;
}

// A JPEG of `width` by `height`, its left half red and its right half blue (grey levels 60 and
// 200 for a grey picture), with the APP1 segments given written first.
std::string encodeJpeg(int width, int height, bool grey, const std::vector<std::string>& app1) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (const auto& segment : app1) {
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(segment.data()),
                          static_cast<unsigned>(segment.size()));
    }
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width * info.input_components));
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x) {
            const bool left = x < width / 2;
            if (grey) {
                row[static_cast<std::size_t>(x)] = left ? 60 : 200;
            } else {
                row[static_cast<std::size_t>(3 * x)] = left ? 255 : 0;
                row[static_cast<std::size_t>(3 * x + 1)] = 0;
                row[static_cast<std::size_t>(3 * x + 2)] = left ? 0 : 255;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return bytes;
}

bool near(const Color& c, double r, double g, double b) {
    constexpr double kTolerance = 0.1;  // what the compression may change
    return std::abs(c.r - r) < kTolerance && std::abs(c.g - g) < kTolerance && std::abs(c.b - b) < kTolerance;
}

TEST(JpegDecoderTest, APhotoHeldOnItsSideShowsUprightAndGreyPicturesRead) {
    const std::string turned = encodeJpeg(32, 16, false, {exifBlock(6)});
    auto loaded = PixelImage::fromData(turned);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->size(), (Size{32, 16}));
    EXPECT_EQ(loaded->orientation(), 6);
    EXPECT_TRUE(near(loaded->pixel(4, 8), 1, 0, 0));
    EXPECT_TRUE(near(loaded->pixel(28, 8), 0, 0, 1));
    // A quarter turn clockwise: the left half (red) is now on top.
    auto upright = Image::withPixels(*loaded, "turned.jpg")->fixOrientation();
    EXPECT_EQ(upright->size(), (Size{16, 32}));
    EXPECT_TRUE(near(upright->pixels()->pixel(8, 4), 1, 0, 0));
    EXPECT_TRUE(near(upright->pixels()->pixel(8, 28), 0, 0, 1));

    auto grey = PixelImage::fromData(encodeJpeg(16, 8, true, {}));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->orientation(), 1);
    EXPECT_TRUE(near(grey->pixel(2, 4), 60 / 255.0, 60 / 255.0, 60 / 255.0));
    EXPECT_EQ(grey->pixel(2, 4).a, 1.0);
}

TEST(JpegDecoderTest, DamagedOrCutShortFilesAreRefusedWithAReason) {
    const std::string whole = encodeJpeg(64, 64, false, {});
    for (const std::string& bad : {whole.substr(0, whole.size() / 2), std::string("\xFF\xD8\xFF\xE0garbage", 11),
                                   whole.substr(0, 3)}) {
        std::string error;
        EXPECT_FALSE(JpegDecoder::decode(bad, &error)) << bad.size();
        EXPECT_FALSE(error.empty()) << bad.size();
    }
    std::string error;
    EXPECT_FALSE(PixelImage::fromData("neither picture", &error));
    EXPECT_FALSE(error.empty());
}

TEST(JpegDecoderTest, OrientationIsReadOnlyFromTheExifBlockBeforeThePictureData) {
    // Another APP1 block (XMP) before the EXIF one is passed over.
    const std::string xmp = "http://ns.adobe.com/xap/1.0/" + std::string(1, '\0') + "<x/>";
    EXPECT_EQ(jpegOrientation(encodeJpeg(8, 8, true, {xmp, exifBlock(8)})), 8);
    EXPECT_EQ(jpegOrientation(encodeJpeg(8, 8, true, {exifBlock(9)})), 1);  // no such orientation
    EXPECT_EQ(jpegOrientation(encodeJpeg(8, 8, true, {})), 1);
    // A segment claiming more bytes than there are ends the search.
    EXPECT_EQ(jpegOrientation(std::string("\xFF\xD8\xFF\xE1\x7F\xFF", 6) + exifBlock(6)), 1);
    EXPECT_EQ(jpegOrientation("\x89PNG"), 1);
}

TEST(JpegDecoderTest, PicturesAreOfferedByTheNamesOfTheFormatsRead) {
    for (const char* name : {"a.png", "b.JPG", "c.jpeg", "d.Jpeg"}) EXPECT_TRUE(PixelImage::isReadablePictureName(name));
    for (const char* name : {"e.gif", "f.heic", "jpg", "g.png.txt"}) EXPECT_FALSE(PixelImage::isReadablePictureName(name));
}

}  // namespace
