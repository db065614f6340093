#include "beta/BBURLRequest.h"

#include <curl/curl.h>
#include <strings.h>

namespace bb {

namespace {
bool sameField(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}
}  // namespace

bool BBURLRequest::isHTTPURL(const std::string& url) {
    CURLU* parsed = curl_url();
    char* scheme = nullptr;
    char* host = nullptr;
    const bool ok = curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
                    curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
                    curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host &&
                    (::strcasecmp(scheme, "http") == 0 || ::strcasecmp(scheme, "https") == 0);
    curl_free(scheme);
    curl_free(host);
    curl_url_cleanup(parsed);
    return ok;
}

void BBURLRequest::setValueForHTTPHeaderField(const std::string& value, const std::string& field) {
    for (auto& [name, existing] : headerFields) {
        if (sameField(name, field)) {
            existing = value;
            return;
        }
    }
    headerFields.emplace_back(field, value);
}

std::optional<std::string> BBURLRequest::valueForHTTPHeaderField(const std::string& field) const {
    for (const auto& [name, value] : headerFields) {
        if (sameField(name, field)) return value;
    }
    return std::nullopt;
}

}  // namespace bb
