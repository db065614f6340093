#pragma once

#include <string>
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

    // Log lines of a request and its reply, with every secret (client secret, code, tokens,
    // the Authorization value) left out.
    static void logRequest(const plat::HttpRequest& request);
    static void logResponse(const plat::HttpResponse& response, bool bodyHoldsSecrets);
};

}  // namespace qx
