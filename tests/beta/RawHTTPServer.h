#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bbtest {

// A plain-HTTP peer on 127.0.0.1 that takes one connection at a time, reads one request (its head
// and a body of Content-Length bytes), records the request's bytes as they came, and answers
// with the next scripted raw reply ("HTTP/1.1 200 OK\r\n\r\n" once the script is spent). It stops
// by itself after a while even when nobody stops it. Its thread lives in the process that made
// it, so a forked child can post to it.
class RawHTTPServer {
public:
    struct Reply {
        std::string bytes;
        bool closeAfter = true;  // otherwise the connection stays open until the client closes it
    };

    RawHTTPServer();
    ~RawHTTPServer();
    RawHTTPServer(const RawHTTPServer&) = delete;
    RawHTTPServer& operator=(const RawHTTPServer&) = delete;

    int port() const { return port_; }
    void enqueue(Reply reply);
    std::vector<std::string> requests() const;
    bool waitForRequests(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(30)) const;

    // The parts of a recorded request.
    static std::string head(const std::string& request);
    static std::string body(const std::string& request);

private:
    void serve();
    void handle(int client);

    int listenFD_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Reply> script_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace bbtest
