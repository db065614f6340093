#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "InstrumentOptions.h"

using qx::app::parseCommandLine;
using qx::app::parseInstrumentOptions;

TEST(CommandLineTest, ReadsHomeScriptAndFlags) {
    auto r = parseCommandLine({"--home", "/tmp/q", "--script", "s.txt", "--version", "--demo-type=3"});
    ASSERT_TRUE(r.options.has_value()) << r.error;
    EXPECT_EQ(r.options->home, "/tmp/q");
    EXPECT_EQ(r.options->script.value(), "s.txt");
    EXPECT_TRUE(r.options->version);
    EXPECT_EQ(r.options->extra, std::vector<std::string>{"--demo-type=3"});
}

TEST(CommandLineTest, StartTimeIsALocalTime) {
    // In Berlin, an hour ahead of UTC in March, whatever zone the test program was started in.
    const char* const zone = std::getenv("TZ");
    const std::optional<std::string> previous = zone ? std::optional<std::string>(zone) : std::nullopt;
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    auto r = parseCommandLine({"--start-time", "2026-03-10T09:00"});
    previous ? ::setenv("TZ", previous->c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
    ASSERT_TRUE(r.options.has_value()) << r.error;
    EXPECT_EQ(r.options->startTime->timeIntervalSince1970(), 1773129600.0);
    EXPECT_FALSE(parseCommandLine({}).options->startTime.has_value());
}

TEST(CommandLineTest, SocialOptionsTakeNoAccountsAndAWebSite) {
    auto r = parseCommandLine({"--no-social-accounts", "--social-web", "http://127.0.0.1:8080/"});
    ASSERT_TRUE(r.options.has_value()) << r.error;
    EXPECT_TRUE(r.options->noSocialAccounts);
    EXPECT_EQ(r.options->socialWeb, "http://127.0.0.1:8080");
    EXPECT_TRUE(r.options->extra.empty());
    EXPECT_FALSE(parseCommandLine({}).options->noSocialAccounts);
}

TEST(CommandLineTest, MissingValuesAndStrayArgumentsAreErrors) {
    EXPECT_FALSE(parseCommandLine({"--social-web"}).options.has_value());
    EXPECT_FALSE(parseCommandLine({"--social-web", "twitter.com"}).options.has_value());
    EXPECT_FALSE(parseCommandLine({"--home"}).options.has_value());
    EXPECT_FALSE(parseCommandLine({"--script", ""}).options.has_value());
    for (const char* time : {"2026-03-10", "2026-13-01T09:00", "2026-03-10T09:00x", "tomorrow"})
        EXPECT_FALSE(parseCommandLine({"--start-time", time}).options.has_value()) << time;
    auto r = parseCommandLine({"stray"});
    EXPECT_FALSE(r.options.has_value());
    EXPECT_NE(r.error.find("stray"), std::string::npos);
}

TEST(CommandLineTest, LaterOptionsTakeTheirValueWithEqualsOrAsTheNextWord) {
    auto r = parseCommandLine({"--demo-type", "4", "--no-demo", "--demo-replay=walk.csv", "--home", "h"});
    ASSERT_TRUE(r.options.has_value()) << r.error;
    EXPECT_EQ(r.options->extra, (std::vector<std::string>{"--demo-type=4", "--no-demo", "--demo-replay=walk.csv"}));
    EXPECT_EQ(r.options->home, "h");
}

TEST(InstrumentOptionsTest, DefaultsConnectTheDemoAndOptionsChangeIt) {
    qx::LinkOptions link;
    std::string error;
    ASSERT_TRUE(parseInstrumentOptions({}, link, error));
    EXPECT_TRUE(link.demo);
    EXPECT_EQ(link.demoDeviceType, 3u);

    ASSERT_TRUE(parseInstrumentOptions({"--demo-type=9", "--demo-replay=walk.csv"}, link, error)) << error;
    EXPECT_EQ(link.demoDeviceType, 9u);
    EXPECT_EQ(link.replayFile.value(), "walk.csv");

    qx::LinkOptions off;
    ASSERT_TRUE(parseInstrumentOptions({"--no-demo"}, off, error)) << error;
    EXPECT_FALSE(off.demo);
}

TEST(InstrumentOptionsTest, BadValuesAndUnknownOptionsAreErrors) {
    const std::vector<std::vector<std::string>> bad{
        {"--demo-type=0"}, {"--demo-type=10"}, {"--demo-type=3x"}, {"--demo-type=-1"}, {"--demo-type"},
        {"--demo-replay"}, {"--demo-replay="}, {"--no-demo=yes"}, {"--demo-speed=2"},
        {"--no-demo", "--demo-type=4"}, {"--demo-replay=walk.csv", "--no-demo"}};
    for (const auto& options : bad) {
        qx::LinkOptions link;
        std::string error;
        EXPECT_FALSE(parseInstrumentOptions(options, link, error)) << options.front();
        EXPECT_FALSE(error.empty());
    }
    qx::LinkOptions link;
    std::string error;
    parseInstrumentOptions({"--demo-speed=2"}, link, error);
    EXPECT_EQ(error, "unknown option --demo-speed");
}
