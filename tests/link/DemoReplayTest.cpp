#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "link/DemoReplay.h"
#include "platform/foundation/FileUtil.h"

using qx::DemoReplay;

TEST(DemoReplayTest, ReadsRowsAndReportsBadOnesWithTheirLine) {
    qxtest::LogCapture log;
    const std::string text =
        "offset,der,dose,lat,lon,alt,speed\n"   // 1 header
        "0,0.12,5.0,47.1,8.5,410,1.2\n"         // 2
        "\n"                                    // 3 empty: skipped quietly
        "5,abc,5.1,47.1,8.5,410,1.2\n"          // 4 bad dose rate
        "10,0.2,,47.1,8.5,411,\n"               // 5 no dose, no speed
        "12,0.2,5.2,95,8.5,411,1\n"             // 6 latitude out of range
        "8,0.3,5.3,47.1,8.5,411,1\n"            // 7 goes back in time
        "15,0.3,5.3,47.1,8.5\n"                 // 8 too few fields
        "20,-1,5.4,47.1,8.5,411,1\n"            // 9 negative dose rate
        "\"25\",0.4,5.5,,,,\r\n";               // 10 quoted offset, no fix, CRLF
    std::vector<DemoReplay::BadRow> bad;
    std::string error;
    auto replay = DemoReplay::parse(text, &bad, &error);
    ASSERT_TRUE(replay) << error;
    EXPECT_EQ(replay->rowCount(), 3u);

    std::vector<std::size_t> lines;
    for (const auto& b : bad) lines.push_back(b.line);
    EXPECT_EQ(lines, (std::vector<std::size_t>{4, 6, 7, 8, 9}));
    EXPECT_EQ(log.count("row skipped"), 5u);
    EXPECT_TRUE(log.contains("line 7: time offset does not follow"));

    const auto s1 = replay->sample(1);
    EXPECT_EQ(s1.offset, 10);
    EXPECT_FALSE(s1.dose.has_value());
    ASSERT_TRUE(s1.fix);
    EXPECT_EQ(s1.fix->altitude, 411);
    EXPECT_LT(s1.fix->speed, 0);
    const auto s2 = replay->sample(2);
    EXPECT_EQ(s2.der, 0.4);
    EXPECT_FALSE(s2.fix.has_value());
}

TEST(DemoReplayTest, PlaysRoundAfterRoundWithStrictlyGrowingOffsets) {
    auto replay = DemoReplay::parse("0,0.1,1,,,,\n2,0.2,2,,,,\n6,0.3,3,,,,\n", nullptr, nullptr);
    ASSERT_TRUE(replay);
    EXPECT_EQ(replay->period(), 10);  // last offset plus the last gap
    EXPECT_EQ(replay->sample(3).offset, 10);
    EXPECT_EQ(replay->sample(5).offset, 16);
    EXPECT_EQ(replay->sample(5).der, 0.3);

    auto single = DemoReplay::parse("3,0.5,,,,,\n", nullptr, nullptr);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->sample(1).offset, 7);

    // A row far in the future, or one a hair after the row before, would make the rows of a later
    // round share one time: such rows are refused and the rest keeps growing.
    std::vector<DemoReplay::BadRow> bad;
    auto odd = DemoReplay::parse("0,0.1,,,,,\n10,0.1,,,,,\n10.0001,0.1,,,,,\n4" + std::string(114, '4') + ",0.1,,,,,\n",
                                 &bad, nullptr);
    ASSERT_TRUE(odd);
    ASSERT_EQ(bad.size(), 2u);
    EXPECT_EQ(bad[0].line, 3u);
    EXPECT_EQ(bad[1].reason, "time offset is more than 31 years");
    double last = -1;
    for (std::size_t i = 0; i < 3 * odd->rowCount(); ++i) {
        EXPECT_GT(odd->sample(i).offset, last) << i;
        last = odd->sample(i).offset;
    }
}

TEST(DemoReplayTest, FileWithoutPlayableRowsOrMissingFails) {
    std::string error;
    std::vector<DemoReplay::BadRow> bad;
    EXPECT_FALSE(DemoReplay::parse("time,der\nx,y,z\n", &bad, &error));
    EXPECT_EQ(error, "no playable row");
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(bad[0].line, 2u);
    EXPECT_FALSE(DemoReplay::parse("", nullptr, &error));

    qxtest::TempDir dir;
    EXPECT_FALSE(DemoReplay::load(dir.path() / "missing.csv", nullptr, &error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
    plat::file::writeAtomically(dir.path() / "walk.csv", "0,0.1,,1,2,3,4\n1,nan,,1,2,3,4\n1e400,1,,,,,\n");
    bad.clear();
    auto replay = DemoReplay::load(dir.path() / "walk.csv", &bad, &error);
    ASSERT_TRUE(replay);
    EXPECT_EQ(bad.size(), 2u);  // not-a-number and an overflowing offset
}
