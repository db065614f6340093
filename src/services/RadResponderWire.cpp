#include "services/RadResponderWire.h"

#include <charconv>
#include <set>

#include "platform/foundation/Log.h"
#include "platform/foundation/URLText.h"
#include "services/UtcDate.h"

namespace qx {

namespace {

std::string fixed(double value, int decimals) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
    return std::string(buffer, end);
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
    const std::string lowered = [&] {
        std::string s = a;
        for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }();
    return lowered == b;
}

// A form body with the values of secret keys hidden.
std::string withoutSecrets(const std::string& body) {
    static const std::set<std::string> secret{"client_secret", "code", "refresh_token", "access_token"};
    std::string out;
    std::size_t start = 0;
    while (start <= body.size()) {
        auto end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        std::string pair = body.substr(start, end - start);
        const auto eq = pair.find('=');
        if (eq != std::string::npos && secret.count(pair.substr(0, eq))) pair = pair.substr(0, eq) + "=(hidden)";
        out += (out.empty() ? "" : "&") + pair;
        start = end + 1;
    }
    return out;
}

}  // namespace

std::string RadResponderWire::formBody(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string out;
    for (const auto& [key, value] : pairs) {
        if (!out.empty()) out += '&';
        out += plat::url::percentEncoded(key) + "=" + plat::url::percentEncoded(value);
    }
    return out;
}

std::string RadResponderWire::collectionDate(plat::Date date) { return utcDateText(date, "%Y-%m-%d %H:%M"); }

std::string RadResponderWire::fieldSurveyBody(unsigned eventId, plat::Date date, double latitude, double longitude,
                                              double doseRateMicroSievertPerHour) {
    // Every piece is a number or a date made here, so nothing needs escaping.
    return "{\"fieldSurveys\":[{\"eventId\":" + std::to_string(eventId) + ",\"collectionDate\":\"" +
           collectionDate(date) + "\",\"address\":null,\"coordinate\":{\"latitude\":\"" + fixed(latitude, 6) +
           "\",\"longitude\":\"" + fixed(longitude, 6) +
           "\"},\"radiationType\":\"gamma\",\"radiationUnit\":\"mR/hr\",\"value\":" +
           fixed(doseRateMicroSievertPerHour / 10, 3) + "}]}";
}

void RadResponderWire::logRequest(const plat::HttpRequest& request) {
    plat::Log::line("VNRadResponderManager request: " + request.url);
    plat::Log::line("VNRadResponderManager request method: " + request.method);
    std::string headers;
    for (const auto& [name, value] : request.headers) {
        const bool secret = equalsIgnoringCase(name, "authorization");
        headers += (headers.empty() ? "" : "; ") + name + ": " +
                   (secret ? value.substr(0, value.find(' ')) + " (hidden)" : value);
    }
    plat::Log::line("VNRadResponderManager request header: " + headers);
    if (!request.body.empty()) {
        const bool form = request.body.front() != '{';
        plat::Log::line("VNRadResponderManager request body: " + (form ? withoutSecrets(request.body) : request.body));
    }
    plat::Log::line("VNRadResponderManager request length: " + std::to_string(request.body.size()));
}

void RadResponderWire::logResponse(const plat::HttpResponse& response, bool bodyHoldsSecrets) {
    plat::Log::line("VNRadResponderManager response: " + std::to_string(response.status));
    if (!response.error.empty()) plat::Log::line("VNRadResponderManager error: " + response.error);
    plat::Log::line("VNRadResponderManager data: " +
                    (bodyHoldsSecrets ? "(" + std::to_string(response.body.size()) + " bytes, not shown)"
                                      : response.body.substr(0, 2000)));
    plat::Log::line("VNRadResponderManager code: " + std::to_string(response.status));
}

}  // namespace qx
