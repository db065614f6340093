#include <gtest/gtest.h>

#include <algorithm>

#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/GlyphCoverage.h"
#include "platform/graphics/TextShaper.h"

namespace {

using namespace plat;

// Names of places as the people there write them, one a script.
const std::vector<std::pair<const char*, std::string>> kNames = {
    {"Latin", "Stephansplatz S\u00fcd"},
    {"Greek", "\u0391\u03ba\u03c1\u03cc\u03c0\u03bf\u03bb\u03b7"},
    {"Cyrillic", "\u041a\u0440\u0430\u0441\u043d\u0430\u044f \u043f\u043b\u043e\u0449\u0430\u0434\u044c"},
    {"Armenian", "\u0535\u0580\u0587\u0561\u0576"},
    {"Georgian", "\u10d7\u10d1\u10d8\u10da\u10d8\u10e1\u10d8"},
    {"Hebrew", "\u05d9\u05e8\u05d5\u05e9\u05dc\u05d9\u05dd"},
    {"Arabic", "\u0627\u0644\u0642\u0627\u0647\u0631\u0629"},
    {"Devanagari", "\u0928\u0908 \u0926\u093f\u0932\u094d\u0932\u0940"},
    {"Thai", "\u0e01\u0e23\u0e38\u0e07\u0e40\u0e17\u0e1e\u0e21\u0e2b\u0e32\u0e19\u0e04\u0e23"},
    {"Korean", "\uc11c\uc6b8 \ub0a8\uc0b0"},
    {"Japanese", "\u6771\u4eac\u30bf\u30ef\u30fc"},
    {"Chinese", "\u5929\u5b89\u95e8\u5e7f\u573a"},
    {"rare CJK", "\U00020BB7\u91ce\u5c4b \u3400"},
    {"emoji", "Gipfel \U0001F3D4\uFE0F \U0001F44D\U0001F3FD"},
};

TEST(TextShaperTest, EveryScriptOfPeoplesNamesHasItsGlyphs) {
    for (const auto& [script, name] : kNames) {
        for (const Font& font : {Font::system(17), Font::boldSystem(13)}) {
            EXPECT_TRUE(charactersWithoutGlyph(font, name).empty()) << script << " in " << font.description();
            EXPECT_GT(font.widthOf(name), font.size) << script;
        }
    }
    // What no face has is named, each character once, in the text's order.
    EXPECT_EQ(charactersWithoutGlyph(Font::system(17), "a\uE000b\u0378\uE000"), (std::vector<char32_t>{0xE000, 0x378}));
    // Control characters and broken bytes are no characters without a glyph.
    EXPECT_TRUE(charactersWithoutGlyph(Font::system(17), "a\tb\rc\x01\xff").empty());
}

// The glyph of the character starting at `byte` of the shaped text.
const ShapedGlyph& glyphAt(const ShapedLine& line, std::size_t byte) {
    for (const auto& run : line.runs) {
        for (const auto& g : run.glyphs) {
            if (g.byte == byte) return g;
        }
    }
    static const ShapedGlyph none{};
    ADD_FAILURE() << "no glyph at byte " << byte << " of " << line.text;
    return none;
}

TEST(TextShaperTest, HebrewAndArabicRunRightToLeftInTheirPlaceOnTheLine) {
    // Alone: the first letter is drawn rightmost.
    for (const std::string word : {"\u05e9\u05dc\u05d5\u05dd", "\u0633\u0644\u0627\u0645"}) {
        const auto line = TextShaper::shape(Font::system(17), word);
        EXPECT_GT(glyphAt(*line, 0).x, glyphAt(*line, word.size() - 2).x) << word;
        ASSERT_FALSE(line->runs.empty());
        EXPECT_TRUE(line->runs.front().rightToLeft);
    }
    // Inside a Latin line the Hebrew words follow the Latin ones, their letters still reversed
    // and the later word further left.
    const std::string mixed = "Tel Aviv \u05ea\u05dc \u05d0\u05d1\u05d9\u05d1";
    const auto line = TextShaper::shape(Font::system(17), mixed);
    const std::size_t tav = 9, lamed = 11, alef = 14;
    EXPECT_LT(glyphAt(*line, 0).x, glyphAt(*line, alef).x);
    EXPECT_GT(glyphAt(*line, tav).x, glyphAt(*line, lamed).x);
    EXPECT_GT(glyphAt(*line, lamed).x, glyphAt(*line, alef).x);
}

TEST(TextShaperTest, ArabicLettersJoinAndIndicClustersCombine) {
    // A beh inside a word takes its joined form, another glyph than the beh alone.
    const auto alone = TextShaper::shape(Font::system(17), "\u0628");
    const auto word = TextShaper::shape(Font::system(17), "\u0628\u0628\u0628");
    EXPECT_NE(glyphAt(*word, 2).index, glyphAt(*alone, 0).index);
    // The vowel sign i of Devanagari is set with the consonant it follows, as one cluster.
    const auto di = TextShaper::shape(Font::system(17), "\u0926\u093f");
    const auto& runs = di->runs;
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs.front().glyphs.size(), 2u);
    EXPECT_EQ(runs.front().glyphs.front().byte, 0u);  // both glyphs belong to the first letter
    EXPECT_EQ(runs.front().glyphs.back().byte, 0u);
}

TEST(TextShaperTest, EmojiAreDrawnInColour) {
    DrawingContext ctx;
    ctx.setFillColor(Color::white());
    ctx.fillRect({0, 0, 40, 30});
    ctx.drawText("\U0001F600", {4, 4, 30, 24}, Font::system(17), Color::black());
    const PixelImage picture = ctx.render({40, 30}, 2);
    int coloured = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const Color p = picture.pixel(x, y);
            coloured += p.r - p.b > 0.3 ? 1 : 0;  // the face's yellow
        }
    }
    EXPECT_GT(coloured, 50);
}

}  // namespace
