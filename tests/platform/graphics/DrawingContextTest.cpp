#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>

#include "TestEnvironment.h"
#include "platform/graphics/DrawingContext.h"

namespace {

using plat::Color;
using plat::DrawingContext;
using plat::Rect;

// Reads a pixel of a PNG file through cairo directly, independent of PixelImage.
struct PngProbe {
    explicit PngProbe(const std::filesystem::path& path)
        : surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~PngProbe() { cairo_surface_destroy(surface); }
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    // (a, r, g, b) bytes, premultiplied as cairo keeps them.
    std::array<int, 4> at(int x, int y) const {
        auto* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        std::uint32_t w = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
        return {static_cast<int>(w >> 24), static_cast<int>((w >> 16) & 0xFF), static_cast<int>((w >> 8) & 0xFF),
                static_cast<int>(w & 0xFF)};
    }
    cairo_surface_t* surface;
};

TEST(DrawingContextTest, RecordedDrawingRendersToAPngOfTheRightSizeAndPixels) {
    qxtest::TempDir dir;
    DrawingContext ctx;
    ctx.setFillColor(Color::white());
    ctx.fillRect(Rect{0, 0, 40, 30});
    ctx.setFillColor(Color::red());
    ctx.fillRect(Rect{10, 10, 10, 10});
    // A thick blue vertical line at x = 30 from y = 0 to 30.
    ctx.setStrokeColor(Color::blue());
    ctx.setLineWidth(4);
    ctx.beginPath();
    ctx.moveTo({30, 0});
    ctx.lineTo({30, 30});
    ctx.strokePath();
    // Saved state: the green fill stays inside save/restore.
    ctx.saveState();
    ctx.setFillColor(Color::green());
    ctx.restoreState();
    ctx.fillRect(Rect{0, 25, 5, 5});  // red again after the restore

    auto path = dir.path() / "drawing.png";
    ASSERT_TRUE(ctx.writePng(path, {40, 30}, 2));
    PngProbe png(path);
    ASSERT_TRUE(png.ok());
    EXPECT_EQ(png.width(), 80);
    EXPECT_EQ(png.height(), 60);
    EXPECT_EQ(png.at(30, 30), (std::array<int, 4>{255, 255, 0, 0}));  // inside the red square
    EXPECT_EQ(png.at(4, 4), (std::array<int, 4>{255, 255, 255, 255}));  // white ground
    EXPECT_EQ(png.at(60, 20), (std::array<int, 4>{255, 0, 0, 255}));   // the blue line
    EXPECT_EQ(png.at(4, 56), (std::array<int, 4>{255, 255, 0, 0}));    // red after restore
}

TEST(DrawingContextTest, TextRightAlignedInItsMeasuredWidthStaysInsideIt) {
    // A shrunk value at one pixel a point: advances rounded to whole pixels made the line wider
    // than measured, and its first digit fell outside the box.
    qxtest::TempDir dir;
    const plat::Font font = plat::Font::named("HelveticaNeue", 13.36);
    const std::string text = "00:01:00";
    const Rect box{30, 0, font.widthOf(text), 20};
    DrawingContext ctx;
    ctx.setFillColor(Color::white());
    ctx.fillRect(Rect{0, 0, 120, 20});
    ctx.drawText(text, box, font, Color::black(), plat::TextAlignment::Right);
    auto path = dir.path() / "text.png";
    ASSERT_TRUE(ctx.writePng(path, {120, 20}, 1));
    PngProbe png(path);
    ASSERT_TRUE(png.ok());
    int inkLeftOfBox = 0, ink = 0;
    for (int x = 0; x < png.width(); ++x) {
        for (int y = 0; y < png.height(); ++y) {
            if (png.at(x, y)[1] > 128) continue;
            ++ink;
            if (x < 29) ++inkLeftOfBox;
        }
    }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(inkLeftOfBox, 0);
}

TEST(DrawingContextTest, DashedLinesLeaveGapsAndBadPatternsDrawSolid) {
    DrawingContext ctx;
    ctx.setStrokeColor(Color::black());
    ctx.setLineWidth(2);
    ctx.setLineDash(0, {4, 4});
    ctx.beginPath();
    ctx.moveTo({0, 5});
    ctx.lineTo({40, 5});
    ctx.strokePath();
    ctx.setLineDash(0, {0, 0});  // cairo would refuse this pattern
    ctx.beginPath();
    ctx.moveTo({0, 15});
    ctx.lineTo({40, 15});
    ctx.strokePath();
    auto img = ctx.render({40, 20});
    EXPECT_EQ(img.pixel(2, 5).a, 1.0);
    EXPECT_EQ(img.pixel(6, 5).a, 0.0);  // inside a gap
    for (int x = 0; x < 40; ++x) EXPECT_EQ(img.pixel(x, 15).a, 1.0) << x;
}

TEST(DrawingContextTest, ArcsTurnTheWayTheirFlagSays) {
    // From angle 0 to pi/2 without the clockwise flag the arc passes below the centre (y down).
    DrawingContext below;
    below.setFillColor(Color::black());
    below.beginPath();
    below.moveTo({20, 20});
    below.addArc({20, 20}, 15, 0, M_PI / 2, false);
    below.closePath();
    below.fillPath();
    auto a = below.render({40, 40});
    EXPECT_GT(a.pixel(27, 27).a, 0.9);
    EXPECT_EQ(a.pixel(27, 13).a, 0.0);

    DrawingContext above;
    above.setFillColor(Color::black());
    above.beginPath();
    above.moveTo({20, 20});
    above.addArc({20, 20}, 15, 0, M_PI / 2, true);  // the long way round, through the top
    above.closePath();
    above.fillPath();
    auto b = above.render({40, 40});
    EXPECT_EQ(b.pixel(27, 27).a, 0.0);
    EXPECT_GT(b.pixel(27, 13).a, 0.9);
}

TEST(DrawingContextTest, TranscriptNamesEachCallWithItsArguments) {
    DrawingContext ctx;
    ctx.setFillColor(Color::orange());
    ctx.fillRect(Rect{1, 2, 3, 4});
    ctx.setStrokeColor(Color::blue().withAlpha(0.2));
    ctx.drawText("Hi", Rect{0, 0, 20, 10}, plat::Font::system(12), Color::black());
    EXPECT_EQ(ctx.transcript(), "setFillColor #FF8000\nfillRect 1 2 3 4\nsetStrokeColor #0000FF33\ndrawText \"Hi\" 0 0 20 10 System 12 #000000\n");
    EXPECT_EQ(ctx.commandsOf(plat::DrawOp::FillRect).size(), 1u);
}

}  // namespace
