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

// Closes the framing table a part of tracks, waypoints or measurements opens with its heading.
constexpr const char* kPartClosing = "</td></tr></table><br>";

std::string listHeading(const char* text) {
    return "<h2>" + ReportHtml::escape(Language::get(text)) +
           "</h2><table cellpadding=\"0\" cellspacing=\"5\" width=\"100%\" style=\"border:2px solid black; "
           "margin-bottom:20px;\"><tr><td>";
}

}  // namespace

std::string HtmlReport::tableHeaderString(plat::Date date) {
    // The bytes are UTF-8, and so says the document.
    std::string title = Language::get("Report %@");
    if (const auto at = title.find("%@"); at != std::string::npos) {
        title.replace(at, 2, DateStrings::dateTimeLongStr(date));
    }
    return "<html><head><meta content=\"text/html; charset=UTF-8\" http-equiv=\"content-type\"><title>" +
           ReportHtml::escape(title) + "</title></head><body>";
}

std::string HtmlReport::tableFooterString() { return "</body></html>"; }

std::string HtmlReport::generateReport(const std::vector<std::shared_ptr<ManagedObject>>& records, plat::Date date) {
    // One document: a mail body is one page, with a part per kind of record on it.
    std::string body;
    if (auto sets = ofKind<Set>(records); !sets.empty()) body += generateSetsReport(std::move(sets));
    if (auto tracks = ofKind<Track>(records); !tracks.empty()) body += generateTracksReport(tracks);
    if (auto points = ofKind<Waypoint>(records); !points.empty()) body += generateWaypointsReport(points);
    if (auto readings = ofKind<Measurement>(records); !readings.empty()) body += generateMeasurementsReport(readings);
    if (body.empty()) return {};
    return tableHeaderString(date) + body + tableFooterString();
}

std::string HtmlReport::generateSetsReport(std::vector<std::shared_ptr<Set>> sets) {
    std::stable_sort(sets.begin(), sets.end(), [](const auto& a, const auto& b) { return a->date() > b->date(); });
    std::string part;
    for (const auto& set : sets) part += Set::reportTableHeader() + set->reportTable() + Set::reportTableFooter();
    return part;
}

std::string HtmlReport::generateTracksReport(const std::vector<std::shared_ptr<Track>>& tracks) {
    std::string part = "<h1></h1><table cellpadding=\"0\" cellspacing=\"0\" width=\"100%\"><tr><td><h2>" +
                       ReportHtml::escape(Language::get("Tracks:")) + "</h2>";
    for (const auto& track : tracks) part += Track::trackTableHeader() + track->trackTable() + Track::trackTableFooter();
    return part + kPartClosing;
}

std::string HtmlReport::generateWaypointsReport(const std::vector<std::shared_ptr<Waypoint>>& waypoints) {
    std::string part = listHeading("Waypoints:") + Waypoint::waypointTableHeader();
    for (const auto& waypoint : waypoints) part += waypoint->waypointTable();
    return part + Waypoint::waypointTableFooter() + kPartClosing;
}

std::string HtmlReport::generateMeasurementsReport(const std::vector<std::shared_ptr<Measurement>>& measurements) {
    std::string part = listHeading("Measurements:") + Measurement::measurementTableHeader();
    for (const auto& measurement : measurements) part += measurement->measurementTable();
    return part + Measurement::measurementTableFooter() + kPartClosing;
}

}  // namespace qx
