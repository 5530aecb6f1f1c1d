/* SPDX-License-Identifier: MIT */
// The HTTP library's server with kq7 serve's own handling of connections: a
// deadline for each request to arrive, threads that slow clients give up
// when others wait, a stop that no client can delay, and requests bounded
// before they reach the routes (no wait for the body of an empty POST, at
// most one byte range).
#pragma once

#include <httplib.h>

#include <atomic>

#include "kq7/serve/serve_limits.h"

namespace kq7serve {

class ConnectionServer : public httplib::Server {
public:
    ConnectionServer();

    // Answers the next request that `connection` brings; false when the
    // connection is to be closed after it. `last`: close it anyway.
    bool AnswerOne(httplib::Stream& connection, bool last);

    // Ends listening and every connection's wait (within kStopCheckInterval).
    void Stop();
    bool Stopping() const { return stopping_; }
    // Whether accepted connections wait because every thread is taken (a
    // connection waits a moment for a free thread, too).
    bool Crowded() const {
        return waitingConnections_ > 0 && servedConnections_ >= static_cast<int>(kConnectionThreads);
    }

private:
    class Threads;
    bool process_and_close_socket(socket_t sock) override;

    std::atomic<bool> stopping_{false};
    std::atomic<int> waitingConnections_{0};
    std::atomic<int> servedConnections_{0};
};

}  // namespace kq7serve
