#include <algorithm>

#include "StoreTestSupport.h"

using namespace qx;

namespace qxtest {

class ReportTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        day = makeSet(main(), plat::Date(1800000000));
        day->setName(std::string("Day <1> & \"2\""));
        track = main().insertNew<Track>();
        track->setName(std::string("Río 'Ñ' <track>"));
        track->setDateFrom(plat::Date(1800000000));
        track->setDateTo(plat::Date(1800003725));
        day->addTracksObject(track);
        inTrack = addPoint(main(), day, 0.2, plat::Date(1800000100), "東京 <a href=x>", track);
        loose = addPoint(main(), day, 0.4, plat::Date(1800000200), "Москва & Co");
        loose->setLatitude(51.5);
        loose->setLongitude(-0.1275);
        history = main().insertNew<Measurement>();
        history->setDeviceName(std::string("VN<2450>"));
        history->setDeviceSerial(std::string("\"SN\" & 'x'"));
        history->setDer(0.15);
        day->addMeasurementsObject(history);
        ASSERT_TRUE(main().save());
    }
    static bool hasRawMarkup(const std::string& html, const std::string& text) { return html.find(text) != std::string::npos; }

    std::shared_ptr<Set> day;
    std::shared_ptr<Track> track;
    std::shared_ptr<Waypoint> inTrack, loose;
    std::shared_ptr<Measurement> history;
};

TEST_F(ReportTest, EveryTextInTheTablesIsEscaped) {
    const std::string dayHtml = Set::reportTableHeader() + day->reportTable() + Set::reportTableFooter();
    EXPECT_TRUE(hasRawMarkup(dayHtml, "Day &lt;1&gt; &amp; &quot;2&quot;"));
    EXPECT_TRUE(hasRawMarkup(dayHtml, "Río &#39;Ñ&#39; &lt;track&gt;"));
    EXPECT_TRUE(hasRawMarkup(dayHtml, "東京 &lt;a href=x&gt;"));
    EXPECT_TRUE(hasRawMarkup(dayHtml, "Москва &amp; Co"));
    EXPECT_TRUE(hasRawMarkup(dayHtml, "VN&lt;2450&gt;"));
    EXPECT_TRUE(hasRawMarkup(dayHtml, "&quot;SN&quot; &amp; &#39;x&#39;"));
    for (const char* raw : {"<1>", "<track>", "<a href", "& Co", "<2450>", "\"SN\""})
        EXPECT_FALSE(hasRawMarkup(dayHtml, raw)) << raw;

    const std::string trackHtml = Track::trackTableHeader() + track->trackTable() + Track::trackTableFooter();
    EXPECT_TRUE(hasRawMarkup(trackHtml, "Río &#39;Ñ&#39; &lt;track&gt;"));
    EXPECT_TRUE(hasRawMarkup(trackHtml, "01:02:05"));
    EXPECT_FALSE(hasRawMarkup(trackHtml, "<a href"));

    // The history reading is listed once, under the day's measurements; a point's reading is not.
    const auto countOf = [&](const std::string& text) {
        std::size_t n = 0;
        for (auto p = dayHtml.find(text); p != std::string::npos; p = dayHtml.find(text, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(countOf("VN&lt;2450&gt;"), 1u);
    EXPECT_EQ(countOf(loose->waypointTable()), 1u);
    EXPECT_EQ(countOf(inTrack->waypointTable()), 1u);
}

TEST_F(ReportTest, RowsShowNotAvailableForMissingValuesAndPositions) {
    const std::string row = inTrack->waypointTable();  // taken without a fix
    EXPECT_EQ(std::count(row.begin(), row.end(), '\n'), 0);
    EXPECT_TRUE(hasRawMarkup(row, "<td>n/a</td>"));  // latitude, longitude, altitude and dose
    EXPECT_FALSE(hasRawMarkup(row, "-1"));
    EXPECT_TRUE(hasRawMarkup(loose->waypointTable(), "<td>51.500000</td><td>-0.127500</td>"));
    // A position without a height (a file's waypoint without an elevation) has no altitude.
    loose->setAltitude(Waypoint::kNoFix);
    EXPECT_TRUE(hasRawMarkup(loose->waypointTable(), "<td>-0.127500</td><td>n/a</td></tr>"));
    EXPECT_TRUE(hasRawMarkup(Waypoint::waypointTableHeader(), "<th>Latitude</th>"));
    EXPECT_EQ(Waypoint::waypointTableFooter(), "</table>");
}

// The report shows a dose as the screens do: only for an instrument that measures one. A stored
// dose of any other instrument reads "n/a" in the point, reading, track and day tables alike.
TEST_F(ReportTest, ADoseIsReportedOnlyForAnInstrumentThatMeasuresOne) {
    inTrack->measurement()->setDe(5);
    loose->measurement()->setDe(7);
    history->setDe(6);
    track->setDe(5);
    const struct {
        const char* device;
        bool shown;
    } cases[] = {{"VN2450", true}, {"VN2230RX1", true}, {"VN2560", false}, {"VN2340A", false}, {"", false}};
    for (const auto& c : cases) {
        for (auto* m : {inTrack->measurement().get(), loose->measurement().get(), history.get()})
            m->setDeviceName(*c.device ? std::optional<std::string>(c.device) : std::nullopt);
        ASSERT_TRUE(main().save());
        const std::string point = inTrack->waypointTable(), reading = history->measurementTable();
        const std::string trackRows = track->trackTable(), dayTable = day->reportTable();
        EXPECT_EQ(hasRawMarkup(point, "5.00 µSv"), c.shown) << c.device;
        EXPECT_EQ(hasRawMarkup(reading, "6.00 µSv"), c.shown) << c.device;
        EXPECT_EQ(hasRawMarkup(trackRows, "<td>5.00 µSv</td></tr>"), c.shown) << c.device;
        // The day gathered at least its track's 5, more than its readings' 7 - 5.
        EXPECT_EQ(hasRawMarkup(dayTable, "Dose: 5.00 µSv"), c.shown) << c.device;
        EXPECT_EQ(hasRawMarkup(dayTable, "Dose: n/a"), !c.shown) << c.device;
        EXPECT_EQ(hasRawMarkup(history->description(), "6.00 µSv"), c.shown) << c.device;
    }
}

TEST_F(ReportTest, SocialTextsAreOneLineOrThreeForATrack) {
    for (const std::string& line : {loose->description(), inTrack->description(), history->description()}) {
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        EXPECT_FALSE(line.empty());
    }
    EXPECT_EQ(loose->description().rfind("Москва & Co ", 0), 0u);
    EXPECT_TRUE(hasRawMarkup(loose->description(), "(51.5000, -0.1275)"));
    EXPECT_FALSE(hasRawMarkup(inTrack->description(), "(-1"));
    const std::string t = track->description();
    EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), 2);
    EXPECT_EQ(t.rfind("Río 'Ñ' <track> ", 0), 0u);
    EXPECT_TRUE(hasRawMarkup(t, "(01:02:05)"));
}

}  // namespace qxtest
