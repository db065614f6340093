#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bbtest {

// One request as the fake service read it off the wire.
struct RecordedRequest {
    std::string requestLine;
    std::string method;
    std::string target;
    std::string host;  // the Host field
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    std::optional<std::string> header(const std::string& name) const;
    std::vector<std::string> headerNames() const;
};

// What the fake service does with the next request.
struct Reply {
    enum class Kind { Respond, Silence, Drop };
    Kind kind = Kind::Respond;
    int status = 200;
    std::string body;

    static Reply withStatus(int status, std::string body = {}) { return {Kind::Respond, status, std::move(body)}; }
    // Reads the request and never answers; the connection ends when the client gives up.
    static Reply silence() { return {Kind::Silence, 0, {}}; }
    // Reads the request and closes the connection without a word.
    static Reply drop() { return {Kind::Drop, 0, {}}; }
};

// An HTTPS service on 127.0.0.1 with a certificate authority of its own, made for the test run.
// It answers one connection at a time from a script (200 once the script is spent), records each
// request, and stops by itself after a while even when nobody stops it.
class FakeService {
public:
    // `hostName` is the name its certificate is for (also under any one-label prefix).
    explicit FakeService(std::string hostName = "127.0.0.1");
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path) const;
    // The PEM file of the certificate authority that signed the service's certificate.
    const std::string& certificateAuthorityFile() const { return caFile_; }

    void enqueue(Reply reply);
    std::vector<RecordedRequest> requests() const;
    // Waits (a bounded time) until `count` requests have arrived.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(30)) const;
    // Connections that ended, answered or not.
    std::size_t closedConnections() const;
    bool waitForClosedConnections(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(30)) const;

private:
    void serve();
    void handle(int clientFD);
    Reply nextReply();

    std::string hostName_;
    std::string caFile_;
    void* context_ = nullptr;  // SSL_CTX*
    int listenFD_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Reply> script_;
    std::vector<RecordedRequest> requests_;
    std::size_t closed_ = 0;
    std::thread thread_;
};

}  // namespace bbtest
