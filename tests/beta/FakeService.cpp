#include "FakeService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "LoopbackListener.h"
#include "TestCertificates.h"

namespace bbtest {

namespace {

// However a test ends, the service goes quiet after this long.
// Longer than any wait of a test, which only a failing test comes near.
constexpr auto kLifetime = std::chrono::seconds(120);
constexpr int kTickMs = 20;

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

// Reads from the connection until `enough` says so, or the peer closes, or a second passes.
bool readUntil(SSL* ssl, std::string& buffer, const std::function<bool()>& enough) {
    char chunk[16384];
    while (!enough()) {
        const int n = SSL_read(ssl, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

bool parseHead(const std::string& head, RecordedRequest& request) {
    std::size_t lineEnd = head.find("\r\n");
    request.requestLine = head.substr(0, lineEnd);
    const auto firstSpace = request.requestLine.find(' ');
    const auto secondSpace = request.requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
    request.method = request.requestLine.substr(0, firstSpace);
    request.target = request.requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    for (std::size_t at = lineEnd + 2; at < head.size();) {
        const auto end = head.find("\r\n", at);
        const std::string line = head.substr(at, end - at);
        at = end == std::string::npos ? head.size() : end + 2;
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.headers.emplace_back(line.substr(0, colon), value);
    }
    request.host = request.header("Host").value_or("");
    return true;
}

bool readChunked(SSL* ssl, std::string& buffer, std::string& body) {
    for (;;) {
        if (!readUntil(ssl, buffer, [&] { return buffer.find("\r\n") != std::string::npos; })) return false;
        const auto lineEnd = buffer.find("\r\n");
        const std::size_t size = std::strtoul(buffer.c_str(), nullptr, 16);
        buffer.erase(0, lineEnd + 2);
        if (!readUntil(ssl, buffer, [&] { return buffer.size() >= size + 2; })) return false;
        body.append(buffer, 0, size);
        buffer.erase(0, size + 2);
        if (size == 0) return true;
    }
}

bool readRequest(SSL* ssl, RecordedRequest& request) {
    std::string buffer;
    if (!readUntil(ssl, buffer, [&] { return buffer.find("\r\n\r\n") != std::string::npos; })) return false;
    const auto headEnd = buffer.find("\r\n\r\n");
    if (!parseHead(buffer.substr(0, headEnd), request)) return false;
    buffer.erase(0, headEnd + 4);
    if (auto encoding = request.header("Transfer-Encoding"); encoding && sameName(*encoding, "chunked")) {
        return readChunked(ssl, buffer, request.body);
    }
    const std::size_t length = std::strtoul(request.header("Content-Length").value_or("0").c_str(), nullptr, 10);
    if (!readUntil(ssl, buffer, [&] { return buffer.size() >= length; })) return false;
    request.body = buffer.substr(0, length);
    return true;
}

void writeAll(SSL* ssl, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = SSL_write(ssl, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

// Waits, a bounded time, until the client closes its end.
void waitForClientToGiveUp(int fd, const std::atomic<bool>& stop) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char bytes[512];
    while (!stop && std::chrono::steady_clock::now() < until) {
        pollfd waiting{fd, POLLIN, 0};
        // Whatever the client still sends (a closing alert) is read past, unanswered.
        if (::poll(&waiting, 1, kTickMs) > 0 && ::recv(fd, bytes, sizeof bytes, 0) <= 0) return;
    }
}

}  // namespace

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
    for (const auto& [field, value] : headers) {
        if (sameName(field, name)) return value;
    }
    return std::nullopt;
}

std::vector<std::string> RecordedRequest::headerNames() const {
    std::vector<std::string> names;
    for (const auto& entry : headers) names.push_back(entry.first);
    return names;
}

FakeService::FakeService(std::string hostName) : hostName_(std::move(hostName)) {
    const auto& certificates = TestCertificates::forHost(hostName_);
    caFile_ = certificates.caFile;
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(context, static_cast<X509*>(certificates.serverCertificate));
    SSL_CTX_use_PrivateKey(context, static_cast<EVP_PKEY*>(certificates.serverKey));
    context_ = context;

    listenFD_ = listenOnLoopback(&port_);
    thread_ = std::thread([this] { serve(); });
}

FakeService::~FakeService() {
    stop_ = true;
    thread_.join();
    ::close(listenFD_);
    SSL_CTX_free(static_cast<SSL_CTX*>(context_));
}

std::string FakeService::url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
}

void FakeService::enqueue(Reply reply) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(reply));
}

std::vector<RecordedRequest> FakeService::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool FakeService::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

std::size_t FakeService::closedConnections() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

bool FakeService::waitForClosedConnections(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return closed_ >= count; });
}

Reply FakeService::nextReply() {
    std::lock_guard lock(mutex_);
    if (script_.empty()) return Reply::withStatus(200);
    Reply reply = std::move(script_.front());
    script_.pop_front();
    return reply;
}

void FakeService::serve() {
    acceptConnections(listenFD_, stop_, kLifetime, 10, [this](int client) {
        handle(client);
        {
            std::lock_guard lock(mutex_);
            ++closed_;
        }
        changed_.notify_all();
    });
}

void FakeService::handle(int clientFD) {
    SSL* ssl = SSL_new(static_cast<SSL_CTX*>(context_));
    SSL_set_fd(ssl, clientFD);
    RecordedRequest request;
    if (SSL_accept(ssl) == 1 && readRequest(ssl, request)) {
        const Reply reply = nextReply();
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        changed_.notify_all();
        if (reply.kind == Reply::Kind::Respond) {
            writeAll(ssl, "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) +
                              "\r\nContent-Length: " + std::to_string(reply.body.size()) +
                              "\r\nConnection: close\r\n\r\n" + reply.body);
            SSL_shutdown(ssl);
        } else if (reply.kind == Reply::Kind::Silence) {
            waitForClientToGiveUp(clientFD, stop_);
        }
    }
    ERR_clear_error();
    SSL_free(ssl);
}

}  // namespace bbtest
