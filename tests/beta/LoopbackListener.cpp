#include "LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bbtest {

int listenOnLoopback(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd == -1 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd != -1) ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

void acceptConnections(int listenFD, const std::atomic<bool>& stop, std::chrono::seconds lifetime, long receiveTimeout,
                       const std::function<void(int client)>& handle) {
    constexpr int kTickMs = 20;
    // A client that went away fails the server's writes instead of raising SIGPIPE, which would
    // end the test process: the signal goes to the writing thread, this one.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    const auto until = std::chrono::steady_clock::now() + lifetime;
    while (!stop && std::chrono::steady_clock::now() < until) {
        pollfd waiting{listenFD, POLLIN, 0};
        if (::poll(&waiting, 1, kTickMs) <= 0) continue;
        const int client = ::accept4(listenFD, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        timeval timeout{receiveTimeout, 0};
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        handle(client);
        ::close(client);
    }
}

}  // namespace bbtest
