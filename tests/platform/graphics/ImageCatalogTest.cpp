#include <gtest/gtest.h>

#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageCatalog.h"

namespace {

using namespace plat;

TEST(ImageCatalogTest, NamedImagesWithoutAFileAreDrawnOnceAtTheirSize) {
    ImageCatalog::clear();
    int draws = 0;
    ImageCatalog::add("test-dot", {8, 6}, [&draws](DrawingContext& c, Size s) {
        ++draws;
        c.setFillColor(Color::red());
        c.fillRect(Rect{0, 0, s.width, s.height});
    });
    auto plain = Image::named("test-dot");
    auto typed = Image::named("test-dot.png");  // the same picture under its file name
    ASSERT_TRUE(plain->hasPixels());
    EXPECT_EQ(plain->size(), (Size{8, 6}));
    EXPECT_EQ(plain->pixels(), typed->pixels());
    EXPECT_EQ(typed->name(), "test-dot.png");
    EXPECT_EQ(draws, 1);
    EXPECT_DOUBLE_EQ(plain->pixels()->pixel(3, 3).r, 1.0);

    EXPECT_FALSE(Image::named("test-unknown")->hasPixels());
    ImageCatalog::clear();
    EXPECT_FALSE(Image::named("test-dot")->hasPixels());
}

}  // namespace
