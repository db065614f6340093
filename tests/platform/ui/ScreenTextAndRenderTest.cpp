#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <cairo.h>

#include "TestEnvironment.h"
#include "platform/foundation/FileUtil.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Interface.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewSearch.h"
#include "platform/ui/WebView.h"
#include "platform/ui/Window.h"

namespace {

using namespace plat;

// A settings-like screen built from an interface file: a label, a switch, a field and two
// buttons, one of them disabled and one hidden.
std::shared_ptr<View> buildPanel(Outlets& outlets) {
    auto root = std::make_shared<View>(Rect{0, 0, 320, 400});
    auto title = std::make_shared<Label>(Rect{10, 10, 200, 20}, "Auto Upload");
    auto sw = std::make_shared<Switch>(Rect{250, 10, 0, 0});
    sw->setAccessibilityIdentifier("upload");
    auto field = std::make_shared<TextField>(Rect{10, 40, 300, 30});
    field->setPlaceholder("Server Address");
    auto save = Button::make(ButtonType::System, Rect{10, 80, 100, 40});
    save->setTitle("Save");
    save->setEnabled(false);
    auto record = Button::make(ButtonType::Custom, Rect{120, 80, 100, 40});
    record->setTitle("Record");
    record->setHidden(true);
    for (auto v : std::vector<ViewPtr>{title, sw, field, save, record}) root->addSubview(v);
    outlets.set("title", title);
    outlets.set("uploadSwitch", sw);
    outlets.set("saveButton", save);
    return root;
}

class ScreenTextAndRenderTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        Interface::registerBuilder("Panel", buildPanel);
    }
};

TEST_F(ScreenTextAndRenderTest, AScreenFromAnInterfaceFileHasItsOutletsAndDescribesItself) {
    auto panel = std::make_shared<ViewController>("Panel");
    panel->setTitle("Network");
    auto nav = std::make_shared<NavigationController>(panel);
    auto tabs = std::make_shared<TabBarController>();
    auto other = std::make_shared<ViewController>();
    other->setTitle("History");
    tabs->setViewControllers({nav, other});
    Window window;
    window.setRootViewController(tabs);
    window.makeKeyAndVisible();

    ASSERT_NE(panel->outlet<Switch>("uploadSwitch"), nullptr);
    EXPECT_EQ(panel->outlet<Label>("title")->text(), "Auto Upload");
    EXPECT_EQ(panel->outlet<Switch>("missing"), nullptr);
    panel->navigationItem().setRightBarButtonItem(BarButtonItem::withSystemItem(SystemItem::Done));
    other->setTitle("Verlauf");  // a renamed tab shows at once
    AlertView::make("Save Track", "", "Cancel", {"Save"})->show();

    EXPECT_EQ(window.describe(),
              "Window\n"
              "  TabBarController \"\"\n"
              "    NavigationController \"\"\n"
              "      Screen \"Network\"\n"
              "        Label \"Auto Upload\"\n"
              "        Switch off\n"
              "        TextField \"\" placeholder \"Server Address\"\n"
              "        Button \"Save\" (disabled)\n"
              "        Button \"Record\" (hidden)\n"
              "      NavigationBar \"Network\"\n"
              "        [Done]\n"
              "    TabBar [Network *] [Verlauf]\n"
              "  Alert \"Save Track\"\n"
              "    Button \"Cancel\"\n"
              "    Button \"Save\"\n");
}

TEST_F(ScreenTextAndRenderTest, FindingAndTappingReachOnlyWhatATouchCanReach) {
    auto panel = std::make_shared<ViewController>("Panel");
    Window window;
    window.setRootViewController(panel);
    window.makeKeyAndVisible();
    int saves = 0;
    auto save = panel->outlet<Button>("saveButton");
    save->addAction(TouchUpInside, [&](Control&) { ++saves; });
    EXPECT_FALSE(tapText(window, "Save"));  // disabled
    save->setEnabled(true);
    EXPECT_TRUE(tapText(window, "Save"));
    EXPECT_FALSE(tapText(window, "Record"));  // hidden: not even found
    EXPECT_EQ(findByText(window, "Record"), nullptr);
    EXPECT_EQ(saves, 1);

    auto* sw = dynamic_cast<Switch*>(findByAccessibilityIdentifier(window, "upload"));
    ASSERT_NE(sw, nullptr);
    bool changed = false;
    sw->addAction(ValueChanged, [&](Control& c) { changed = static_cast<Switch&>(c).isOn(); });
    EXPECT_TRUE(sw->performTap());
    EXPECT_TRUE(changed);
    EXPECT_EQ(findAll<TextField>(window).size(), 1u);

    // While an alert is up, the screen below cannot be touched.
    auto alert = AlertView::make("Data sharing", "", "Cancel", {"OK"});
    alert->show();
    EXPECT_EQ(&touchRoot(window), alert.get());
    EXPECT_FALSE(tapText(window, "Save"));
    EXPECT_TRUE(tapText(window, "OK"));
    EXPECT_TRUE(tapText(window, "Save"));
    EXPECT_EQ(saves, 2);
}

TEST_F(ScreenTextAndRenderTest, AViewTreeRendersToAPngWithItsColoursInPlace) {
    qxtest::TempDir dir;
    auto root = std::make_shared<View>(Rect{0, 0, 60, 40});
    root->setBackgroundColor(Color::white());
    auto box = std::make_shared<View>(Rect{10, 10, 20, 10});
    box->setBackgroundColor(Color::red());
    auto inner = std::make_shared<View>(Rect{5, 5, 5, 5});  // inside box: at (15, 15) on screen
    inner->setBackgroundColor(Color::blue());
    box->addSubview(inner);
    auto hidden = std::make_shared<View>(Rect{40, 0, 20, 40});
    hidden->setBackgroundColor(Color::green());
    hidden->setHidden(true);
    auto faint = std::make_shared<View>(Rect{40, 30, 20, 10});
    faint->setBackgroundColor(Color::black());
    faint->setAlpha(0.5);
    for (auto v : {box, hidden, faint}) root->addSubview(v);

    auto path = dir.path() / "tree.png";
    ASSERT_TRUE(root->renderToPng(path, 2));
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), 120);
    EXPECT_EQ(cairo_image_surface_get_height(s), 80);
    auto at = [&](int x, int y) {
        auto* data = cairo_image_surface_get_data(s);
        return *reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(s) + x * 4);
    };
    EXPECT_EQ(at(22, 22), 0xFFFF0000u);  // red box
    EXPECT_EQ(at(32, 32), 0xFF0000FFu);  // blue, placed in the box's coordinates
    EXPECT_EQ(at(100, 10), 0xFFFFFFFFu);  // the hidden green view draws nothing
    std::uint32_t grey = at(100, 70);     // half black over white
    EXPECT_NEAR(static_cast<int>((grey >> 16) & 0xFF), 128, 2);
    cairo_surface_destroy(s);
    EXPECT_EQ(box->needsDisplay(), false);
}

// Columns of a rendered PNG that hold any dark pixel, from the left.
std::vector<bool> inkedColumns(const std::filesystem::path& png) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    std::vector<bool> inked(static_cast<std::size_t>(w), false);
    auto* data = cairo_image_surface_get_data(s);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto px = *reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(s) + x * 4);
            if ((px & 0xFF) < 128) inked[static_cast<std::size_t>(x)] = true;
        }
    }
    cairo_surface_destroy(s);
    return inked;
}

// Which columns of a rendered PNG hold a dark pixel between rows y0 and y1.
std::vector<bool> inkedColumns(const std::filesystem::path& png, int y0, int y1) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    const auto* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s), w = cairo_image_surface_get_width(s);
    std::vector<bool> inked(static_cast<std::size_t>(w), false);
    for (int x = 0; x < w; ++x) {
        for (int y = y0; y < y1 && !inked[static_cast<std::size_t>(x)]; ++y) {
            inked[static_cast<std::size_t>(x)] = (*reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4) & 0xFF) < 128;
        }
    }
    cairo_surface_destroy(s);
    return inked;
}

TEST_F(ScreenTextAndRenderTest, ANameOfLettersSetWiderThanMeasuredStillEndsInItsEllipsis) {
    // Thousands of capital omegas: the face sets them wider than layout measures them. The
    // line is narrowed to the frame, so that the frame shows the ellipsis whole: three dots
    // low on the line after the last letter.
    qxtest::TempDir dir;
    auto root = std::make_shared<View>(Rect{0, 0, 200, 30});
    root->setBackgroundColor(Color::white());
    std::string name;
    for (int i = 0; i < 3000; ++i) name += "\u03A9";
    root->addSubview(std::make_shared<Label>(Rect{0, 0, 100, 30}, name));
    const auto path = dir.path() / "omega.png";
    ASSERT_TRUE(root->renderToPng(path, 4));  // four times the size: the frame ends at column 400
    const auto letters = inkedColumns(path, 40, 60), low = inkedColumns(path, 68, 84);
    std::size_t x = 400;
    while (x > 0 && !letters[x - 1]) --x;
    int dots = 0;
    for (; x < 400; ++x) dots += low[x] && !low[x - 1] ? 1 : 0;
    EXPECT_EQ(dots, 3);
}

TEST_F(ScreenTextAndRenderTest, ALabelKeepsItsTextInsideItsFrameShrinkingOrCuttingIt) {
    qxtest::TempDir dir;
    auto render = [&](bool shrink) {
        auto root = std::make_shared<View>(Rect{0, 0, 200, 30});
        root->setBackgroundColor(Color::white());
        auto label = std::make_shared<Label>(Rect{0, 0, 100, 30});
        label->setText("A threshold title far too long");
        label->setAdjustsFontSizeToFitWidth(shrink);
        label->setMinimumScaleFactor(0.3);
        root->addSubview(label);
        auto path = dir.path() / (shrink ? "shrunk.png" : "plain.png");
        EXPECT_TRUE(root->renderToPng(path, 1));
        return inkedColumns(path);
    };
    auto inkBeyondFrame = [](const std::vector<bool>& columns) {
        return std::any_of(columns.begin() + 102, columns.end(), [](bool b) { return b; });
    };
    EXPECT_FALSE(inkBeyondFrame(render(false)));
    EXPECT_FALSE(inkBeyondFrame(render(true)));

    // What is drawn: the text in a smaller font, never below the smallest readable size and
    // cut there with an ellipsis, or the text cut where the mode says (a clipping mode too:
    // half a glyph reads as another letter).
    auto drawn = [](bool shrink, LineBreakMode mode) {
        Label label(Rect{0, 0, 100, 30}, "A threshold title far too long");
        label.setAdjustsFontSizeToFitWidth(shrink);
        label.setMinimumScaleFactor(0.3);
        label.setLineBreakMode(mode);
        DrawingContext ctx;
        label.drawRect(ctx, label.bounds());
        return ctx.commandsOf(DrawOp::DrawText).at(0);
    };
    auto shrunk = drawn(true, LineBreakMode::TruncateTail);
    EXPECT_EQ(shrunk.text, "A threshold title far\u2026");
    EXPECT_EQ(shrunk.font.size, 9);
    EXPECT_LE(shrunk.font.widthOf(shrunk.text), 100);
    EXPECT_EQ(drawn(false, LineBreakMode::TruncateTail).text, "A thresho\u2026");
    EXPECT_EQ(drawn(false, LineBreakMode::TruncateHead).text, "\u2026r too long");
    EXPECT_EQ(drawn(false, LineBreakMode::TruncateMiddle).text, "A thr\u2026long");
    EXPECT_EQ(drawn(false, LineBreakMode::Clip).text, "A thresho\u2026");
}

// A long wrapped text shows the lines its frame holds, the last one shown ending in an ellipsis
// when more follow: a long text draws exactly what its first two thousand bytes draw.
TEST_F(ScreenTextAndRenderTest, AWrappedLabelShowsTheLinesItsFrameHolds) {
    auto repeated = [](const std::string& piece) {
        std::string text;
        while (text.size() < (std::size_t{1} << 16)) text += piece;
        return text;
    };
    auto drawn = [](const std::string& text, int lines, double height) {
        Label label(Rect{0, 0, 200, height}, text);
        label.setNumberOfLines(lines);
        DrawingContext ctx;
        label.drawRect(ctx, label.bounds());
        const auto texts = ctx.commandsOf(DrawOp::DrawText);
        return texts.empty() ? std::string("(nothing)") : texts.at(0).text;
    };
    struct Case {
        std::string text;
        int lines;
        double height;
        std::string shown;
    } cases[] = {
        {repeated("Sievert "), 0, 44, "Sievert Sievert Sievert\nSievert Sievert Sieve\u2026"},
        {repeated("Sievert "), 2, 100, "Sievert Sievert Sievert\nSievert Sievert Sieve\u2026"},
        {repeated("Sievert "), 5, 44, "Sievert Sievert Sievert\nSievert Sievert Sieve\u2026"},
        {repeated("Sievert "), 0, 10, "Sievert Sievert Sieve\u2026"},
        {repeated("線量計の記録、"), 0, 44, "線量計の記録、線量計の\n記録、線量計の記録、\u2026"},  // a full-width ellipsis
        {"Dose\n\nrate\n" + repeated("Sv "), 0, 70, "Dose\n\nrate \u2026"},
        {"Dose rate\nSv", 0, 200, "Dose rate\nSv"},
        {"Dose rate of the whole day and night", 2, 44, "Dose rate of the whole\nday and night"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 20) + ", lines " + std::to_string(c.lines));
        EXPECT_EQ(drawn(c.text, c.lines, c.height), c.shown);
        EXPECT_EQ(drawn(c.text.substr(0, 2000), c.lines, c.height), c.shown);
    }
}

TEST_F(ScreenTextAndRenderTest, JapaneseTextIsDrawnWithGlyphsThatCoverIt) {
    // Without a face that has the glyphs, each character becomes the same empty box: two
    // different words then draw identical pixels.
    qxtest::TempDir dir;
    auto render = [&](const std::string& text, const char* name) {
        auto root = std::make_shared<View>(Rect{0, 0, 80, 30});
        root->setBackgroundColor(Color::white());
        auto label = std::make_shared<Label>(Rect{0, 0, 80, 30});
        label->setText(text);
        root->addSubview(label);
        auto path = dir.path() / name;
        EXPECT_TRUE(root->renderToPng(path, 1));
        return plat::file::read(path).value_or("");
    };
    EXPECT_NE(render("設定", "a.png"), render("履歴", "b.png"));
    // A character the CJK face lacks (the narrow no-break space of date texts) comes from a face
    // that has it: a blank, not a box.
    EXPECT_EQ(render("設定\u202F", "c.png"), render("設定", "d.png"));
}

}  // namespace

namespace {

// A description is printed and read back by scripts: a long text is cut between characters.
TEST_F(ScreenTextAndRenderTest, ShortenedTextNeverCutsACharacter) {
    using plat::DescriptionWriter;
    EXPECT_EQ(DescriptionWriter::shortened("short", 10), "short");
    EXPECT_EQ(DescriptionWriter::shortened("abcdefghij", 10), "abcdefghij");
    EXPECT_EQ(DescriptionWriter::shortened("abcdefghijk", 10), "abcdefg...");
    std::string cjk;
    for (int i = 0; i < 50; ++i) cjk += "線量";  // three bytes each
    const std::string cut = DescriptionWriter::shortened(cjk, 10);
    EXPECT_EQ(cut, "線量線量線量線...");
    const std::string emoji = DescriptionWriter::shortened(std::string(8, 'x') + "😀😀😀", 10);
    EXPECT_EQ(emoji, "xxxxxxx...");

    auto web = std::make_shared<plat::WebView>();
    web->loadHTMLString("<p>" + cjk + cjk + cjk + "</p>", "");
    drain();
    const std::string line = web->describeLine();
    EXPECT_NE(line.find((cjk + cjk).substr(0, 117 * 3) + "...\""), std::string::npos) << line;
}

}  // namespace

namespace {

// Text that is not UTF-8 (a Latin-1 name, a lone lead byte, a cut sequence, an overlong form)
// shows as replacement characters in every kind of view that draws text, and whatever is drawn
// after it still shows: the red square drawn last is red.
TEST_F(ScreenTextAndRenderTest, TextThatIsNotUtf8NeverStopsTheDrawing) {
    const std::string bad = "M\xfcller \xff \xe2\x82 \xc0\xaf";
    const std::vector<std::pair<const char*, std::function<ViewPtr()>>> kinds = {
        {"label", [&] { return std::make_shared<Label>(Rect{0, 0, 300, 20}, bad); }},
        {"wrapped label",
         [&] {
             auto l = std::make_shared<Label>(Rect{0, 0, 80, 60}, bad + " " + bad);
             l->setNumberOfLines(0);
             return l;
         }},
        {"button",
         [&] {
             auto b = Button::make(ButtonType::System, Rect{0, 0, 200, 40});
             b->setTitle(bad);
             return b;
         }},
        {"text field",
         [&] {
             auto f = std::make_shared<TextField>(Rect{0, 0, 300, 30});
             f->setText(bad);
             return f;
         }},
        {"placeholder",
         [&] {
             auto f = std::make_shared<TextField>(Rect{0, 0, 300, 30});
             f->setPlaceholder(bad);
             return f;
         }},
        {"navigation bar",
         [&] {
             auto bar = std::make_shared<NavigationBar>(Rect{0, 0, 320, 44});
             bar->setItems({std::make_shared<NavigationItem>(bad)});
             return bar;
         }},
        {"alert", [&] { return AlertView::make(bad, bad, "OK"); }},
    };
    qxtest::TempDir dir;
    for (const auto& [kind, make] : kinds) {
        auto root = std::make_shared<View>(Rect{0, 0, 320, 200});
        root->setBackgroundColor(Color::white());
        root->addSubview(make());
        auto last = std::make_shared<View>(Rect{300, 180, 20, 20});
        last->setBackgroundColor(Color::red());
        root->addSubview(last);
        const auto path = dir.path() / "bad.png";
        ASSERT_TRUE(root->renderToPng(path, 1)) << kind;
        cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
        const auto* data = cairo_image_surface_get_data(s);
        const auto px = *reinterpret_cast<const std::uint32_t*>(data + 190 * cairo_image_surface_get_stride(s) + 310 * 4);
        EXPECT_EQ(px, 0xFFFF0000u) << kind;
        cairo_surface_destroy(s);
    }
}

}  // namespace
