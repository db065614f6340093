#include <gtest/gtest.h>

#include <algorithm>

#include "TestEnvironment.h"
#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutCheck.h"
#include "platform/ui/Readability.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TableView.h"

namespace {

using namespace plat;
using Kind = LayoutProblem::Kind;

std::shared_ptr<Label> label(const std::string& text, Rect frame) {
    auto l = std::make_shared<Label>(frame, text);
    l->setFont(Font::boldSystem(17));
    return l;
}

// A view that draws its text in one line whatever its width.
class Caption : public View {
public:
    Caption(const Rect& frame, std::string text) : View(frame), text_(std::move(text)) {}
    void drawRect(DrawingContext& ctx, const Rect& rect) override {
        ctx.drawText(text_, rect, Font::boldSystem(17), Color::black());
    }

private:
    std::string text_;
};

// A view that draws its text cut to its bounds, as a label without an ellipsis would.
class ClippedCaption : public Caption {
public:
    using Caption::Caption;
    void drawRect(DrawingContext& ctx, const Rect& rect) override {
        ctx.saveState();
        ctx.clipToRect(rect);
        Caption::drawRect(ctx, rect);
        ctx.restoreState();
    }
};

// A view that draws its text's lines as it was given them, at a size of its own; its text for
// a reader is the whole text (with the blanks where the lines were broken).
class Paragraph : public View {
public:
    Paragraph(const Rect& frame, std::string whole, std::string lines, double size = 12)
        : View(frame), whole_(std::move(whole)), lines_(std::move(lines)), size_(size) {}
    void drawRect(DrawingContext& ctx, const Rect& rect) override { ctx.drawText(lines_, rect, Font::system(size_), Color::black()); }
    std::string displayText() const override { return whole_; }

private:
    std::string whole_, lines_;
    double size_;
};

// Rows of one kind, each drawing its text in a view of its own at the size given for it.
class SizedRows : public TableViewDataSource {
public:
    std::vector<std::pair<std::string, double>> rows;
    long numberOfRows(TableView&, long) override { return static_cast<long>(rows.size()); }
    TableViewCellPtr cellForRow(TableView&, const IndexPath& ip) override {
        auto cell = std::make_shared<TableViewCell>(CellStyle::Default, "Row");
        const auto& [text, size] = rows[static_cast<std::size_t>(ip.row)];
        if (size > 0) {
            cell->contentView().addSubview(std::make_shared<Paragraph>(Rect{15, 10, 280, 24}, text, text, size));
        } else {  // a label that shrinks to its width
            cell->textLabel().setText(text);
            cell->textLabel().setAdjustsFontSizeToFitWidth(true);
            cell->textLabel().setMinimumScaleFactor(0.6);
        }
        return cell;
    }
};

// A sheet over the screen: what lies behind it is not judged.
class Sheet : public View {
public:
    using View::View;
    bool isModalOverlay() const override { return true; }
};

std::vector<Kind> kinds(const std::vector<LayoutProblem>& problems) {
    std::vector<Kind> out;
    for (const auto& p : problems) out.push_back(p.kind);
    return out;
}

TEST(LayoutCheck, ACleanScreenHasNoProblems) {
    View root(Rect{0, 0, 320, 200});
    auto title = label("Sound alarm", {15, 0, 200, 44});
    title->setShadowColor(Color::white());  // a text and its own shadow are not two texts
    title->setShadowOffset({0, 1});
    root.addSubview(title);
    root.addSubview(std::make_shared<Switch>(Rect{259, 6, 51, 31}));
    root.addSubview(label("Second row", {15, 44, 200, 44}));
    // Text cut by a clipping parent stays inside what can be seen.
    auto clip = std::make_shared<View>(Rect{0, 100, 100, 44});
    clip->setClipsToBounds(true);
    clip->addSubview(label("A long text cut by its row", {15, 0, 300, 44}));
    root.addSubview(clip);
    const auto problems = LayoutCheck::run(root);
    EXPECT_TRUE(problems.empty()) << LayoutCheck::report(problems);
}

TEST(LayoutCheck, NamesTextsOutsideOverAndUnderOtherViews) {
    View root(Rect{0, 0, 320, 300});
    root.addSubview(std::make_shared<Caption>(Rect{15, 0, 100, 44}, "Auto Save Period in sec"));  // too long
    root.addSubview(label("Server Address", {15, 50, 160, 44}));
    root.addSubview(label("http://zenet", {90, 50, 200, 44}));          // over its neighbour
    root.addSubview(label("Sound OFF by Shake", {15, 100, 280, 44}));   // runs under the switch
    root.addSubview(std::make_shared<Switch>(Rect{150, 106, 51, 31}));
    root.addSubview(label("Hidden", {15, 150, 100, 44}));                // wholly under an opaque view
    auto cover = std::make_shared<View>(Rect{0, 150, 320, 44});
    cover->setBackgroundColor(Color::white());
    root.addSubview(cover);

    const auto problems = LayoutCheck::run(root);
    ASSERT_EQ(kinds(problems), (std::vector<Kind>{Kind::TextOutsideView, Kind::TextCovered, Kind::TextsOverlap}))
        << LayoutCheck::report(problems);
    EXPECT_EQ(problems[0].text, "Auto Save Period in sec");
    EXPECT_EQ(problems[1].text, "Sound OFF by Shake");
    EXPECT_EQ(problems[1].other, "Switch");
    EXPECT_EQ(problems[2].text, "Server Address");
    EXPECT_EQ(problems[2].other, "http://zenet");
    EXPECT_NE(LayoutCheck::report(problems).find("\"Server Address\" and \"http://zenet\" are drawn over each other"),
              std::string::npos);
}

TEST(LayoutCheck, FindsMissingPicturesAndBlankControls) {
    View root(Rect{0, 0, 320, 200});
    auto missing = std::make_shared<ImageView>(Image::named("no-such-picture"));
    missing->setFrame({10, 10, 30, 30});
    root.addSubview(missing);
    auto drawn = std::make_shared<ImageView>(Image::withPixels(PixelImage(4, 4), "drawn"));
    drawn->setFrame({50, 10, 30, 30});
    root.addSubview(drawn);
    root.addSubview(std::make_shared<Control>(Rect{10, 60, 100, 40}));  // draws nothing at all
    auto tinted = std::make_shared<Control>(Rect{10, 110, 100, 40});
    tinted->setBackgroundColor(Color::red());
    root.addSubview(tinted);

    const auto problems = LayoutCheck::run(root);
    ASSERT_EQ(kinds(problems), (std::vector<Kind>{Kind::ImageMissing, Kind::DrawsNothing})) << LayoutCheck::report(problems);
    EXPECT_EQ(problems[0].text, "no-such-picture");
}

TEST(LayoutCheck, OnlyTheModalOverlayIsJudgedOverTheScreen) {
    View root(Rect{0, 0, 320, 200});
    root.setBackgroundColor(Color::white());
    root.addSubview(label("Behind", {15, 0, 100, 44}));
    root.addSubview(label("Behind too", {15, 0, 100, 44}));
    auto sheet = std::make_shared<Sheet>(Rect{0, 0, 320, 200});
    sheet->setBackgroundColor(Color::black().withAlpha(0.4));  // dims the screen beneath
    sheet->addSubview(label("Cancel", {15, 100, 100, 44}));
    sheet->addSubview(label("OK", {40, 100, 100, 44}));
    root.addSubview(sheet);

    const auto problems = LayoutCheck::run(root);
    ASSERT_EQ(kinds(problems), std::vector<Kind>{Kind::TextsOverlap}) << LayoutCheck::report(problems);
    EXPECT_EQ(problems[0].text, "Cancel");
}

// A red badge with a white mark in its middle.
ImagePtr badgePicture() {
    PixelImage pixels(20, 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool mark = x >= 6 && x < 14 && y >= 6 && y < 14;
            pixels.words()[static_cast<std::size_t>(y * 20 + x)] = mark ? 0xFFFFFFFFu : 0xFFFF0000u;
        }
    }
    return Image::withPixels(std::move(pixels), "badge");
}

TEST(LayoutCheck, NamesEveryDefectAPersonSees) {
    View root(Rect{0, 0, 320, 480});
    root.setBackgroundColor(Color::white());
    // A sheet that leaves the screen beneath it undimmed, holding one defect a row.
    auto sheet = std::make_shared<Sheet>(Rect{0, 0, 320, 480});
    root.addSubview(sheet);
    auto add = [&](const std::shared_ptr<View>& v) { sheet->addSubview(v); };
    add(std::make_shared<ClippedCaption>(Rect{15, 10, 60, 30}, "0:01:00"));
    add(std::make_shared<Caption>(Rect{250, 50, 70, 30}, "Waypoints:"));
    auto tiny = label("Tracks:", {15, 90, 200, 30});
    tiny->setFont(Font::system(8));
    add(tiny);
    auto faint = label("Add photo", {15, 130, 200, 30});
    faint->setTextColor(Color::rgba(0.85, 0.85, 0.85));
    add(faint);
    auto badge = std::make_shared<ImageView>(badgePicture());
    badge->setFrame({15, 170, 40, 40});
    add(badge);
    add(label("10", {25, 175, 30, 30}));
    auto edge = std::make_shared<View>(Rect{290, 230, 60, 30});
    edge->setBackgroundColor(Color::black());
    add(edge);
    add(label("0.10 µSv/h", {0, 270, 120, 30}));

    const auto problems = LayoutCheck::run(root);
    struct Expected {
        Kind kind;
        std::string text;   // the text or view named
        std::string words;  // in the description
    };
    const std::vector<Expected> expected = {
        {Kind::TextClipped, "0:01:00", "\"0:01:00\" is cut off by its View without an ellipsis"},
        {Kind::TextClipped, "Waypoints:", "\"Waypoints:\" is cut off by the screen edge"},
        {Kind::ViewOffScreen, "", "View lies partly off the screen"},
        {Kind::TextTooSmall, "Tracks:", "\"Tracks:\" is drawn at 8 pt, below the smallest readable size of 9 pt"},
        {Kind::LowContrast, "Add photo", "\"Add photo\" has a contrast of 1.4:1 against what is beneath it"},
        {Kind::TextOverPicture, "10", "\"10\" is drawn over the picture \"badge\""},
        {Kind::NoBackdrop, "", "the modal View leaves the screen beneath it without a backdrop"},
        {Kind::TextAtEdge, "0.10 µSv/h", "\"0.10 µSv/h\" touches the edge of the screen"},
    };
    const std::string report = LayoutCheck::report(problems);
    for (const auto& e : expected) {
        const bool found = std::any_of(problems.begin(), problems.end(), [&](const LayoutProblem& p) {
            return p.kind == e.kind && p.text == e.text && p.description().find(e.words) != std::string::npos;
        });
        EXPECT_TRUE(found) << e.words << "\nnot in:\n" << report;
    }
    // Each defect is named once, and nothing else is.
    EXPECT_EQ(problems.size(), expected.size()) << report;
}

TEST(LayoutCheck, NamesCharactersDrawnWithoutAGlyph) {
    View root(Rect{0, 0, 320, 200});
    root.setBackgroundColor(Color::white());
    // A private-use and an unassigned character: no face has them.
    root.addSubview(label("Ridge \uE000 \u0378", {15, 0, 280, 44}));
    // Names in the scripts the faces cover are whole.
    root.addSubview(label("\u05e9\u05dc\u05d5\u05dd \u0633\u0644\u0627\u0645 \u0e44\u0e17\u0e22", {15, 50, 280, 44}));
    root.addSubview(label("\u0928\u0908 \uc11c\uc6b8 \U00020BB7 \U0001F600", {15, 100, 280, 44}));
    const auto problems = LayoutCheck::run(root);
    ASSERT_EQ(kinds(problems), std::vector<Kind>{Kind::GlyphMissing}) << LayoutCheck::report(problems);
    EXPECT_NE(problems[0].description().find("\"Ridge \uE000 \u0378\" draws U+E000 U+0378 without a glyph"), std::string::npos)
        << problems[0].description();
}

TEST(LayoutCheck, ContentBelowAViewsBottomIsNamedWhereNoScrollingReachesIt) {
    View root(Rect{0, 0, 320, 480});
    root.setBackgroundColor(Color::white());
    // A panel that cuts its content at its bottom and cannot scroll: named once, by the first
    // text it hides.
    auto panel = std::make_shared<View>(Rect{0, 0, 320, 100});
    panel->setClipsToBounds(true);
    panel->addSubview(label("Shown", {15, 10, 200, 30}));
    panel->addSubview(label("History", {15, 120, 200, 30}));
    panel->addSubview(label("World Map", {15, 160, 200, 30}));
    root.addSubview(panel);
    // A scroll view whose content reaches as far as it draws: what lies past its edges, below or
    // at the side, or across its bottom, is brought by a finger, and is no fault.
    auto page = std::make_shared<ScrollView>(Rect{0, 100, 320, 200});
    page->setContentSize(Size{480, 400});
    page->addSubview(label("Top", {15, 10, 200, 30}));
    page->addSubview(label("Across the bottom", {15, 185, 200, 30}));
    page->addSubview(label("Further down", {15, 350, 200, 30}));
    page->addSubview(label("Reaches past the side", {250, 40, 200, 30}));
    auto side = label("Ends at the side", {100, 80, 219, 30});
    side->setTextAlignment(TextAlignment::Right);
    page->addSubview(side);
    root.addSubview(page);
    // The same with scrolling off, and content drawn past the content's end: named.
    auto fixed = std::make_shared<ScrollView>(Rect{0, 300, 320, 60});
    fixed->setContentSize(Size{320, 300});
    fixed->setScrollEnabled(false);
    fixed->addSubview(label("Settings", {15, 150, 200, 30}));
    root.addSubview(fixed);
    auto shortPage = std::make_shared<ScrollView>(Rect{0, 360, 320, 60});
    shortPage->setContentSize(Size{320, 100});
    shortPage->addSubview(label("Past the content", {15, 200, 200, 30}));
    root.addSubview(shortPage);
    // And a text below the screen itself.
    root.addSubview(label("Off the bottom", {15, 500, 200, 30}));

    const auto problems = LayoutCheck::run(root);
    const std::string report = LayoutCheck::report(problems);
    const std::vector<std::string> expected = {
        "\"History\" lies past the bottom of its View, where no scrolling reaches it",
        "\"Settings\" lies past the bottom of its ScrollView",
        "\"Past the content\" lies past the bottom of its ScrollView",
        "\"Off the bottom\" lies past the bottom of the screen",
    };
    for (const auto& words : expected) EXPECT_NE(report.find(words), std::string::npos) << words << "\nnot in:\n" << report;
    EXPECT_EQ(kinds(problems), std::vector<Kind>(expected.size(), Kind::ContentPastBottom)) << report;

    // Scrolled to its end, the page still draws cleanly.
    page->setContentOffset(Point{160, 200});
    EXPECT_EQ(kinds(LayoutCheck::run(root)), std::vector<Kind>(expected.size(), Kind::ContentPastBottom));
}

TEST(LayoutCheck, AnAlarmColourTooFaintForItsRowReadsOnceOutlined) {
    View root(Rect{0, 0, 320, 100});
    root.setBackgroundColor(Color::white());
    auto first = label("0.30 µSv/h", {15, 0, 200, 44});
    first->setTextColor(Color::orange());
    auto second = label("1.20 µSv/h", {15, 50, 200, 44});
    root.addSubview(first);
    root.addSubview(second);
    ASSERT_EQ(kinds(LayoutCheck::run(root)), std::vector<Kind>{Kind::LowContrast});

    Readability::colorText(*first, Color::orange(), Color::white(), Color::white());
    Readability::colorText(*second, Color::red(), Color::white(), Color::white());
    EXPECT_EQ(first->shadowColor(), Readability::kOutline);
    EXPECT_EQ(second->shadowColor(), Color::white());  // red reads: the row keeps its own look
    const auto problems = LayoutCheck::run(root);
    EXPECT_TRUE(problems.empty()) << LayoutCheck::report(problems);
}

}  // namespace

namespace {

std::vector<std::string> described(const std::vector<LayoutProblem>& problems) {
    std::vector<std::string> out;
    for (const auto& p : problems) out.push_back(p.description());
    return out;
}

TEST(LayoutCheck, NamesTextsThatRunTogetherOrBreakBadly) {
    View root(Rect{0, 0, 320, 300});
    root.setBackgroundColor(Color::white());
    auto value = label("0.42 µSv/h", {15, 0, 100, 24});
    value->setFont(Font::boldSystem(9));
    root.addSubview(value);
    root.addSubview(label("Max:", {15 + Font::boldSystem(9).widthOf("0.42 µSv/h") + 1, 0, 60, 24}));
    root.addSubview(std::make_shared<Paragraph>(Rect{15, 40, 200, 40}, "Dosisleistungseinstellungen verwenden",
                                                "Dosisleistungseinstellun\ngen verwenden"));
    root.addSubview(std::make_shared<Paragraph>(Rect{15, 90, 200, 40}, "First threshold 0.30 µSv/h",
                                                "First threshold 0.30\nµSv/h"));
    const auto problems = LayoutCheck::run(root);
    EXPECT_EQ(kinds(problems), (std::vector<Kind>{Kind::WordBroken, Kind::UnitBroken, Kind::TextsTouch}))
        << LayoutCheck::report(problems);
    EXPECT_EQ(described(problems), (std::vector<std::string>{
                                       "\"Dosisleistungseinstellun\ngen verwenden\" breaks a word without a hyphen: "
                                       "\"Dosisleistungseinstellun|gen\" (at 15,42 145x25)",
                                       "\"First threshold 0.30\nµSv/h\" parts a number from its unit: \"0.30|µSv/h\" (at 15,92 116x25)",
                                       "\"0.42 µSv/h\" and \"Max:\" touch without a gap of 2 pt (at 68,8 3x8)",
                                   }));

    // The same texts set as they should be: apart, broken at a hyphen or a blank, the number
    // with its unit; Japanese breaks between any two characters.
    View clean(Rect{0, 0, 320, 300});
    clean.setBackgroundColor(Color::white());
    clean.addSubview(label("0.42 µSv/h", {15, 0, 100, 24}));
    clean.addSubview(label("Max:", {15 + Font::boldSystem(17).widthOf("0.42 µSv/h") + 2, 0, 60, 24}));
    clean.addSubview(std::make_shared<Paragraph>(Rect{15, 40, 200, 40}, "Dosisleistungseinstellungen verwenden",
                                                 "Dosisleistungs-\neinstellungen verwenden"));
    clean.addSubview(std::make_shared<Paragraph>(Rect{15, 90, 200, 40}, "Track-Wegpunkte teilen", "Track-\nWegpunkte teilen"));
    clean.addSubview(std::make_shared<Paragraph>(Rect{15, 140, 200, 40}, "First threshold 0.30 µSv/h",
                                                 "First threshold\n0.30 µSv/h"));
    clean.addSubview(std::make_shared<Paragraph>(Rect{15, 190, 200, 40}, "線量率設定を使用しますか？", "線量率設定を使用\nしますか？"));
    const auto fine = LayoutCheck::run(clean);
    EXPECT_TRUE(fine.empty()) << LayoutCheck::report(fine);
}

TEST(LayoutCheck, AUnitBrokenAtItsSlashIsNamedAndALineEndOfTheTextIsNot) {
    View root(Rect{0, 0, 320, 200});
    root.setBackgroundColor(Color::white());
    root.addSubview(std::make_shared<Paragraph>(Rect{15, 10, 200, 40}, "Dec 7, 2026 0.10 µSv/h", "Dec 7, 2026 0.10 µSv/\nh"));
    // The text's own line end after a count: "Skipped: 0" is no number of the next line's unit.
    root.addSubview(std::make_shared<Paragraph>(Rect{15, 60, 200, 40}, "Imported: 12\nSkipped: 0", "Imported: 12\nSkipped: 0"));
    root.addSubview(std::make_shared<Paragraph>(Rect{15, 110, 200, 40}, "Imported: 12\r\nSkipped: 0", "Imported: 12\nSkipped: 0"));
    const auto problems = LayoutCheck::run(root);
    ASSERT_EQ(kinds(problems), std::vector<Kind>{Kind::UnitBroken}) << LayoutCheck::report(problems);
    EXPECT_NE(problems[0].description().find("\"µSv/|h\""), std::string::npos) << problems[0].description();
}

// A label too narrow for its text ends it with an ellipsis: fine for words and names, never
// inside a figure's number, which would then read as another.
TEST(LayoutCheck, ANumberCutShortByAnEllipsisIsNamedAndACutWordIsNot) {
    View root(Rect{0, 0, 320, 300});
    root.setBackgroundColor(Color::white());
    // Each text in a label as wide as the start of it that should show before the ellipsis.
    const std::pair<const char*, const char*> texts[] = {
        {"00:30:00", "00:3"}, {"07.12.2026 09:00", "07.12.2026 0"}, {"1,234.5", "1,2"},  // inside the number
        {"Accumulation:", "Accu"}, {"Track 12", "Track"}, {"0.10 µSv/h", "0.10 µS"},     // at a word or the unit
        {"Monday, 7 December 2026", "Monday, 7 December 20"},                          // a name: its end may go
    };
    double y = 0;
    for (const auto& [text, shown] : texts) {
        const double width = Font::boldSystem(17).widthOf(std::string(shown) + "\u2026") + 0.5;
        root.addSubview(label(text, {15, y, width, 24}));
        y += 40;
    }
    const auto problems = LayoutCheck::run(root);
    std::vector<std::string> cut;
    for (const auto& p : problems) {
        if (p.kind == Kind::FigureCut) cut.push_back(p.other);
    }
    EXPECT_EQ(cut, (std::vector<std::string>{"00:30:00", "09:00", "1,234.5"})) << LayoutCheck::report(problems);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems[0].description().find("cuts the number \"00:30:00\" short"), std::string::npos)
        << problems[0].description();
}

TEST(LayoutCheck, RowsOfOneKindShowTheirTextsAtOneSize) {
    auto rows = std::make_shared<SizedRows>();
    rows->rows = {{"Exceeding the first threshold", 15}, {"Exceeding the second threshold", 13.5}, {"Distance", 15}};
    View root(Rect{0, 0, 320, 300});
    auto table = std::make_shared<TableView>(Rect{0, 0, 320, 300});
    table->setDataSource(rows);
    root.addSubview(table);
    const auto problems = LayoutCheck::run(root);
    EXPECT_EQ(described(problems), std::vector<std::string>{"\"Exceeding the second threshold\" is drawn at 13.5 pt, smaller than "
                                                            "\"Distance\" in a row of the same kind (at 15,57 217x12)"})
        << LayoutCheck::report(problems);

    // Labels that shrink to their width shrink alike: the longest title sets the size of all.
    rows->rows = {{"Exceeding the first threshold", 0}, {"Exceeding the second threshold by far", 0}, {"Distance", 0}};
    table->reloadData();
    const auto fine = LayoutCheck::run(root);
    EXPECT_TRUE(fine.empty()) << LayoutCheck::report(fine);
    DrawingContext ctx;
    table->cellForRow({0, 2})->textLabel().drawRect(ctx, table->cellForRow({0, 2})->textLabel().bounds());
    const auto drawn = ctx.commandsOf(DrawOp::DrawText);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_LT(drawn[0].font.size, 17);
}

}  // namespace

// A bubble shown for a touch, holding a caption.
class Bubble : public View {
public:
    using View::View;
    bool isPopUp() const override { return true; }
};

TEST(LayoutCheck, APopUpUnderABarOrCutByItsMapIsNamed) {
    View root(Rect{0, 0, 320, 480});
    root.setBackgroundColor(Color::white());
    // A map below a bar, clipping what it holds; one bubble rises under the bar, one past the
    // map's own top, one stands clear.
    auto map = std::make_shared<View>(Rect{0, 44, 320, 436});
    map->setClipsToBounds(true);
    root.addSubview(map);
    auto overlay = std::make_shared<View>(Rect{0, 0, 320, 480});  // draws over the map, as pins do
    root.addSubview(overlay);
    auto underBar = std::make_shared<Bubble>(Rect{20, 30, 200, 44});
    underBar->setBackgroundColor(Color::white());
    underBar->addSubview(label("0.45 µSv/h Bridge", {8, 4, 180, 20}));
    overlay->addSubview(underBar);
    auto cut = std::make_shared<Bubble>(Rect{20, -10, 200, 44});
    cut->setBackgroundColor(Color::white());
    cut->addSubview(label("0.12 µSv/h Quay", {8, 4, 180, 20}));
    map->addSubview(cut);
    auto clear = std::make_shared<Bubble>(Rect{20, 200, 200, 44});
    clear->setBackgroundColor(Color::white());
    clear->addSubview(label("0.30 µSv/h Park", {8, 4, 180, 20}));
    map->addSubview(clear);
    auto bar = std::make_shared<View>(Rect{0, 0, 320, 44});
    bar->setBackgroundColor(Color::rgba(0.1, 0.1, 0.1));
    root.addSubview(bar);

    const auto problems = LayoutCheck::run(root);
    const std::string report = LayoutCheck::report(problems);
    std::vector<std::string> popUps;
    for (const auto& p : problems) {
        if (p.kind == Kind::PopUpHidden) popUps.push_back(p.description());
    }
    ASSERT_EQ(popUps.size(), 2u) << report;
    EXPECT_NE(report.find("the View \"0.45 µSv/h Bridge\" is drawn under a View"), std::string::npos) << report;
    EXPECT_NE(report.find("the View \"0.12 µSv/h Quay\" is cut by its View"), std::string::npos) << report;
}
