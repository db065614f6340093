#include <gtest/gtest.h>

#include "CommandLine.h"

using qx::app::parseCommandLine;

TEST(CommandLineTest, ReadsHomeScriptAndFlags) {
    auto r = parseCommandLine({"--home", "/tmp/q", "--script", "s.txt", "--version", "--demo-type=3"});
    ASSERT_TRUE(r.options.has_value()) << r.error;
    EXPECT_EQ(r.options->home, "/tmp/q");
    EXPECT_EQ(r.options->script.value(), "s.txt");
    EXPECT_TRUE(r.options->version);
    EXPECT_EQ(r.options->extra, std::vector<std::string>{"--demo-type=3"});
}

TEST(CommandLineTest, MissingValuesAndStrayArgumentsAreErrors) {
    EXPECT_FALSE(parseCommandLine({"--home"}).options.has_value());
    EXPECT_FALSE(parseCommandLine({"--script", ""}).options.has_value());
    auto r = parseCommandLine({"stray"});
    EXPECT_FALSE(r.options.has_value());
    EXPECT_NE(r.error.find("stray"), std::string::npos);
}
