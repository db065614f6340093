#include "ServicesTestSupport.h"
#include "model/DateStrings.h"
#include "services/HtmlReport.h"
#include "store/Track.h"

using namespace qx;

namespace qxtest {

namespace {

constexpr double kNoon = 1719835200;  // 2024-07-01 12:00:00 UTC

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

class HtmlReportTest : public ServicesTest {
protected:
    const plat::Date date{kNoon};
};

TEST_F(HtmlReportTest, OnlyWaypointsMakeOneDocument) {
    auto a = addWaypoint(0.1, date, 50.45, 30.52, "Río");
    auto b = addWaypoint(0.2, date.addingTimeInterval(60), 50.46, 30.53, "Москва 日本");
    const std::string report = HtmlReport::generateReport({b, a}, date);
    const std::string expected =
        HtmlReport::tableHeaderString(date) +
        "<h2>Waypoints:</h2><table cellpadding=\"0\" cellspacing=\"5\" width=\"100%\" style=\"border:2px solid black; "
        "margin-bottom:20px;\"><tr><td>" +
        Waypoint::waypointTableHeader() + b->waypointTable() + a->waypointTable() + Waypoint::waypointTableFooter() +
        "</td></tr></table><br>" + HtmlReport::tableFooterString();
    EXPECT_EQ(report, expected);
    EXPECT_NE(report.find("Москва 日本"), std::string::npos);  // UTF-8 bytes as they are
    EXPECT_EQ(HtmlReport::generateReport({}, date), "");
}

TEST_F(HtmlReportTest, TheHeaderDeclaresTheEncodingItUsesAndCarriesTheDate) {
    const std::string header = HtmlReport::tableHeaderString(date);
    EXPECT_EQ(header, "<html><head><meta content=\"text/html; charset=UTF-8\" http-equiv=\"content-type\"><title>Report " +
                          DateStrings::dateTimeLongStr(date) + "</title></head><body>");
}

TEST_F(HtmlReportTest, EveryKindIsAPartOfOneDocumentInAFixedOrder) {
    auto w = addWaypoint(0.1, date);
    auto m = addHistoryReading(0.2, date);
    auto& c = main();
    auto set = c.fetchFirst<Set>(FetchRequest::of<Set>());
    auto track = c.insertNew<Track>();
    track->setDateFrom(date);
    track->setDateTo(date);
    set->addTracksObject(track);
    ASSERT_TRUE(c.save());

    const std::string report = HtmlReport::generateReport({m, w, track, set}, date);
    EXPECT_EQ(occurrences(report, "<html"), 1u);
    EXPECT_EQ(occurrences(report, "</html>"), 1u);
    EXPECT_EQ(report.rfind(HtmlReport::tableHeaderString(date), 0), 0u);
    // Every table the parts open is closed, and nothing else is.
    EXPECT_EQ(occurrences(report, "<table"), occurrences(report, "</table>"));
    const auto setAt = report.find(Set::reportTableHeader());
    const auto trackAt = report.find("<h2>Tracks:</h2>");
    const auto waypointAt = report.find("<h2>Waypoints:</h2>");
    const auto measurementAt = report.find("<h2>Measurements:</h2>");
    ASSERT_NE(measurementAt, std::string::npos);
    EXPECT_LT(setAt, trackAt);
    EXPECT_LT(trackAt, waypointAt);
    EXPECT_LT(waypointAt, measurementAt);
    EXPECT_TRUE(report.ends_with("</td></tr></table><br></body></html>"));
}

TEST_F(HtmlReportTest, DaysComeNewestFirstWhateverTheirOrderInTheList) {
    auto& c = main();
    auto older = c.insertNew<Set>();
    older->setDate(DateStrings::beginningOfDay(date.addingTimeInterval(-86400)));
    older->setName(std::string("older day"));
    auto newer = c.insertNew<Set>();
    newer->setDate(DateStrings::beginningOfDay(date));
    newer->setName(std::string("newer day"));
    ASSERT_TRUE(c.save());
    const std::string report = HtmlReport::generateReport({older, newer}, date);
    EXPECT_EQ(report, HtmlReport::tableHeaderString(date) + Set::reportTableHeader() + newer->reportTable() +
                          Set::reportTableFooter() + Set::reportTableHeader() + older->reportTable() +
                          Set::reportTableFooter() + "</body></html>");
}

TEST_F(HtmlReportTest, HeadingsAndDateFollowTheInterfaceLanguage) {
    settings().setLanguage("ja");
    Language::setCurrentLanguage();
    drain();
    auto w = addWaypoint(0.1, date);
    const std::string report = HtmlReport::generateReport({w}, date);
    EXPECT_NE(report.find("<h2>" + Language::get("Waypoints:") + "</h2>"), std::string::npos);
    EXPECT_NE(Language::get("Waypoints:"), "Waypoints:");
    EXPECT_NE(report.find("<title>レポート " + DateStrings::dateTimeLongStr(date) + "</title>"), std::string::npos);
    EXPECT_NE(DateStrings::dateTimeLongStr(date).find("2024年"), std::string::npos);
}

}  // namespace qxtest
