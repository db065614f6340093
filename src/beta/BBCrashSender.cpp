#include "beta/BBCrashSender.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "beta/BBCrypto.h"
#include "beta/BBFileDescriptor.h"
#include "beta/BBMessagePack.h"
#include "beta/BBMessagePackDescriptor.h"
#include "beta/BBSDK.h"
#include "beta/BBServiceHost.h"
#include "beta/BBSessionManager.h"
#include "beta/BBSignalSafeText.h"
#include "beta/BBTextLine.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/FileUtil.h"

namespace bb {

namespace {

constexpr const char* kHTTPService = "http";
constexpr const char* kHTTPPort = "80";
constexpr std::size_t kDigestCapacity = 50;
constexpr std::uint32_t kDigestLength = 40;

// Written once at take-off and read only in the crash handler, when every other thread stands.
struct Connection {
    std::atomic<int> socket{-1};
    addrinfo* list = nullptr;
    const addrinfo* chosen = nullptr;
    char hostRest[256] = {};  // what follows the digest in the Host field
};

Connection gConnection;

struct Reply {
    bool statusSeen = false;
    bool statusOK = false;
    bool headEndSeen = false;
    bool done = false;
};

Reply gReply;

void forgetConnection() {
    const int socket = gConnection.socket.exchange(-1);
    if (socket != -1) ::close(socket);
    if (gConnection.list) ::freeaddrinfo(gConnection.list);
    gConnection.list = nullptr;
    gConnection.chosen = nullptr;
}

// The host and port to resolve: the crash host on the "http" port, unless an override maps it.
std::pair<std::string, std::string> connectionTarget(const std::string& host) {
    for (const auto& mapping : BBServiceHost::connectTo()) {
        const auto first = mapping.find(':');
        const auto second = first == std::string::npos ? first : mapping.find(':', first + 1);
        const auto third = second == std::string::npos ? second : mapping.rfind(':');
        if (third == std::string::npos || third <= second) continue;
        const std::string fromHost = mapping.substr(0, first);
        const std::string fromPort = mapping.substr(first + 1, second - first - 1);
        if ((fromHost.empty() || fromHost == host) && (fromPort.empty() || fromPort == kHTTPPort)) {
            return {mapping.substr(second + 1, third - second - 1), mapping.substr(third + 1)};
        }
    }
    return {host, kHTTPService};
}

bool sendAll(int socket, const char* bytes, std::size_t n) {
    while (n > 0) {
        // No SIGPIPE: a peer that went away must not end the crashing process here.
        const ssize_t put = ::send(socket, bytes, n, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

bool sendFile(int socket, int fd) {
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!sendAll(socket, buffer, static_cast<std::size_t>(got))) return false;
    }
}

// The first place at or after `text` where `pattern` begins, or null.
const char* find(const char* text, const char* pattern) {
    const std::size_t n = bb_strlen(pattern);
    for (; *text != '\0'; ++text) {
        std::size_t i = 0;
        while (i < n && text[i] == pattern[i]) ++i;
        if (i == n) return text;
    }
    return nullptr;
}

// A SHA-1 digest in hexadecimal, as the token digest file must hold it: anything else would be
// sent as the crash host's name.
bool isDigest(const char* text, std::uint32_t length) {
    if (length != kDigestLength) return false;
    for (std::uint32_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

bool isAcceptedStatusLine(const char* line, std::size_t length) {
    static const char* const kAccepted[] = {"HTTP/1.1 200 OK", "HTTP/1.0 200 OK"};
    for (const char* accepted : kAccepted) {
        if (length != bb_strlen(accepted)) continue;
        std::size_t i = 0;
        while (i < length && line[i] == accepted[i]) ++i;
        if (i == length) return true;
    }
    return false;
}

}  // namespace

void bb_save_token_digest(const std::string& applicationToken) {
    if (!BBSessionManager::sharedSessionManager().allowedToSendCrashes()) return;
    plat::dispatch::background([applicationToken] {
        const std::string digest = BBCrypto::sha1(applicationToken);
        if (auto packed = BBMessagePack::pack(BBValue(digest))) {
            plat::file::writeAtomically(std::filesystem::path(bb_sdk_directory_path()) / kBBTokenDigestFileName,
                                        packed->view());
        }
        bb_prepare_crash_sender(digest);
    });
}

void bb_prepare_crash_sender(const std::optional<std::string>& digest) {
    forgetConnection();
    const std::string sdkHost = BBServiceHost::sdkHostName();
    const std::string host = digest ? *digest + "." + sdkHost : sdkHost;
    const std::string rest = digest ? "." + sdkHost : sdkHost;
    if (rest.size() >= sizeof gConnection.hostRest) return;

    const auto [name, service] = connectionTarget(host);
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(name.c_str(), service.c_str(), &hints, &list) != 0 || !list) return;
    int socket = -1;
    const addrinfo* chosen = nullptr;
    for (const addrinfo* candidate = list; candidate; candidate = candidate->ai_next) {
        socket = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC, candidate->ai_protocol);
        if (socket > 0) {
            chosen = candidate;
            break;
        }
    }
    if (!chosen) {
        ::freeaddrinfo(list);
        return;
    }
    const timeval sendLimit{5, 0};
    const timeval receiveLimit{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &receiveLimit, sizeof receiveLimit);
    rest.copy(gConnection.hostRest, rest.size());
    gConnection.hostRest[rest.size()] = '\0';
    gConnection.list = list;
    gConnection.chosen = chosen;
    gConnection.socket.store(socket);
}

bool bb_crash_sender_prepared() { return gConnection.socket.load() != -1; }

int bb_send_crash_file(int crashFileDescriptor, const char* libraryDirectory) {
    const int socket = gConnection.socket.load();
    if (socket == -1 || !gConnection.chosen) return -1;

    BBTextLine path;
    path.append(libraryDirectory).append("/").append(kBBTokenDigestFileName);
    char digest[kDigestCapacity + 1] = {};
    const int digestFile = path.truncated() ? -1 : bb_open_rw(path.c_str());
    const std::uint32_t length = bb_mp_fd_read_raw(digestFile, digest, kDigestCapacity);
    bb_close(digestFile);
    if (digestFile == -1 || !isDigest(digest, length)) return -1;

    int connected;
    do {
        connected = ::connect(socket, gConnection.chosen->ai_addr, gConnection.chosen->ai_addrlen);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0) {
        ::close(socket);
        gConnection.socket.store(-1);
        return -1;
    }
    const int ok = bb_http_post_file(socket, crashFileDescriptor, digest);
    ::close(socket);
    gConnection.socket.store(-1);
    return ok == 1 ? 0 : -1;
}

int bb_http_post_file(int socket, int fileDescriptor, const char* digest) {
    if (socket == -1) return 0;
    const off_t size = ::lseek(fileDescriptor, 0, SEEK_END);
    if (size < 0 || ::lseek(fileDescriptor, 0, SEEK_SET) != 0) return 0;
    BBTextLine head;
    head.append("POST /beamdeck/1.0/sessions.mpack HTTP/1.1\r\nHost: ");
    head.append(digest).append(gConnection.hostRest);
    head.append("\r\nContent-Length: ").appendUnsigned(static_cast<std::uint64_t>(size)).append("\r\n\r\n");
    if (head.truncated() || !sendAll(socket, head.c_str(), head.size()) || !sendFile(socket, fileDescriptor)) {
        return 0;
    }

    bb_http_reply_reset();
    char chunk[512] = {};
    for (;;) {
        const ssize_t got = ::recv(socket, chunk, sizeof chunk - 1, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        // Each chunk ends where it was received, so that nothing of an earlier one is read again.
        chunk[got] = '\0';
        if (bb_http_status_ok(chunk)) break;
    }
    return gReply.statusOK ? 1 : 0;
}

int bb_http_status_ok(const char* chunk) {
    if (!chunk) return 0;
    const char* p = chunk;
    if (!gReply.headEndSeen) {
        if (!gReply.statusSeen) {
            const std::size_t length = bb_line_length(p);
            gReply.statusOK = isAcceptedStatusLine(p, length);
            gReply.statusSeen = true;
            p += length;
        }
        const char* end = find(p, "\r\n\r");
        if (!end) return 0;
        gReply.headEndSeen = true;
        p = end + 1;
    }
    if (gReply.done) return 1;
    if (!find(p, "\r\n")) return 0;
    gReply.done = true;
    return 1;
}

bool bb_http_reply_status_ok() { return gReply.statusOK; }

void bb_http_reply_reset() { gReply = Reply{}; }

}  // namespace bb
