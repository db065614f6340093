#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qxtest {

// One request as the fake server read it off the wire.
struct RecordedRequest {
    std::string method;
    std::string target;  // path and query as sent
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    std::optional<std::string> header(const std::string& name) const;  // any case
    std::string path() const;                                            // the target before "?"
};

// What the fake server does with a request.
struct FakeReply {
    enum class Kind { respond, drop, silence, raw };
    Kind kind = Kind::respond;
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    static FakeReply with(int status, std::string body = {},
                          std::vector<std::pair<std::string, std::string>> headers = {}) {
        return {Kind::respond, status, std::move(headers), std::move(body)};
    }
    // Closes the connection without a word.
    static FakeReply drop() { return {Kind::drop, 0, {}, {}}; }
    // Reads the request and never answers; the connection ends when the client gives up.
    static FakeReply silence() { return {Kind::silence, 0, {}, {}}; }
    // Writes `bytes` as they are, with no status line or headers of its own, and closes.
    static FakeReply raw(std::string bytes) { return {Kind::raw, 0, {}, std::move(bytes)}; }
};

// A plain HTTP server on 127.0.0.1 at a port of its own, for tests of the HTTP client and the
// web-service clients. It answers one connection at a time (HTTP/1.1, one request per
// connection), first from its script, then from its handler, else with an empty 200. Every
// wait is bounded, and it stops by itself a minute after it started even if nobody stops it.
class FakeHttpServer {
public:
    using Handler = std::function<FakeReply(const RecordedRequest&)>;

    FakeHttpServer();
    ~FakeHttpServer();
    FakeHttpServer(const FakeHttpServer&) = delete;
    FakeHttpServer& operator=(const FakeHttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string url(const std::string& path = {}) const;

    void enqueue(FakeReply reply);
    // Called on the server's thread: keep it free of shared state.
    void setHandler(Handler handler);
    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;

private:
    void serve();
    void handle(int fd);
    FakeReply replyFor(const RecordedRequest& request);

    int listenFD_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::deque<FakeReply> script_;
    Handler handler_;
    std::vector<RecordedRequest> requests_;
    std::thread thread_;
};

}  // namespace qxtest
