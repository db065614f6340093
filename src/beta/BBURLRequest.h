#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bb {

// What one upload sends: the address, the method, the header fields the caller chose and the
// body, either held in memory or streamed from a file named by the operation.
struct BBURLRequest {
    // Service classes a request may ask for; uploads run as background traffic.
    enum NetworkServiceType : int { Default = 0, Background = 3 };

    std::string url;
    std::string httpMethod = "GET";
    std::vector<std::pair<std::string, std::string>> headerFields;
    std::string httpBody;
    int networkServiceType = Default;

    // An absolute http or https address with a host.
    static bool isHTTPURL(const std::string& url);

    void setValueForHTTPHeaderField(const std::string& value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
};

// The head of a reply: its status and header fields (names as the server wrote them).
struct BBURLResponse {
    std::string url;
    long statusCode = 0;
    std::vector<std::pair<std::string, std::string>> headerFields;

    bool isSuccess() const { return statusCode >= 200 && statusCode <= 299; }
};

// A failure of the transport, in the URL-loading domain's codes.
struct BBURLError {
    static constexpr const char* kDomain = "BBURLErrorDomain";
    enum Code : long {
        Unknown = -1,
        Cancelled = -999,
        BadURL = -1000,
        TimedOut = -1001,
        UnsupportedURL = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
        HTTPTooManyRedirects = -1007,
        BadServerResponse = -1011,
        NotConnectedToInternet = -1009,
        CallIsActive = -1019,
        RequestBodyStreamExhausted = -1021,
        SecureConnectionFailed = -1200,
        ServerCertificateUntrusted = -1202,
    };

    std::string domain = kDomain;
    long code = Unknown;
    std::string description;
};

}  // namespace bb
