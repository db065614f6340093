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

void store(const std::vector<RadResponderPending::Survey>& surveys) {
    plat::UserDefaults::StringList lines;
    for (const auto& s : surveys) lines.push_back(s.text());
    auto& defaults = plat::UserDefaults::standard();
    if (lines.empty()) {
        defaults.remove(RadResponderPending::kPreferencesKey);
    } else {
        defaults.setStringList(RadResponderPending::kPreferencesKey, std::move(lines));
    }
    if (!defaults.synchronize()) plat::Log::line("RadResponder: the readings not yet sent could not be written");
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

bool RadResponderPending::keep(const Survey& survey) {
    auto surveys = all();
    if (std::find(surveys.begin(), surveys.end(), survey) != surveys.end()) return false;
    surveys.push_back(survey);
    store(surveys);
    return true;
}

void RadResponderPending::drop(const Survey& survey) {
    auto surveys = all();
    const auto before = surveys.size();
    std::erase(surveys, survey);
    if (surveys.size() != before) store(surveys);
}

}  // namespace qx
