#include "services/RadResponderWire.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <set>

#include "platform/foundation/Log.h"
#include "platform/foundation/URLText.h"
#include "platform/foundation/Utf8Text.h"
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

std::string textField(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string{};
}

// An id written as a whole number or as the text of one.
std::optional<std::int64_t> eventId(const nlohmann::json& object) {
    const auto it = object.find("id");
    if (it == object.end()) return std::nullopt;
    if (it->is_number_integer()) return it->get<std::int64_t>();
    if (it->is_string()) {
        const std::string text = it->get<std::string>();
        std::int64_t value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) return value;
    }
    return std::nullopt;
}

// Length of the UTF-8 sequence at `p` (1 to 4), 0 when the bytes there are no character.
std::size_t characterLength(std::string_view s, std::size_t p) {
    const auto b = static_cast<unsigned char>(s[p]);
    const std::size_t len = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                            : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (len == 0 || p + len > s.size()) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((static_cast<unsigned char>(s[p + i]) & 0xC0u) != 0x80u) return 0;
    }
    return len;
}

}  // namespace

// A reply is JSON and so UTF-8: a stray byte (a name pasted from another encoding) is replaced,
// where the parser would refuse the whole reply for it.
std::optional<RadResponderWire::Tokens> RadResponderWire::readTokens(std::string_view body) {
    const auto reply = nlohmann::json::parse(plat::Utf8Text::valid(body), nullptr, false);
    if (!reply.is_object()) return std::nullopt;
    Tokens tokens{textField(reply, "access_token"), textField(reply, "refresh_token"), textField(reply, "token_type")};
    if (tokens.accessToken.empty()) return std::nullopt;
    return tokens;
}

std::optional<std::vector<std::pair<std::int64_t, std::string>>> RadResponderWire::readEvents(std::string_view body) {
    const auto reply = nlohmann::json::parse(plat::Utf8Text::valid(body), nullptr, false);
    if (!reply.is_array()) return std::nullopt;
    std::vector<std::pair<std::int64_t, std::string>> events;
    for (const auto& event : reply) {
        if (!event.is_object()) continue;
        const auto id = eventId(event);
        const std::string name = textField(event, "name");
        if (!id || name.empty()) continue;  // nothing to list it by
        const std::string sponsor = textField(event, "sponsorName");
        events.emplace_back(*id, sponsor.empty() ? name : name + " (" + sponsor + ")");
    }
    return events;
}

std::string RadResponderWire::loggedBody(std::string_view body) {
    std::string out;
    for (std::size_t p = 0; p < body.size();) {
        const std::size_t len = characterLength(body, p);
        if (out.size() + std::max<std::size_t>(len, 1) > kLoggedBodySize) break;
        const bool control = len == 1 && static_cast<unsigned char>(body[p]) < 0x20 && body[p] != '\n' && body[p] != '\t';
        if (len == 0 || control) {
            out += '?';
            ++p;
            continue;
        }
        out.append(body.substr(p, len));
        p += len;
    }
    return out;
}

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
                                      : loggedBody(response.body)));
    plat::Log::line("VNRadResponderManager code: " + std::to_string(response.status));
}

}  // namespace qx
