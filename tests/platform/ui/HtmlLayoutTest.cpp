#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/foundation/HtmlDocument.h"
#include "platform/foundation/HtmlText.h"
#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/HtmlLayout.h"
#include "platform/ui/Label.h"

namespace {

using namespace plat;

std::string described(const std::string& html) {
    DescriptionWriter out;
    HtmlLayout::describe(HtmlDocument::parse(html), out);
    return out.text();
}

const HtmlLayout::Text& textOf(const HtmlLayout& layout, const std::string& text) {
    auto it = std::find_if(layout.texts().begin(), layout.texts().end(),
                           [&](const HtmlLayout::Text& t) { return t.text == text; });
    if (it == layout.texts().end()) throw std::runtime_error("no text " + text);
    return *it;
}

// How deep the document's elements nest.
std::size_t depthOf(const HtmlNode& document) {
    std::size_t depth = 0, deepest = 0;
    HtmlDocument::walk(
        document,
        [&](const HtmlNode& node) {
            if (!node.isText()) deepest = std::max(deepest, ++depth);
        },
        [&](const HtmlNode&) { --depth; });
    return deepest;
}

std::string repeated(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

// How many lines the text takes where it is set.
std::size_t linesOf(const HtmlLayout::Text& t) {
    Label label(Rect{}, t.text);
    label.setFont(t.font);
    label.setNumberOfLines(0);
    return label.layoutLines(t.frame.width()).size();
}

TEST(HtmlLayout, LooseMarkupIsReadAsABrowserReadsIt) {
    // Cells, rows and paragraphs left open close where the next starts; the head shows nothing;
    // an attribute may follow a quoted value without a blank; a stray end tag is ignored.
    const std::string html =
        "<html><head><meta content=\"text/html\"http-equiv=\"content-type\"><title>Report</title></head><body>"
        "<h1></h1><h2>Waypoints:</h2></span><table border=1><tr><th>Name<th>Dose rate<tr><td>Bridge &amp; river"
        "<td>0.12 µSv/h</table><p>One<p>Two<br>lines<table><tr><td><h3>Inner</h3><table><tr><td>a<td>b</table>"
        "</table><ul><li>first<li>second</ul></body></html>";
    EXPECT_EQ(described(html),
              "Heading \"Waypoints:\"\n"
              "Table\n"
              "  Row \"Name\" \"Dose rate\"\n"
              "  Row \"Bridge & river\" \"0.12 µSv/h\"\n"
              "Text \"One\"\n"
              "Text \"Two\\nlines\"\n"
              "Table\n"
              "  Row\n"
              "    Heading \"Inner\"\n"
              "    Table\n"
              "      Row \"a\" \"b\"\n"
              "Text \"• first\"\n"
              "Text \"• second\"\n");
    const HtmlNode doc = HtmlDocument::parse(html);
    ASSERT_FALSE(doc.children.empty());
    EXPECT_EQ(doc.children.front().tag, "html");
}

TEST(HtmlLayout, TablesHaveColumnsBordersAndPaddingAsTheirMarkupSays) {
    // A full-width bordered table: every cell framed in grey, the table too, columns shared by
    // their cells, header cells bold and centred, other cells left.
    const HtmlLayout grid(HtmlDocument::parse("<table border=\"1\" cellpadding=\"2\" cellspacing=\"0\" width=\"100%\">"
                                              "<tr><th>Name</th><th>Dose rate</th></tr>"
                                              "<tr><td>Bridge</td><td>0.12 µSv/h</td></tr>"
                                              "<tr><td colspan=\"2\">Whole row</td></tr></table>"),
                          320);
    EXPECT_EQ(grid.fills().size(), 4u + 4u * 5u);
    const auto& frame = grid.fills()[grid.fills().size() - 4];  // the table's own frame comes last
    EXPECT_EQ(frame.rect.x(), HtmlLayout::kMargin);
    EXPECT_EQ(frame.rect.width(), 320 - 2 * HtmlLayout::kMargin);
    const double right = std::max_element(grid.fills().begin(), grid.fills().end(), [](const auto& a, const auto& b) {
                             return a.rect.maxX() < b.rect.maxX();
                         })->rect.maxX();
    EXPECT_EQ(right, 320 - HtmlLayout::kMargin);
    const auto& name = textOf(grid, "Name");
    const auto& bridge = textOf(grid, "Bridge");
    EXPECT_TRUE(name.font.isBold());
    EXPECT_EQ(name.alignment, TextAlignment::Center);
    EXPECT_FALSE(bridge.font.isBold());
    EXPECT_EQ(bridge.alignment, TextAlignment::Left);
    EXPECT_EQ(name.frame.x(), bridge.frame.x());
    EXPECT_EQ(name.frame.width(), bridge.frame.width());
    EXPECT_GT(textOf(grid, "Whole row").frame.width(), name.frame.width() + textOf(grid, "Dose rate").frame.width());
    EXPECT_LT(bridge.frame.maxY(), textOf(grid, "Whole row").frame.y());

    // A frame given by a style: two points of black around the table, none around its cells.
    const HtmlLayout framed(HtmlDocument::parse("<table style=\"border:2px solid black; margin-bottom:20px;\">"
                                                "<tr><td>Day</td></tr></table><p>After</p>"),
                            320);
    ASSERT_EQ(framed.fills().size(), 4u);
    EXPECT_EQ(framed.fills()[0].rect.height(), 2);
    EXPECT_EQ(framed.fills()[0].color, Color::black());
    EXPECT_GE(textOf(framed, "After").frame.y() - framed.fills()[1].rect.maxY(), 20);
}

TEST(HtmlLayout, ATableTooWideForThePageWidensItAndKeepsUnitsWithTheirValues) {
    std::string row = "<tr>";
    for (int i = 0; i < 6; ++i) row += "<td>0.12 µSv/h</td>";
    row += "<td>6.54 мкЗв/ч</td><td>2026年12月7日 09:01:00</td>";
    const HtmlLayout wide(HtmlDocument::parse("<table border=1 width=\"100%\"><tr><th>名前</th>" + row.substr(4) +
                                              "</tr></table><p>Below the table the text wraps at the page's width.</p>"),
                          320);
    EXPECT_GT(wide.size().width, 320);
    for (const auto& t : wide.texts()) {
        if (t.text.find("Sv") != std::string::npos || t.text.find("Зв") != std::string::npos) {
            EXPECT_EQ(linesOf(t), 1u) << t.text;
        }
    }
    EXPECT_EQ(linesOf(textOf(wide, "名前")), 1u);
    EXPECT_EQ(linesOf(textOf(wide, "2026年12月7日 09:01:00")), 2u);
    const auto& below = textOf(wide, "Below the table the text wraps at the page's width.");
    EXPECT_LE(below.frame.maxX(), 320 - HtmlLayout::kMargin);

    // A page of paragraphs is as high as its text, and as wide as the view.
    const HtmlLayout text(HtmlDocument::parse("<h1>Help</h1><p>" + std::string(200, 'x').replace(50, 1, " ") + "</p>"), 200);
    EXPECT_EQ(text.size().width, 200);
    EXPECT_EQ(text.size().height, std::ceil(text.texts().back().frame.maxY() + HtmlLayout::kMargin));
}

TEST(HtmlLayout, MarkupNestedBeyondTheLimitIsFlattenedWithItsTextKept) {
    // Pages as deep as a hostile server makes them, of each kind of element that nests: the
    // document stops nesting at the limit, the text inside and after the nest is read, laid out
    // and described, and the tree goes away without running out of stack.
    struct Case {
        const char* open;
        const char* close;
    };
    const Case cases[] = {{"<div>", "</div>"},
                          {"<b>", "</b>"},
                          {"<blockquote>", "</blockquote>"},
                          {"<ul><li>", "</li></ul>"},
                          {"<table><tr><td>", "</td></tr></table>"}};
    // Each nest starts at every offset from the limit its elements repeat at.
    for (const auto& c : cases) {
        for (int offset = 0; offset < 3; ++offset) {
            const std::string html = "<h1>Top</h1>" + repeated("<div>", static_cast<std::size_t>(offset)) +
                                     repeated(c.open, 5000) + "inside" + repeated(c.close, 5000) + "<p>After the nest</p>";
            const std::string what = std::string(c.open) + " after " + std::to_string(offset);
            const HtmlNode doc = HtmlDocument::parse(html);
            EXPECT_LE(depthOf(doc), HtmlDocument::kMaxDepth) << what;
            const std::string text = HtmlText::plainText(doc);
            EXPECT_EQ(text.substr(0, 3), "Top") << what;
            EXPECT_NE(text.find("inside"), std::string::npos) << what;
            EXPECT_EQ(text.substr(text.size() - 14), "After the nest") << what;
            const HtmlLayout page(doc, 320);
            ASSERT_FALSE(page.texts().empty()) << what;
            EXPECT_TRUE(std::any_of(page.texts().begin(), page.texts().end(),
                                    [](const auto& t) { return t.text.find("inside") != std::string::npos; }))
                << what;
            EXPECT_EQ(page.texts().back().text, "After the nest") << what;
            DescriptionWriter out;
            HtmlLayout::describe(doc, out);
            EXPECT_NE(out.text().find("inside"), std::string::npos) << what;
        }
    }

    // Up to the limit elements nest as written (in the html and body elements); those at the
    // limit are kept empty where they start, and what they hold follows them, in order.
    const HtmlNode doc =
        HtmlDocument::parse(repeated("<div>", HtmlDocument::kMaxDepth - 3) + "<p>held <i>too</i></p>");
    EXPECT_EQ(depthOf(doc), HtmlDocument::kMaxDepth);
    const HtmlNode* deepest = &doc;
    while (!deepest->children.empty() && deepest->children.front().tag != "p") deepest = &deepest->children.front();
    ASSERT_EQ(deepest->children.size(), 4u);
    EXPECT_EQ(deepest->children[0].tag, "p");
    EXPECT_TRUE(deepest->children[0].children.empty());
    EXPECT_EQ(deepest->children[1].text, "held ");
    EXPECT_EQ(deepest->children[2].tag, "i");
    EXPECT_TRUE(deepest->children[2].children.empty());
    EXPECT_EQ(deepest->children[3].text, "too");
    EXPECT_EQ(HtmlText::lines(repeated("<div>", 300) + "<p>held <i>too</i></p>"), "held too");
    // An element that holds only its text (a text area, a title) is kept empty at the limit too.
    const HtmlNode area =
        HtmlDocument::parse(repeated("<div>", HtmlDocument::kMaxDepth - 3) + "<textarea>typed</textarea>");
    std::size_t depth = 0;
    bool heldAtLimit = false;
    HtmlDocument::walk(
        area,
        [&](const HtmlNode& node) {
            if (!node.isText() && ++depth == HtmlDocument::kMaxDepth) heldAtLimit |= !node.children.empty();
        },
        [&](const HtmlNode&) { --depth; });
    EXPECT_FALSE(heldAtLimit);
    EXPECT_EQ(HtmlText::plainText(area), "typed");
}

TEST(HtmlLayout, CaptionsTextBesideCellsAndBlocksInCellsAreDrawnAndListedAsDrawn) {
    // Text written between a table's rows stands above the table, its caption above its frame,
    // a cell's paragraphs and list items in the cell; `show` lists each and the page's text
    // reads them, in the order drawn.
    const std::string html = "<table border=1><caption>Readings</caption>Loose<tr><td><div><p>In a cell</p><ul>"
                             "<li>item</ul></div></td><td>b</td></tr></table><p>After</p>";
    const HtmlLayout page(HtmlDocument::parse(html), 320);
    std::vector<std::string> drawn;
    for (const auto& t : page.texts()) drawn.push_back(t.text);
    EXPECT_EQ(drawn, (std::vector<std::string>{"Loose", "Readings", "In a cell", "\u2022 item", "b", "After"}));
    EXPECT_EQ(page.text(), "Loose Readings In a cell \u2022 item b After");
    EXPECT_EQ(described(html),
              "Text \"Loose\"\n"
              "Table\n"
              "  Text \"Readings\"\n"
              "  Row \"In a cell\\n\u2022 item\" \"b\"\n"
              "Text \"After\"\n");
    const auto& frame = page.fills()[page.fills().size() - 4];  // the table's own frame comes last
    EXPECT_LE(textOf(page, "Readings").frame.maxY(), frame.rect.y());
    EXPECT_LE(textOf(page, "Loose").frame.maxY(), textOf(page, "Readings").frame.y());
    EXPECT_GE(textOf(page, "After").frame.y(), frame.rect.y() + page.fills()[page.fills().size() - 2].rect.height());
}

TEST(HtmlLayout, NumbersInMarkupAreBoundedBeforeUse) {
    // A cell spanning ten billion columns spans the most a cell may; lengths past any page are
    // bounded, and those that are no length at all are left at their defaults.
    const HtmlLayout page(HtmlDocument::parse("<table border=1e300 cellpadding=1e300 cellspacing=-4 width=1e309>"
                                              "<tr><td colspan=1e10>Across</td></tr>"
                                              "<tr><td colspan=nan>left</td><td colspan=-1e10>right</td></tr></table>"
                                              "<table style=\"border: 1e308px; margin-bottom: 1e308px\"><tr><td>x"),
                          320);
    EXPECT_TRUE(std::isfinite(page.size().width));
    EXPECT_TRUE(std::isfinite(page.size().height));
    EXPECT_LT(page.size().width, 1e6);
    EXPECT_LT(page.size().height, 1e6);
    for (const auto& f : page.fills()) {
        EXPECT_TRUE(std::isfinite(f.rect.x()) && std::isfinite(f.rect.width()) && f.rect.width() >= 0);
        EXPECT_TRUE(std::isfinite(f.rect.y()) && std::isfinite(f.rect.height()) && f.rect.height() >= 0);
    }
    const auto& across = textOf(page, "Across");
    EXPECT_GE(across.frame.maxX(), textOf(page, "right").frame.maxX());
    EXPECT_LT(textOf(page, "left").frame.maxX(), textOf(page, "right").frame.x());
}

}  // namespace
