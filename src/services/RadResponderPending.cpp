#include "services/RadResponderPending.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

namespace qx {

namespace {

std::optional<RadResponderPending::Survey> parsed(const std::string& line) {
    const auto json = nlohmann::json::parse(line, nullptr, false);
    if (!json.is_object()) return std::nullopt;
    RadResponderPending::Survey s;
    try {
        s.eventId = json.at("eventId").get<unsigned>();
        s.date = plat::Date(json.at("date").get<double>());
        s.latitude = json.at("latitude").get<double>();
        s.longitude = json.at("longitude").get<double>();
        s.doseRate = json.at("doseRate").get<double>();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    if (!std::isfinite(s.doseRate) || !std::isfinite(s.latitude) || !std::isfinite(s.longitude)) return std::nullopt;
    return s;
}

void storeLines(plat::UserDefaults::StringList lines) {
    auto& defaults = plat::UserDefaults::standard();
    if (lines.empty()) {
        defaults.remove(RadResponderPending::kPreferencesKey);
    } else {
        defaults.setStringList(RadResponderPending::kPreferencesKey, std::move(lines));
    }
    if (!defaults.synchronize()) plat::Log::line("RadResponder: the readings not yet sent could not be written");
}

void store(const std::vector<RadResponderPending::Survey>& surveys) {
    plat::UserDefaults::StringList lines;
    for (const auto& s : surveys) lines.push_back(s.text());
    storeLines(std::move(lines));
}

}  // namespace

std::string RadResponderPending::Survey::text() const {
    return nlohmann::json{{"eventId", eventId},
                          {"date", date.timeIntervalSince1970()},
                          {"latitude", latitude},
                          {"longitude", longitude},
                          {"doseRate", doseRate}}
        .dump();
}

std::vector<RadResponderPending::Survey> RadResponderPending::all() {
    std::vector<Survey> surveys;
    for (const auto& line : plat::UserDefaults::standard().stringListForKey(kPreferencesKey)) {
        if (auto s = parsed(line)) {
            surveys.push_back(*s);
        } else {
            plat::Log::line("RadResponder: a kept reading could not be read and is left out");
        }
    }
    return surveys;
}

// Each reading of a failing upload asks to be kept or dropped again: those look for its line
// as text, so that a long list is read whole only when it grows.
bool RadResponderPending::keep(const Survey& survey, std::size_t* dropped) {
    if (dropped) *dropped = 0;
    const auto lines = plat::UserDefaults::standard().stringListForKey(kPreferencesKey);
    if (std::find(lines.begin(), lines.end(), survey.text()) != lines.end()) return false;
    auto surveys = all();
    surveys.push_back(survey);
    std::size_t gone = 0;
    while (surveys.size() > kMostKept) {
        surveys.erase(std::min_element(surveys.begin(), surveys.end(),
                                       [](const Survey& a, const Survey& b) { return a.date < b.date; }));
        ++gone;
    }
    if (gone > 0)
        plat::Log::line("RadResponder: " + std::to_string(gone) + " of the oldest readings not yet sent were dropped; " +
                        std::to_string(kMostKept) + " are kept at most");
    if (dropped) *dropped = gone;
    store(surveys);
    return true;
}

void RadResponderPending::drop(const Survey& survey) {
    auto lines = plat::UserDefaults::standard().stringListForKey(kPreferencesKey);
    if (std::erase(lines, survey.text()) > 0) storeLines(std::move(lines));
}

}  // namespace qx
