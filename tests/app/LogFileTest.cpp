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

TEST(LogFileTest, ALinkInPlaceOfTheLogIsReplacedAndWhatItLedToIsLeftAlone) {
    qxtest::TempDir dir;
    const auto notes = dir.path() / "notes.txt";
    const auto folder = dir.path() / "data";
    ASSERT_TRUE(plat::file::writeAtomically(notes, "my notes\n"));
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(notes, folder / qx::app::LogFile::kFileName);
    {
        qx::app::LogFile log;
        std::string error;
        ASSERT_TRUE(log.open(folder, false, error)) << error;
        plat::Log::line("a run");
    }
    EXPECT_EQ(plat::file::read(notes).value_or(""), "my notes\n");
    EXPECT_FALSE(std::filesystem::is_symlink(folder / qx::app::LogFile::kFileName));
    const auto text = plat::file::read(folder / qx::app::LogFile::kFileName).value_or("");
    EXPECT_NE(text.find("was a link"), std::string::npos) << text;
    EXPECT_NE(text.find("a run\n"), std::string::npos) << text;
    plat::Log::setSink({});
}
