// Every screen the program can reach, in every language, is drawn without texts outside their
// views or over each other, without images that have no picture and without blank controls.
// The walk is tests/app/walks/screens.qx: driver commands with English texts, run once per
// language with each text put through the language table as the step runs, so the same walk
// reaches the same screens whatever the language. "$LANG" stands for the walk's language
// code; a line that begins with "@CODE " runs only in that language. Add a screen there with
// the steps that open it, a `check-layout` and the steps back.

#include <gtest/gtest.h>

#include <fstream>

#include "CommandParser.h"
#include "HostFixture.h"
#include "model/Language.h"

namespace {

std::string quotedWord(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The line with each text in the current language; numbers, paths and "#N" are kept.
std::string localised(const qx::app::ParsedCommand& command, const std::string& language) {
    std::string line = command.name;
    for (const auto& word : command.args) {
        if (word.separator) {
            line += " >";
            continue;
        }
        line += " " + quotedWord(qx::Language::get(word.text == "$LANG" ? language : word.text));
        if (word.index > 0) line += "#" + std::to_string(word.index);
    }
    return line;
}

class ScreenLooks : public qxtest::HostTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ScreenLooks, EveryReachableScreenIsDrawnCleanly) {
    qx::LinkOptions link;
    link.demoDeviceType = 2;
    launch(link);
    const std::string language = GetParam();

    std::ifstream walk(QX_SOURCE_DIR "/tests/app/walks/screens.qx");
    ASSERT_TRUE(walk) << "cannot read the walk";
    std::string line;
    int number = 0, checks = 0;
    while (std::getline(walk, line)) {
        ++number;
        if (line.starts_with("@")) {
            const auto blank = line.find(' ');
            if (line.substr(1, blank - 1) != language) continue;
            line = line.substr(blank + 1);
        }
        qx::app::ParsedCommand command;
        std::string error;
        ASSERT_TRUE(qx::app::parseCommand(line, command, error)) << "screens.qx:" << number << ": " << error;
        if (command.empty()) continue;
        if (command.name == "check-layout") ++checks;
        const std::string step = localised(command, language);
        auto outcome = run(step);
        // A step that does not reach its screen makes every later step meaningless.
        ASSERT_TRUE(outcome.ok || command.name == "check-layout")
            << "screens.qx:" << number << ": " << step << "\n" << outcome.text;
        EXPECT_TRUE(outcome.ok) << "screens.qx:" << number << ": " << outcome.text;
    }
    EXPECT_GT(checks, 10);
}

INSTANTIATE_TEST_SUITE_P(Languages, ScreenLooks, ::testing::Values("en", "ja", "zh-Hans", "ru", "fr", "de"),
                         [](const ::testing::TestParamInfo<const char*>& language) {
                             std::string name = language.param;
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
