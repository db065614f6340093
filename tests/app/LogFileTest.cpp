#include <gtest/gtest.h>

#include "LogFile.h"
#include "TestEnvironment.h"
#include "platform/foundation/FileUtil.h"

TEST(LogFileTest, LinesGoToTheDataFolderUntilClosedAndEachRunStartsAfresh) {
    qxtest::TempDir dir;
    const auto folder = dir.path() / "data";
    std::vector<std::string> before;
    plat::Log::setSink([&before](const std::string& line) { before.push_back(line); });
    {
        qx::app::LogFile log;
        std::string error;
        ASSERT_TRUE(log.open(folder, false, error)) << error;
        plat::Log::line("first run");
    }
    plat::Log::line("after closing");
    {
        qx::app::LogFile log;
        std::string error;
        ASSERT_TRUE(log.open(folder, false, error)) << error;
        plat::Log::line("second run");
    }
    EXPECT_EQ(plat::file::read(folder / qx::app::LogFile::kFileName).value_or(""), "second run\n");
    EXPECT_EQ(before, std::vector<std::string>{"after closing"});

    // A folder that cannot hold the log leaves the lines where they went.
    plat::file::writeAtomically(dir.path() / "file", "x");
    qx::app::LogFile broken;
    std::string error;
    EXPECT_FALSE(broken.open(dir.path() / "file", false, error));
    EXPECT_NE(error.find("cannot write the log"), std::string::npos);
    plat::Log::line("still here");
    EXPECT_EQ(before.back(), "still here");
    plat::Log::setSink({});
}
