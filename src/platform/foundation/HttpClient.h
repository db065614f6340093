#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Date.h"

namespace plat {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    HttpHeaders headers;
    std::string body;
    // Seconds the whole exchange may take.
    TimeInterval timeout = 60;
    // Content codings offered in Accept-Encoding ("gzip, deflate"); a reply in one of them is
    // decoded before the caller sees it. Empty: nothing offered, the body stays as it came.
    std::string acceptEncoding;
    // What the exchange is for, in a few words for a person waiting on it ("ZENET login").
    std::string purpose;
};

// Why no complete reply came, in kinds a program can tell a person about in its own words.
enum class HttpFailure {
    none,            // a reply came
    unknownHost,     // the server's name could not be resolved
    cannotConnect,   // nobody took the connection
    timedOut,        // no whole reply within the time allowed
    connectionLost,  // the connection broke off before the reply was whole
    notHttp,         // what came back was no HTTP reply the client accepts (HTTP/0.9, garbage)
    insecure,        // no secure connection could be made (certificate, handshake)
    tooLarge,        // the reply is larger than kMaxBodySize
    other,
};

struct HttpResponse {
    // The HTTP status; 0 when no complete reply came (no connection, time-out, broken body).
    long status = 0;
    HttpHeaders headers;
    std::string body;
    // Why no complete reply came; empty when one did. The transfer library's own words, for
    // the log: a person is told `failure` in the program's words.
    std::string error;
    HttpFailure failure = HttpFailure::none;

    // The first header of that name, whatever its case.
    std::optional<std::string> header(std::string_view name) const;
};

// The one HTTP client of the application. Transfers run on a thread of the client's own, several
// at a time; each completion runs on the main run loop. A transfer counts as background work of
// the main run loop from send() until its completion is queued, so RunLoop::drain() waits for it.
// Only "http" and "https" addresses are fetched; redirects are not followed.
class HttpClient {
public:
    using Completion = std::function<void(const HttpResponse&)>;

    static HttpClient& shared();

    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Starts the exchange and returns at once.
    void send(HttpRequest request, Completion completion);

    // Replies larger than this are cut off and reported as failures.
    static constexpr std::size_t kMaxBodySize = 32u << 20;

private:
    HttpClient();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace plat
