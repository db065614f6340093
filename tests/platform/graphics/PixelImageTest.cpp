#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>

#include "TestEnvironment.h"
#include "platform/foundation/FileUtil.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace {

using namespace plat;

PixelImage twoColours() {
    // Left half red, right half half-transparent blue.
    DrawingContext ctx;
    ctx.setFillColor(Color::red());
    ctx.fillRect(Rect{0, 0, 4, 4});
    ctx.setFillColor(Color::rgba(0, 0, 1, 0.5));
    ctx.fillRect(Rect{4, 0, 4, 4});
    return ctx.render({8, 4});
}

TEST(PixelImageTest, PngFilesAndBytesRoundTripWithTransparency) {
    qxtest::TempDir dir;
    PixelImage img = twoColours();
    auto path = dir.path() / "photo.png";
    ASSERT_TRUE(img.writePng(path));
    auto back = PixelImage::loadPng(path);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->width(), 8);
    EXPECT_EQ(back->height(), 4);
    EXPECT_EQ(back->pixel(1, 1), Color::red());
    EXPECT_NEAR(back->pixel(6, 1).a, 0.5, 0.01);
    EXPECT_NEAR(back->pixel(6, 1).b, 1.0, 0.01);
    EXPECT_EQ(back->pixel(-1, 0), Color::clear());
    EXPECT_EQ(PixelImage::fromPngData(img.pngData())->words(), img.words());
}

TEST(PixelImageTest, BrokenOrMissingFilesReportAnError) {
    qxtest::TempDir dir;
    std::string error;
    EXPECT_FALSE(PixelImage::loadPng(dir.path() / "none.png", &error).has_value());
    EXPECT_NE(error.find("cannot read"), std::string::npos);
    plat::file::writeAtomically(dir.path() / "bad.png", "\x89PNG not really");
    error.clear();
    EXPECT_FALSE(PixelImage::loadPng(dir.path() / "bad.png", &error).has_value());
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(PixelImage().writePng(dir.path() / "empty.png", &error));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "empty.png"));
}

// A chunk as a PNG file holds it: length, kind, data and the CRC of kind and data.
std::string pngChunk(const std::string& kind, const std::string& data) {
    auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const std::string body = kind + data;
    return be32(static_cast<std::uint32_t>(data.size())) + body +
           be32(static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

TEST(PixelImageTest, DamagedPngFilesAreRefusedWithTheirFaultNamed) {
    const std::string good = twoColours().pngData();
    ASSERT_TRUE(PixelImage::fromPngData(good).has_value());
    const std::size_t idat = good.find("IDAT") - 4;
    const std::string signature = good.substr(0, 8), ihdr = good.substr(8, 25), rest = good.substr(idat);
    std::string badIdatCrc = good;
    badIdatCrc[good.find("IEND") - 5] ^= 0x40;
    std::string badIhdrCrc = good;
    badIhdrCrc[8 + 8 + 13] ^= 1;
    std::string badColourType = good.substr(0, 8) + pngChunk("IHDR", std::string("\0\0\0\x08\0\0\0\x04\x08\x05\0\0\0", 13)) + rest;
    const struct {
        const char* name;
        std::string bytes;
        const char* fault;  // a part of the reason
    } cases[] = {
        {"signature", "\x89PNX" + good.substr(4), "Not a PNG"},
        {"IHDR CRC", badIhdrCrc, "CRC"},
        {"IDAT CRC", badIdatCrc, "CRC"},
        {"cut in its data", good.substr(0, idat + 20), ""},
        {"empty IDAT", signature + ihdr + pngChunk("IDAT", "") + pngChunk("IEND", ""), ""},
        {"no IDAT", signature + ihdr + pngChunk("IEND", ""), ""},
        {"colour type 5", badColourType, ""},
        {"huge", signature + pngChunk("IHDR", std::string("\0\0\xff\xff\0\0\xff\xff\x08\x06\0\0\0", 13)) + rest,
         "too large (65535x65535)"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(PixelImage::fromData(c.bytes, &error).has_value()) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(error.find("memory"), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find(c.fault), std::string::npos) << c.name << ": " << error;
    }
}

TEST(PixelImageTest, ScalingKeepsTheColoursOfEachHalf) {
    PixelImage big = twoColours().scaled(80, 40);
    EXPECT_EQ(big.width(), 80);
    EXPECT_EQ(big.pixel(10, 20), Color::red());
    EXPECT_NEAR(big.pixel(70, 20).a, 0.5, 0.01);
    EXPECT_TRUE(twoColours().scaled(0, 5).isEmpty());
    auto image = Image::withPixels(twoColours(), "photo");
    auto small = image->scaledTo({4, 2});
    EXPECT_EQ(small->name(), "photo");
    EXPECT_EQ(small->size(), (Size{4, 2}));
}

TEST(PixelImageTest, ImagesDrawnIntoAContextLandInTheirRectangle) {
    DrawingContext ctx;
    ctx.drawImage(Image::withPixels(twoColours()), Rect{10, 10, 16, 8});
    ctx.drawImage(Image::named("no-such-picture.png"), Rect{0, 0, 40, 40});  // a name only: nothing
    PixelImage out = ctx.render({40, 40});
    EXPECT_EQ(out.pixel(12, 12), Color::red());
    EXPECT_NEAR(out.pixel(24, 14).a, 0.5, 0.02);
    EXPECT_EQ(out.pixel(5, 5).a, 0.0);
    EXPECT_EQ(ctx.commandsOf(DrawOp::DrawImage)[1].description(), "drawImage no-such-picture.png 0 0 40 40");
}

TEST(PixelImageTest, TransparencyLayersAndClipsAffectOnlyWhatTheyEnclose) {
    DrawingContext ctx;
    ctx.saveState();
    ctx.clipToRect(Rect{0, 0, 10, 10});
    ctx.beginTransparencyLayer(0.5);
    ctx.setFillColor(Color::black());
    ctx.fillRect(Rect{0, 0, 20, 20});
    ctx.endTransparencyLayer();
    ctx.restoreState();
    ctx.restoreState();  // one too many: ignored
    ctx.setFillColor(Color::green());
    ctx.fillRect(Rect{15, 15, 5, 5});
    PixelImage out = ctx.render({20, 20});
    EXPECT_NEAR(out.pixel(5, 5).a, 0.5, 0.01);
    EXPECT_EQ(out.pixel(12, 12).a, 0.0);  // clipped away
    EXPECT_EQ(out.pixel(17, 17), Color::green());
}

TEST(GeometryTest, RectanglesIntersectAndInsetAsExpected) {
    Rect a{0, 0, 10, 10}, b{5, 5, 10, 10}, c{10, 0, 5, 5};
    EXPECT_EQ(a.intersection(b), (Rect{5, 5, 5, 5}));
    EXPECT_FALSE(a.intersects(c));  // touching edges do not overlap
    EXPECT_EQ(a.intersection(c), Rect{});
    EXPECT_TRUE(a.contains({0, 0}));
    EXPECT_FALSE(a.contains({10, 5}));
    EXPECT_EQ(a.inset(EdgeInsets{1, 2, 3, 4}), (Rect{2, 1, 4, 6}));
    EXPECT_EQ((Rect{10, 10, -4, -4}).minX(), 6);
}

TEST(FontTest, MeasuringFollowsTheDrawnFacesPerCharacterNotPerByte) {
    Font f = Font::system(10);
    // The faces' advances (DejaVu Sans, to a thousandth of the size).
    EXPECT_NEAR(f.widthOf("abcd"), 24.33, 0.01);
    EXPECT_NEAR(f.widthOf("\u00e4\u00f6"), 12.25, 0.01);  // two bytes, one character each
    EXPECT_GT(Font::boldSystem(10).widthOf("abcd"), f.widthOf("abcd"));
    EXPECT_GT(f.widthOf("\u0428\u0443\u043c"), f.widthOf("Xyz") * 0.95);  // Cyrillic is not narrow
    EXPECT_DOUBLE_EQ(f.widthOf("\u8a2d\u5b9a"), 20);  // ideographs fill the em
    EXPECT_EQ(f.measure("ab\nabcd"), (Size{f.widthOf("abcd"), 24}));
    EXPECT_TRUE(Font::boldSystem(12).isBold());
    EXPECT_EQ(Font::named("HelveticaNeue-Bold", 17).description(), "HelveticaNeue-Bold 17");
}

// The right edge of the ink of one line drawn black on white, in pixels from the left.
int inkRight(const std::string& text, const Font& font) {
    DrawingContext ctx;
    ctx.setFillColor(Color::white());
    ctx.fillRect({0, 0, 400, 30});
    ctx.drawText(text, {0, 0, 400, 30}, font, Color::black());
    const PixelImage picture = ctx.render({400, 30});
    int right = -1;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixel(x, y).g < 0.5) right = std::max(right, x);
        }
    }
    return right;
}

// Layout decides where lines break and whether a text fits by measuring: a line of any of the
// interface's scripts must measure what the picture shows, or text runs past its margin.
TEST(FontTest, MeasuredWidthIsTheDrawnWidthInEveryScript) {
    const char* lines[] = {
        "\u0412\u044b\u0431\u0435\u0440\u0438\u0442\u0435 \u044f\u0437\u044b\u043a, "
        "\u0435\u0434\u0438\u043d\u0438\u0446\u044b \u0438 \u0436\u0443\u0440\u043d\u0430\u043b "
        "\u0428\u0443\u043c\u0430",                                             // Cyrillic
        "Schwellen f\u00fcr \u00dcbersicht und Einstellungen \u00e4\u00f6\u00df",  // German
        "R\u00e9glages du mode \u00e0 l\u2019\u00e9cran \u00ab\u00e9t\u00e9\u00bb",   // French
        "\u05d9\u05e8\u05d5\u05e9\u05dc\u05d9\u05dd \u05d4\u05e2\u05ea\u05d9\u05e7\u05d4 12",  // Hebrew
        "\u0627\u0644\u0642\u0627\u0647\u0631\u0629 \u0627\u0644\u062c\u062f\u064a\u062f\u0629",  // Arabic
        "\u0928\u0908 \u0926\u093f\u0932\u094d\u0932\u0940 \u0e01\u0e23\u0e38\u0e07\u0e40\u0e17\u0e1e",  // Devanagari, Thai
        "\uc11c\uc6b8 \u6771\u4eac\u30bf\u30ef\u30fc Tokyo",                     // Korean, Japanese
    };
    for (const char* line : lines) {
        for (const Font& font : {Font::system(15), Font::boldSystem(15)}) {
            // The ink ends within a pixel or two of the advance (the last glyph's side bearing).
            EXPECT_NEAR(inkRight(line, font), font.widthOf(line), 3) << line << " in " << font.description();
        }
    }
}

}  // namespace
