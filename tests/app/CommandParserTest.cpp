#include <gtest/gtest.h>

#include "CommandParser.h"

using qx::app::ElementPath;
using qx::app::parseCommand;
using qx::app::ParsedCommand;
using qx::app::parsePath;

namespace {

ParsedCommand parsed(const std::string& line) {
    ParsedCommand c;
    std::string error;
    EXPECT_TRUE(parseCommand(line, c, error)) << line << ": " << error;
    return c;
}

std::string failure(const std::string& line) {
    ParsedCommand c;
    std::string error;
    EXPECT_FALSE(parseCommand(line, c, error)) << line;
    return error;
}

}  // namespace

TEST(CommandParserTest, QuotesEscapesAndBlanks) {
    auto c = parsed("  tap \"Mode Settings\"\t");
    EXPECT_EQ(c.name, "tap");
    ASSERT_EQ(c.args.size(), 1u);
    EXPECT_EQ(c.args[0].text, "Mode Settings");
    EXPECT_TRUE(c.args[0].quoted);

    c = parsed(R"(type "Say \"hi\"" a\b "")");
    ASSERT_EQ(c.args.size(), 3u);
    EXPECT_EQ(c.args[0].text, "Say \"hi\"");
    EXPECT_EQ(c.args[1].text, "a\\b");  // outside quotes a backslash is plain
    EXPECT_EQ(c.args[2].text, "");
    EXPECT_TRUE(c.args[2].quoted);

    EXPECT_TRUE(parsed("").empty());
    EXPECT_TRUE(parsed("   # tap Start").empty());
    EXPECT_EQ(parsed("show\r").name, "show");  // scripts saved with CRLF
}

TEST(CommandParserTest, IndexSuffixAndSeparators) {
    auto c = parsed(R"(tap Save#2 "Save"#3 "Item #2" a#b "A">B)");
    ASSERT_EQ(c.args.size(), 7u);
    EXPECT_EQ(c.args[0].text, "Save");
    EXPECT_EQ(c.args[0].index, 2);
    EXPECT_EQ(c.args[1].text, "Save");
    EXPECT_EQ(c.args[1].index, 3);
    EXPECT_EQ(c.args[2].text, "Item #2");  // quoted: part of the text
    EXPECT_EQ(c.args[2].index, 0);
    EXPECT_EQ(c.args[3].text, "a#b");
    EXPECT_EQ(c.args[4].text, "A");
    EXPECT_TRUE(c.args[5].separator);
    EXPECT_EQ(c.args[6].text, "B");

    auto quotedArrow = parsed(R"(tap ">")");
    ASSERT_EQ(quotedArrow.args.size(), 1u);
    EXPECT_FALSE(quotedArrow.args[0].separator);
}

TEST(CommandParserTest, MalformedLinesAreRefused) {
    EXPECT_NE(failure("tap \"Start").find("unclosed"), std::string::npos);
    EXPECT_FALSE(failure("\"tap\" Start").empty());
    EXPECT_FALSE(failure("tap Start#0").empty());
    EXPECT_FALSE(failure("tap Start#99999999999999").empty());
    EXPECT_FALSE(failure("> tap").empty());
}

TEST(CommandParserTest, PathsTakeOneTextPerStep) {
    ElementPath path;
    std::string error;
    ASSERT_TRUE(parsePath(parsed(R"(tap "Dose" > Threshold#2)").args, path, error)) << error;
    ASSERT_EQ(path.size(), 2u);
    EXPECT_EQ(path[0].text, "Dose");
    EXPECT_EQ(path[1].text, "Threshold");
    EXPECT_EQ(path[1].index, 2);
    EXPECT_EQ(qx::app::pathText(path), "\"Dose\" > \"Threshold\"#2");

    for (const char* bad : {"tap Mode Settings", "tap > A", "tap A >", "tap A > > B", "tap", "tap \"\""}) {
        EXPECT_FALSE(parsePath(parsed(bad).args, path, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}
