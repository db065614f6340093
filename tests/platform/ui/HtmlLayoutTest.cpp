#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/foundation/HtmlDocument.h"
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

}  // namespace
