#include "services/HtmlReport.h"

#include <algorithm>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "store/Measurement.h"
#include "store/ReportHtml.h"
#include "store/Set.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

template <class T>
std::vector<std::shared_ptr<T>> ofKind(const std::vector<std::shared_ptr<ManagedObject>>& records) {
    std::vector<std::shared_ptr<T>> out;
    for (const auto& r : records) {
        if (r && r->entity() == T::kEntity) out.push_back(std::static_pointer_cast<T>(r));
    }
    return out;
}

std::string listHeading(const char* text) {
    return "<h2>" + ReportHtml::escape(Language::get(text)) +
           "</h2><table cellpadding=\"0\" cellspacing=\"5\" width=\"100%\" style=\"border:2px solid black; "
           "margin-bottom:20px;\"><tr><td>";
}

}  // namespace

std::string HtmlReport::tableHeaderString(plat::Date date) {
    // The bytes are UTF-8, and so says the document.
    return "<html><head><meta content=\"text/html; charset=UTF-8\" http-equiv=\"content-type\"><title>Report " +
           ReportHtml::escape(DateStrings::dateTimeLongStr(date)) + "</title></head><body>";
}

std::string HtmlReport::tableFooterString() { return "</td></tr></table><br></body></html>"; }

std::string HtmlReport::generateReport(const std::vector<std::shared_ptr<ManagedObject>>& records, plat::Date date) {
    std::string report;
    if (auto sets = ofKind<Set>(records); !sets.empty()) report += generateSetsReport(std::move(sets), date);
    if (auto tracks = ofKind<Track>(records); !tracks.empty()) report += generateTracksReport(tracks, date);
    if (auto points = ofKind<Waypoint>(records); !points.empty()) report += generateWaypointsReport(points, date);
    if (auto readings = ofKind<Measurement>(records); !readings.empty()) {
        report += generateMeasurementsReport(readings, date);
    }
    return report;
}

std::string HtmlReport::generateSetsReport(std::vector<std::shared_ptr<Set>> sets, plat::Date date) {
    std::stable_sort(sets.begin(), sets.end(), [](const auto& a, const auto& b) { return a->date() > b->date(); });
    std::string doc = tableHeaderString(date);
    for (const auto& set : sets) doc += Set::reportTableHeader() + set->reportTable() + Set::reportTableFooter();
    return doc + tableFooterString();
}

std::string HtmlReport::generateTracksReport(const std::vector<std::shared_ptr<Track>>& tracks, plat::Date date) {
    std::string doc = tableHeaderString(date);
    doc += "<h1></h1><table cellpadding=\"0\" cellspacing=\"0\" width=\"100%\"><tr><td><h2>" +
           ReportHtml::escape(Language::get("Tracks:")) + "</h2>";
    for (const auto& track : tracks) doc += Track::trackTableHeader() + track->trackTable() + Track::trackTableFooter();
    return doc + tableFooterString();
}

std::string HtmlReport::generateWaypointsReport(const std::vector<std::shared_ptr<Waypoint>>& waypoints,
                                                plat::Date date) {
    std::string doc = tableHeaderString(date) + listHeading("Waypoints:") + Waypoint::waypointTableHeader();
    for (const auto& waypoint : waypoints) doc += waypoint->waypointTable();
    return doc + Waypoint::waypointTableFooter() + tableFooterString();
}

std::string HtmlReport::generateMeasurementsReport(const std::vector<std::shared_ptr<Measurement>>& measurements,
                                                   plat::Date date) {
    std::string doc = tableHeaderString(date) + listHeading("Measurements:") + Measurement::measurementTableHeader();
    for (const auto& measurement : measurements) doc += measurement->measurementTable();
    return doc + Measurement::measurementTableFooter() + tableFooterString();
}

}  // namespace qx
