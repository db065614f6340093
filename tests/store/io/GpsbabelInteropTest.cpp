#include <gtest/gtest.h>

#include <csv.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "TestEnvironment.h"
#include "WaypointSamples.h"
#include "platform/foundation/FileUtil.h"
#include "store/io/CsvWaypointWriter.h"
#include "store/io/FieldText.h"
#include "store/io/GpxWaypointWriter.h"

// Another program must read our files as we meant them: here an independent converter turns
// them into its own CSV, which is compared with what we wrote.

namespace {

using Table = std::vector<std::vector<std::string>>;

bool haveConverter() { return std::system("command -v gpsbabel >/dev/null 2>&1") == 0; }

Table parseCsv(const std::string& text) {
    struct Collect {
        Table rows{1};
    } collect;
    csv_parser parser{};
    csv_init(&parser, 0);
    const auto onField = [](void* s, std::size_t n, void* data) {
        static_cast<Collect*>(data)->rows.back().emplace_back(static_cast<const char*>(s), n);
    };
    const auto onRow = [](int, void* data) { static_cast<Collect*>(data)->rows.emplace_back(); };
    csv_parse(&parser, text.data(), text.size(), onField, onRow, &collect);
    csv_fini(&parser, onField, onRow, &collect);
    csv_free(&parser);
    collect.rows.pop_back();
    return collect.rows;
}

// Converts `input` (of the converter's format `format`) to its universal CSV with UTC times.
Table convert(const std::filesystem::path& input, const std::string& format) {
    const auto output = input.parent_path() / "converted.csv";
    const std::string command = "gpsbabel -i " + format + " -f '" + input.string() + "' -o unicsv,utc=0 -F '" +
                                output.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return parseCsv(plat::file::read(output).value_or(""));
}

std::size_t column(const Table& table, const std::string& name) {
    const auto& header = table.at(0);
    const auto it = std::find(header.begin(), header.end(), name);
    EXPECT_NE(it, header.end()) << name;
    return static_cast<std::size_t>(it - header.begin());
}

void expectSameWaypoints(const Table& table, const std::vector<qx::WaypointRecord>& ours) {
    ASSERT_EQ(table.size(), ours.size() + 1);
    const std::size_t lat = column(table, "Latitude"), lon = column(table, "Longitude"), alt = column(table, "Altitude"),
                      name = column(table, "Name"), date = column(table, "Date"), time = column(table, "Time");
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const auto& row = table[i + 1];
        const auto& r = ours[i];
        SCOPED_TRACE(r.name);
        EXPECT_NEAR(*qx::FieldText::parseNumber(row.at(lat)), *r.latitude, 1e-6);
        EXPECT_NEAR(*qx::FieldText::parseNumber(row.at(lon)), *r.longitude, 1e-6);
        if (r.altitude) {
            EXPECT_NEAR(qx::FieldText::parseNumber(row.at(alt)).value_or(1e9), *r.altitude, 0.05);
        } else {
            EXPECT_EQ(row.at(alt), "");
        }
        EXPECT_EQ(row.at(name), r.name);
        std::string when = row.at(date) + "T" + row.at(time) + "Z";
        std::replace(when.begin(), when.end(), '/', '-');
        EXPECT_EQ(qx::FieldText::parseDateTime(when), r.date) << when;
    }
}

// The converter reads and writes its CSV a line at a time and trims names, so names here keep
// to one line without blanks at the ends.
std::vector<qx::WaypointRecord> oneLineSamples() {
    auto records = qxtest::withPosition(qxtest::sampleRecords());
    for (auto& r : records) {
        std::replace(r.name.begin(), r.name.end(), '\n', ' ');
        r.name = std::string(qx::FieldText::trim(r.name));
    }
    return records;
}

}  // namespace

TEST(GpsbabelInteropTest, ConverterReadsOurGpxWaypointsAsWritten) {
    if (!haveConverter()) GTEST_SKIP() << "gpsbabel is not installed";
    qxtest::TempDir dir;
    const auto records = oneLineSamples();
    const auto file = dir.path() / "waypoints.gpx";
    ASSERT_TRUE(plat::file::writeAtomically(file, qx::GpxWaypointWriter::write(records)));
    expectSameWaypoints(convert(file, "gpx"), records);
}

TEST(GpsbabelInteropTest, ConverterReadsOurCsvWaypointsAsWritten) {
    if (!haveConverter()) GTEST_SKIP() << "gpsbabel is not installed";
    qxtest::TempDir dir;
    const auto records = oneLineSamples();
    const auto file = dir.path() / "waypoints.csv";
    ASSERT_TRUE(plat::file::writeAtomically(file, qx::CsvWaypointWriter::write(records)));
    expectSameWaypoints(convert(file, "unicsv"), records);
}
