#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/HttpClient.h"

namespace qx {

// The texts the radiation-reporting client puts on the wire and into the log.
class RadResponderWire {
public:
    // "a=1&b=2" from pairs in the given order, every key and value form-escaped.
    static std::string formBody(const std::vector<std::pair<std::string, std::string>>& pairs);
    // The field survey of one reading as JSON: the event, the date (UTC, minutes), the
    // coordinate with six decimals as texts, the dose rate in mR/h with three decimals.
    static std::string fieldSurveyBody(unsigned eventId, plat::Date date, double latitude, double longitude,
                                       double doseRateMicroSievertPerHour);
    // "yyyy-MM-dd HH:mm" in UTC.
    static std::string collectionDate(plat::Date date);

    // The token reply's fields; none unless it is a JSON object with an access token (missing
    // or non-text fields read as empty).
    struct Tokens {
        std::string accessToken, refreshToken, tokenType;
    };
    static std::optional<Tokens> readTokens(std::string_view body);
    // The event list's entries as id and display name ("name (sponsor)"), in the reply's order;
    // entries without an id or a name are left out. None unless it is a JSON array.
    static std::optional<std::vector<std::pair<std::int64_t, std::string>>> readEvents(std::string_view body);
    // A reply's body as it may go into the log: at most kLoggedBodySize bytes, cut at a
    // character's start, with control characters and bytes that are not UTF-8 shown as "?".
    static std::string loggedBody(std::string_view body);
    static constexpr std::size_t kLoggedBodySize = 2000;

    // Log lines of a request and its reply, with every secret (client secret, code, tokens,
    // the Authorization value) left out.
    static void logRequest(const plat::HttpRequest& request);
    static void logResponse(const plat::HttpResponse& response, bool bodyHoldsSecrets);
};

}  // namespace qx
