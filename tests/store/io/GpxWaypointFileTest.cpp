#include <gtest/gtest.h>

#include <regex>

#include "WaypointSamples.h"
#include "platform/foundation/FileUtil.h"
#include "store/io/GpxWaypointReader.h"
#include "store/io/GpxWaypointWriter.h"

namespace {

std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(QX_SOURCE_DIR) / "tests/store/io/fixtures" / name;
}

}  // namespace

TEST(GpxWaypointFileTest, WrittenFileReadsBackEveryWaypointField) {
    const auto records = qxtest::sampleRecords();
    std::size_t leftOut = 0;
    const std::string text = qx::GpxWaypointWriter::write(records, &leftOut);
    EXPECT_EQ(leftOut, 1u);  // the reading without waypoint has no place in GPX
    const auto result = qx::GpxWaypointReader::read(text);
    ASSERT_TRUE(result.readable) << result.error << " at " << result.errorLine;
    EXPECT_EQ(result.skipped, 0u);
    EXPECT_EQ(result.records, qxtest::withPosition(records));
}

TEST(GpxWaypointFileTest, WaypointChildrenFollowTheSchemaOrderAndTextIsEscaped) {
    const std::string text = qx::GpxWaypointWriter::write(qxtest::sampleRecords());
    const std::regex wpt(R"(<wpt lat="-?[0-9.]+" lon="-?[0-9.]+">\s*(<ele>[^<]*</ele>\s*)?<time>[^<]*Z</time>\s*)"
                         R"((<name>[^<]*</name>\s*)?<extensions>(\s*<qx:[a-zA-Z]+>[^<]*</qx:[a-zA-Z]+>)+\s*</extensions>\s*</wpt>)");
    std::size_t count = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), wpt); it != std::sregex_iterator(); ++it) ++count;
    EXPECT_EQ(count, 3u);
    EXPECT_NE(text.find("<name>Ridge &lt;north&gt; &amp; &quot;quoted&quot;, &apos;single&apos;</name>"),
              std::string::npos);
    EXPECT_NE(text.find("<gpx version=\"1.1\""), std::string::npos);

    qx::WaypointRecord dateLine = qxtest::sampleRecords().front();
    dateLine.longitude = 180;
    EXPECT_NE(qx::GpxWaypointWriter::write({dateLine}).find("lon=\"-180\""), std::string::npos);
}

TEST(GpxWaypointFileTest, TextThatXmlCannotCarryNeverBreaksTheFile) {
    qx::WaypointRecord r = qxtest::sampleRecords().front();
    static constexpr char kName[] = "bell\x07 cr\r tab\t broken\xC3 ok\xE2\x82\xAC lone\xED\xA0\x80";
    r.name = std::string(kName, sizeof kName - 1);
    r.deviceSerial = "a]]>b";
    const auto result = qx::GpxWaypointReader::read(qx::GpxWaypointWriter::write({r}));
    ASSERT_TRUE(result.readable) << result.error;
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.records[0].name, "bell cr\r tab\t broken\xEF\xBF\xBD ok\xE2\x82\xAC lone\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(result.records[0].deviceSerial, "a]]>b");
}

TEST(GpxWaypointFileTest, ForeignFileGivesItsWaypointsAndIgnoresRoutesTracksAndExtras) {
    const auto result = qx::GpxWaypointReader::readFile(fixture("foreign-tool.gpx"));
    ASSERT_TRUE(result.readable) << result.error << " at " << result.errorLine;
    EXPECT_EQ(result.skipped, 0u);
    ASSERT_EQ(result.records.size(), 3u);

    const auto& hut = result.records[0];
    EXPECT_EQ(hut.name, "Summit <hut> & \"view\"");
    EXPECT_DOUBLE_EQ(*hut.latitude, 46.5577);
    EXPECT_DOUBLE_EQ(*hut.longitude, 7.9969);
    EXPECT_DOUBLE_EQ(*hut.altitude, 3466.2);
    EXPECT_EQ(hut.date, plat::Date(1796109330));  // 09:15:30+02:00
    EXPECT_EQ(hut.der, 0);  // another tool's "der" is not our reading

    const auto& bay = result.records[1];
    EXPECT_EQ(bay.name, "Bay 湾 Залив");
    EXPECT_DOUBLE_EQ(*bay.longitude, -122.4194);
    EXPECT_FALSE(bay.altitude.has_value());
    EXPECT_EQ(bay.date, plat::Date(1796254200.5));

    EXPECT_EQ(result.records[2].date, plat::Date(1796277600));  // no zone: UTC
    EXPECT_TRUE(result.records[2].name.empty());
}

TEST(GpxWaypointFileTest, OlderGpxIsReadAndItsBadWaypointsCounted) {
    const auto result = qx::GpxWaypointReader::readFile(fixture("old-logger.gpx"));
    ASSERT_TRUE(result.readable) << result.error;
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_EQ(result.records[0].name, "Bridge");
    EXPECT_EQ(result.records[1].name, "Last");
    EXPECT_EQ(result.skipped, 2u);  // no time; latitude 95
    EXPECT_EQ(result.withoutTime, 1u);
    EXPECT_EQ(result.firstBadLine, 6u);  // the waypoint without a time is not unreadable
}

TEST(GpxWaypointFileTest, BrokenOrForeignDocumentsAreNotTakenAtAll) {
    const std::string good = qx::GpxWaypointWriter::write(qxtest::sampleRecords());
    const std::string truncated = good.substr(0, good.size() / 2);
    std::string mangled = good;
    mangled.replace(mangled.find("</name>"), 7, "</nam>");

    const auto cut = qx::GpxWaypointReader::read(truncated);
    EXPECT_FALSE(cut.readable);
    EXPECT_TRUE(cut.records.empty());
    const auto bad = qx::GpxWaypointReader::read(mangled);
    EXPECT_FALSE(bad.readable);
    EXPECT_EQ(bad.errorLine, 6u);

    const char* others[] = {
        "",
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark/></kml>",
        "<gpx xmlns=\"http://example.org/not-gpx\"><wpt lat=\"1\" lon=\"2\"/></gpx>",
        ("<!DOCTYPE gpx [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
         "<gpx version=\"1.1\"><wpt lat=\"1\" lon=\"2\"><time>2026-12-07T10:00:00Z</time><name>&b;</name></wpt></gpx>"),
    };
    for (const char* text : others) {
        const auto result = qx::GpxWaypointReader::read(text);
        EXPECT_FALSE(result.readable) << text;
        EXPECT_TRUE(result.records.empty()) << text;
    }
}

TEST(GpxWaypointFileTest, HostileSizesAreNeitherGatheredNorKept) {
    const auto waypoint = [](const std::string& name, const std::string& lat = "1") {
        return "<wpt lat=\"" + lat + "\" lon=\"2\"><time>2026-12-07T10:00:00Z</time><name>" + name + "</name></wpt>";
    };
    const std::string open = "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\">", close = "</gpx>";
    const std::string megabyte(std::size_t{1} << 20, 'm');
    // A long name is a name; a field of over 4 MB leaves its waypoint out and the next is read.
    const auto names = qx::GpxWaypointReader::read(open + waypoint(megabyte) + waypoint(std::string(5 << 20, 'x')) +
                                                   waypoint("after") + close);
    ASSERT_TRUE(names.readable);
    ASSERT_EQ(names.records.size(), 2u);
    EXPECT_EQ(names.records[0].name, megabyte);
    EXPECT_EQ(names.records[1].name, "after");
    EXPECT_EQ(names.skipped, 1u);
    // One tag of 17 MB is not held until it ends: the file is not taken.
    const auto tag = qx::GpxWaypointReader::read(open + waypoint("a", std::string(17 << 20, '1')) + close);
    EXPECT_FALSE(tag.readable);
    EXPECT_EQ(tag.error, "The file is not a GPX file");
}

TEST(GpxWaypointFileTest, FeedingInTinyPiecesReadsTheSameAsAtOnce) {
    const std::string text = *plat::file::read(fixture("foreign-tool.gpx"));
    qx::GpxWaypointReader reader;
    for (std::size_t i = 0; i < text.size(); i += 7) reader.feed(std::string_view(text).substr(i, 7));
    const auto pieces = reader.finish();
    const auto whole = qx::GpxWaypointReader::read(text);
    ASSERT_TRUE(pieces.readable);
    EXPECT_EQ(pieces.records, whole.records);
}

namespace {

std::string gpxDeclared(const std::string& encoding, const std::string& name) {
    return "<?xml version=\"1.0\" encoding=\"" + encoding +
           "\"?>\n<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
           "<wpt lat=\"1\" lon=\"2\"><time>2026-12-07T10:00:00Z</time><name>" + name + "</name></wpt>\n</gpx>\n";
}

}  // namespace

// The declared encoding is honoured, as XML has it; one that cannot be read is named.
TEST(GpxWaypointFileTest, TheDeclaredEncodingIsHonouredOrRefusedByName) {
    const struct {
        std::string encoding, bytes, name;
    } cases[] = {
        {"ISO-8859-1", "Caf\xE9", "Café"},
        {"iso-8859-1", "M\xFCller", "Müller"},
        {"US-ASCII", "plain", "plain"},
        {"UTF-8", "Café", "Café"},
        {"windows-1252", "\x93" "Caf\xE9\x94 \x80", "“Café” €"},
        {"ISO-8859-15", "\xA4", "€"},
        {"windows-1251", "\xCC\xEE\xF1\xEA\xE2\xE0", "Москва"},
        {"KOI8-R", "\xED\xCF\xD3\xCB\xD7\xC1", "Москва"},
        {"utf8", "Café 🙂", "Café 🙂"},
    };
    for (const auto& c : cases) {
        const auto result = qx::GpxWaypointReader::read(gpxDeclared(c.encoding, c.bytes));
        ASSERT_TRUE(result.readable) << c.encoding << ": " << result.error;
        ASSERT_EQ(result.records.size(), 1u) << c.encoding;
        EXPECT_EQ(result.records[0].name, c.name) << c.encoding;
    }
    // UTF-16 with its mark, as a phone app writes it.
    std::string utf16 = "\xFF\xFE";
    for (const char16_t unit : std::u16string(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                              u"<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
                                              u"<wpt lat=\"1\" lon=\"2\"><time>2026-12-07T10:00:00Z</time>"
                                              u"<name>Красная 紅場</name></wpt></gpx>")) {
        utf16 += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    const auto wide = qx::GpxWaypointReader::read(utf16);
    ASSERT_EQ(wide.records.size(), 1u) << wide.error;
    EXPECT_EQ(wide.records[0].name, "Красная 紅場");

    for (const std::string encoding : {"Shift_JIS", "no-such-encoding", "UTF-7"}) {
        const auto refused = qx::GpxWaypointReader::read(gpxDeclared(encoding, "x"));
        EXPECT_FALSE(refused.readable) << encoding;
        EXPECT_EQ(refused.error, "The file's encoding \"%@\" cannot be read") << encoding;
        EXPECT_EQ(refused.errorName, encoding);
    }
    // Undeclared bytes that are not UTF-8 are not well-formed XML, as XML requires.
    EXPECT_EQ(qx::GpxWaypointReader::read(gpxDeclared("UTF-8", "Caf\xE9")).error, "The file is not well-formed XML");
}

// An empty optional field leaves its value out; a waypoint without a time is counted apart
// from the unreadable ones.
TEST(GpxWaypointFileTest, EmptyFieldsAreLeftOutAndWaypointsWithoutTimeCountedApart) {
    const std::string text = R"(<gpx version="1.1" xmlns="http://www.topografix.com/GPX/1/1"
        xmlns:qx="http://quorix.example/gpx/1">
      <wpt lat="1" lon="2"><ele></ele><time>2026-12-07T10:00:00Z</time><name></name>
        <extensions><qx:der> </qx:der><qx:deviceType></qx:deviceType></extensions></wpt>
      <wpt lat="1" lon="2"><ele>12.5</ele><time>2026-12-07T11:00:00Z</time></wpt>
      <wpt lat="1" lon="2"><time></time><name>empty time</name></wpt>
      <wpt lat="1" lon="2"><name>no time</name></wpt>
      <wpt lat="1" lon="2"><ele>high</ele><time>2026-12-07T12:00:00Z</time></wpt>
      <wpt lat="1" lon="2"><time>yesterday</time></wpt>
    </gpx>)";
    const auto result = qx::GpxWaypointReader::read(text);
    ASSERT_TRUE(result.readable) << result.error;
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_FALSE(result.records[0].altitude.has_value());
    EXPECT_EQ(result.records[0].der, 0);
    EXPECT_EQ(result.records[1].altitude, 12.5);
    EXPECT_EQ(result.skipped, 4u);
    EXPECT_EQ(result.withoutTime, 2u);
    EXPECT_EQ(result.firstBadLine, 8u);  // the unreadable elevation, not the waypoints without time
}
