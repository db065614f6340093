#pragma once

#include <atomic>
#include <chrono>
#include <functional>

namespace bbtest {

// A listening socket on 127.0.0.1 on a port of the system's choosing, for the fake peers of the
// library's tests; -1 when it cannot be made.
int listenOnLoopback(int* port);

// Takes one connection at a time until `stop` is set or `lifetime` has passed: each accepted
// socket (with a receive time-out of `receiveTimeout` seconds) goes to `handle` and is closed
// afterwards.
void acceptConnections(int listenFD, const std::atomic<bool>& stop, std::chrono::seconds lifetime, long receiveTimeout,
                       const std::function<void(int client)>& handle);

}  // namespace bbtest
