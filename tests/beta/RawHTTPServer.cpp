#include "RawHTTPServer.h"

#include <sys/socket.h>

#include <cstdlib>

#include "LoopbackListener.h"

namespace bbtest {

namespace {

constexpr auto kLifetime = std::chrono::seconds(120);

std::size_t contentLength(const std::string& head) {
    const std::string field = "\r\nContent-Length: ";
    const auto at = head.find(field);
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + field.size(), nullptr, 10);
}

}  // namespace

RawHTTPServer::RawHTTPServer() {
    listenFD_ = listenOnLoopback(&port_);
    thread_ = std::thread([this] { serve(); });
}

RawHTTPServer::~RawHTTPServer() {
    stop_ = true;
    thread_.join();
    ::close(listenFD_);
}

void RawHTTPServer::enqueue(Reply reply) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(reply));
}

std::vector<std::string> RawHTTPServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool RawHTTPServer::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

std::string RawHTTPServer::head(const std::string& request) {
    const auto end = request.find("\r\n\r\n");
    return end == std::string::npos ? request : request.substr(0, end + 4);
}

std::string RawHTTPServer::body(const std::string& request) {
    const auto end = request.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : request.substr(end + 4);
}

void RawHTTPServer::serve() {
    acceptConnections(listenFD_, stop_, kLifetime, 10, [this](int client) { handle(client); });
}

void RawHTTPServer::handle(int client) {
    std::string request;
    char chunk[4096];
    for (;;) {
        const auto headEnd = request.find("\r\n\r\n");
        if (headEnd != std::string::npos && request.size() >= headEnd + 4 + contentLength(request.substr(0, headEnd + 2))) {
            break;
        }
        const ssize_t got = ::recv(client, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        request.append(chunk, static_cast<std::size_t>(got));
    }
    Reply reply{"HTTP/1.1 200 OK\r\n\r\n", true};
    {
        std::lock_guard lock(mutex_);
        if (!script_.empty()) {
            reply = std::move(script_.front());
            script_.pop_front();
        }
        requests_.push_back(request);
    }
    changed_.notify_all();
    ::send(client, reply.bytes.data(), reply.bytes.size(), MSG_NOSIGNAL);
    if (!reply.closeAfter) {
        while (!stop_ && ::recv(client, chunk, sizeof chunk, 0) > 0) {
        }
    }
}

}  // namespace bbtest
