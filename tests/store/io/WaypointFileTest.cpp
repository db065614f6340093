#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "WaypointSamples.h"
#include "platform/foundation/FileUtil.h"
#include "store/io/WaypointFile.h"

TEST(WaypointFileTest, ExportsOfTheSameSecondGetTheirOwnFilesAndReadBackByExtension) {
    qxtest::TempDir dir;
    const auto folder = dir.path() / "Documents";
    const auto records = qxtest::sampleRecords();
    const plat::Date when(1796637600);
    const auto csv = qx::WaypointFile::writeNew(records, qx::WaypointFormat::CSV, folder, when);
    const auto csv2 = qx::WaypointFile::writeNew({records[0]}, qx::WaypointFormat::CSV, folder, when);
    const auto gpx = qx::WaypointFile::writeNew(records, qx::WaypointFormat::GPX, folder, when);
    ASSERT_TRUE(csv && csv2 && gpx);
    EXPECT_NE(*csv, *csv2);
    EXPECT_EQ(csv->extension(), ".csv");
    EXPECT_EQ(gpx->extension(), ".gpx");
    EXPECT_EQ(qx::WaypointFile::read(*csv).records.size(), 4u);
    EXPECT_EQ(qx::WaypointFile::read(*csv2).records.size(), 1u);

    const auto upper = folder / "COPY.GPX";
    std::filesystem::copy_file(*gpx, upper);
    EXPECT_EQ(qx::WaypointFile::read(upper).records, qxtest::withPosition(records));

    // Only the files themselves are left behind, no temporary ones.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++files;
    EXPECT_EQ(files, 4u);
}

TEST(WaypointFileTest, OtherFilesAndUnwritableFoldersAreRefused) {
    qxtest::TempDir dir;
    plat::file::writeAtomically(dir.path() / "notes.txt", "date\n2026-12-07T10:00:00Z\n");
    EXPECT_FALSE(qx::WaypointFile::read(dir.path() / "notes.txt").readable);
    EXPECT_FALSE(qx::WaypointFile::formatFromNumber(3).has_value());

    plat::file::writeAtomically(dir.path() / "plain", "a file where a folder should be");
    std::string error;
    EXPECT_FALSE(qx::WaypointFile::writeNew({}, qx::WaypointFormat::CSV, dir.path() / "plain", plat::Date(), &error));
    EXPECT_FALSE(error.empty());
}
