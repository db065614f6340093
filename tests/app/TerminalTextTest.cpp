#include <gtest/gtest.h>

#include "TerminalText.h"

using qx::app::TerminalText;

// Orders to the terminal in a name are shown as escapes; the text around them, line breaks,
// tabs and every other character (UTF-8 included) stay as they are.
TEST(TerminalTextTest, ControlCharactersAreShownEscaped) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"Quay\x1b[2J", "Quay\\e[2J"},
        {"\x1b]0;title\x07 end", "\\e]0;title\\x07 end"},
        {"a\rb\x7f" "c", "a\\x0db\\x7fc"},
        {"CSI \xc2\x9b" "2J", "CSI \\u009b2J"},
        {"Row\n\tµSv/h \xc2\xa0 \xe2\x9b\x94", "Row\n\tµSv/h \xc2\xa0 \xe2\x9b\x94"},
        {"cut \xc2", "cut \xc2"},
    };
    for (const auto& c : cases) EXPECT_EQ(TerminalText::printable(c.text), c.shown) << c.shown;
}
