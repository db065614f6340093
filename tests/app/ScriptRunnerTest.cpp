#include <gtest/gtest.h>

#include <sstream>

#include "DriverFixture.h"
#include "ScriptRunner.h"

using qxtest::DriverTest;

TEST_F(DriverTest, ScriptStopsAtTheFirstFailureAndShowsTheScreen) {
    std::istringstream script(
        "# opens nothing\n"
        "\n"
        "expect Welcome\n"
        "expect \"Good bye\"\n"
        "tap Start\n");
    std::ostringstream out, err;
    qx::app::ScriptRunner runner(*driver, out, err);
    EXPECT_EQ(runner.runScript(script, "t.qx"), 1);
    EXPECT_EQ(startTaps, 0);
    const std::string report = err.str();
    EXPECT_NE(report.find("t.qx:4: expect \"Good bye\""), std::string::npos) << report;
    EXPECT_NE(report.find("not on screen"), std::string::npos) << report;
    EXPECT_NE(report.find("screen:\n"), std::string::npos) << report;
    EXPECT_NE(report.find("Label \"Welcome\""), std::string::npos) << report;
}

TEST_F(DriverTest, ScriptRunsToItsEndOrItsQuit) {
    std::istringstream script("tap Start\nshow\nquit\ntap Start\n");
    std::ostringstream out, err;
    qx::app::ScriptRunner runner(*driver, out, err);
    EXPECT_EQ(runner.runScript(script, "t.qx"), 0);
    EXPECT_EQ(startTaps, 1);
    EXPECT_NE(out.str().find("Label \"Welcome\""), std::string::npos);
    EXPECT_TRUE(err.str().empty()) << err.str();

    EXPECT_EQ(runner.runScriptFile(dataDir() / "missing.qx"), 2);
}

TEST_F(DriverTest, InteractiveModeReportsFailuresAndGoesOn) {
    std::istringstream input("tap Nowhere\ntap Start\n");
    std::ostringstream out, err;
    qx::app::ScriptRunner runner(*driver, out, err);
    EXPECT_EQ(runner.runInteractive(input, true), 0);
    EXPECT_EQ(startTaps, 1);
    EXPECT_NE(err.str().find("error: no \"Nowhere\""), std::string::npos) << err.str();
    EXPECT_NE(out.str().find(qx::app::ScriptRunner::kPrompt), std::string::npos);

    // Commands piped in from another program: the failure still lets the rest run, and the exit
    // status tells the caller that something failed.
    std::istringstream piped("tap Nowhere\ntap Start\n"), clean("tap Start\n");
    EXPECT_EQ(runner.runInteractive(piped, false), 1);
    EXPECT_EQ(runner.runInteractive(clean, false), 0);
    EXPECT_EQ(startTaps, 3);
}
