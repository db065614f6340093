#include "FakeHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

namespace qxtest {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kLifetime = std::chrono::seconds(60);
constexpr int kReadLimitMs = 5000;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string trim(const std::string& s) {
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// Reads more bytes into `buffer`; false at the end of the stream, on an error or after the limit.
bool readMore(int fd, std::string& buffer) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kReadLimitMs) <= 0) return false;
    char chunk[4096];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

std::optional<RecordedRequest> readRequest(int fd) {
    std::string buffer;
    std::size_t headerEnd;
    while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (buffer.size() > (1u << 20) || !readMore(fd, buffer)) return std::nullopt;
    }
    RecordedRequest r;
    std::size_t lineStart = 0;
    bool first = true;
    std::size_t contentLength = 0;
    while (lineStart < headerEnd) {
        const auto lineEnd = buffer.find("\r\n", lineStart);
        const std::string line = buffer.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 2;
        if (first) {
            first = false;
            const auto s1 = line.find(' ');
            const auto s2 = line.find(' ', s1 + 1);
            if (s1 == std::string::npos || s2 == std::string::npos) return std::nullopt;
            r.method = line.substr(0, s1);
            r.target = line.substr(s1 + 1, s2 - s1 - 1);
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        r.headers.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
        if (lower(trim(line.substr(0, colon))) == "content-length") {
            contentLength = static_cast<std::size_t>(std::strtoul(trim(line.substr(colon + 1)).c_str(), nullptr, 10));
        }
    }
    const std::size_t bodyStart = headerEnd + 4;
    while (buffer.size() < bodyStart + contentLength) {
        if (!readMore(fd, buffer)) return std::nullopt;
    }
    r.body = buffer.substr(bodyStart, contentLength);
    return r;
}

}  // namespace

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
    for (const auto& [k, v] : headers) {
        if (lower(k) == lower(name)) return v;
    }
    return std::nullopt;
}

std::string RecordedRequest::path() const { return target.substr(0, target.find('?')); }

FakeHttpServer::FakeHttpServer() {
    listenFD_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(listenFD_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listenFD_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFD_, 64) != 0 ||
        ::getsockname(listenFD_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listenFD_);
        listenFD_ = -1;
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

FakeHttpServer::~FakeHttpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFD_ >= 0) ::close(listenFD_);
}

std::string FakeHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void FakeHttpServer::enqueue(FakeReply reply) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(reply));
}

void FakeHttpServer::setHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

std::vector<RecordedRequest> FakeHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t FakeHttpServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void FakeHttpServer::serve() {
    const auto deadline = Clock::now() + kLifetime;
    while (!stop_ && Clock::now() < deadline) {
        pollfd p{listenFD_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listenFD_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        handle(fd);
        ::close(fd);
    }
}

FakeReply FakeHttpServer::replyFor(const RecordedRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (!script_.empty()) {
        FakeReply r = std::move(script_.front());
        script_.pop_front();
        return r;
    }
    if (handler_) return handler_(request);
    return FakeReply::with(200);
}

void FakeHttpServer::handle(int fd) {
    const auto request = readRequest(fd);
    if (!request) return;
    const FakeReply reply = replyFor(*request);
    switch (reply.kind) {
        case FakeReply::Kind::drop:
            return;
        case FakeReply::Kind::silence: {
            // Until the client hangs up, the server stops or its life ends.
            const auto deadline = Clock::now() + kLifetime;
            std::string ignored;
            while (!stop_ && Clock::now() < deadline) {
                pollfd p{fd, POLLIN, 0};
                const int ready = ::poll(&p, 1, 50);
                if (ready < 0) return;
                if (ready > 0) {
                    char chunk[256];
                    if (::recv(fd, chunk, sizeof chunk, 0) <= 0) return;
                }
            }
            return;
        }
        case FakeReply::Kind::raw:
            writeAll(fd, reply.body);
            return;
        case FakeReply::Kind::respond:
            break;
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Status\r\n";
    head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n";
    for (const auto& [k, v] : reply.headers) head += k + ": " + v + "\r\n";
    writeAll(fd, head + "\r\n" + reply.body);
}

}  // namespace qxtest
