/* SPDX-License-Identifier: MIT */
#include "kq7/serve/connection_server.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "kq7/serve/serve_limits.h"

namespace kq7serve {

namespace {

using Clock = std::chrono::steady_clock;

void NumericName(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host;
        port = std::atoi(service);
    }
}

// One accepted socket. Every wait on it ends at the server's stop, at its
// deadline, and (for a request) when others wait for a thread and this
// request has had its share of patience.
class SocketConnection : public httplib::Stream {
public:
    SocketConnection(socket_t sock, const ConnectionServer& server) : sock_(sock), server_(server) {}

    // Waits for the first byte of the next request: up to the request
    // deadline on a new connection, kKeepAlive after an answer.
    bool AwaitRequest(bool first) {
        requestStart_ = Clock::now();
        requestDeadline_ = requestStart_ + kRequestDeadline;
        const Clock::time_point idleEnd = first ? requestDeadline_ : requestStart_ + kKeepAlive;
        // Between two requests a connection gives its thread up at once when
        // every thread is taken.
        return WaitFor(POLLIN, idleEnd, first ? requestStart_ : requestStart_ - kPatienceWhenCrowded);
    }

    bool is_readable() const override { return Ready(POLLIN); }
    bool is_writable() const override { return WaitFor(POLLOUT, Clock::now() + kWriteTimeout, std::nullopt); }

    ssize_t read(char* ptr, size_t size) override {
        if (!WaitFor(POLLIN, requestDeadline_, requestStart_)) {
            return -1;
        }
        return recv(sock_, ptr, size, 0);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (!is_writable()) {
            return -1;
        }
        return send(sock_, ptr, size, MSG_NOSIGNAL);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            NumericName(address, length, ip, port);
        }
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            NumericName(address, length, ip, port);
        }
    }

    socket_t socket() const override { return sock_; }

private:
    bool Ready(short events) const {
        pollfd ready{sock_, events, 0};
        return poll(&ready, 1, 0) > 0;
    }

    // `patientSince`: when others wait for a thread, give up from
    // kPatienceWhenCrowded after that moment on; nullopt: never give up so.
    bool WaitFor(short events, Clock::time_point deadline, std::optional<Clock::time_point> patientSince) const {
        for (;;) {
            const Clock::time_point now = Clock::now();
            if (server_.Stopping() || now >= deadline ||
                (patientSince && server_.Crowded() && now - *patientSince >= kPatienceWhenCrowded)) {
                return false;
            }
            const auto slice = std::min<Clock::duration>(deadline - now, kStopCheckInterval);
            pollfd ready{sock_, events, 0};
            const int result =
                poll(&ready, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count()));
            if (result > 0) {
                return true;
            }
            if (result < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    const socket_t sock_;
    const ConnectionServer& server_;
    Clock::time_point requestStart_ = Clock::now();
    Clock::time_point requestDeadline_ = requestStart_ + kRequestDeadline;
};

}  // namespace

// The library's pool of threads, counting the connections that wait for one
// and those served.
class ConnectionServer::Threads : public httplib::TaskQueue {
public:
    Threads(std::atomic<int>& waiting, std::atomic<int>& served)
        : pool_(kConnectionThreads), waiting_(waiting), served_(served) {}

    void enqueue(std::function<void()> job) override {
        ++waiting_;
        pool_.enqueue([this, job = std::move(job)] {
            ++served_;
            --waiting_;
            job();
            --served_;
        });
    }

    void shutdown() override { pool_.shutdown(); }

private:
    httplib::ThreadPool pool_;
    std::atomic<int>& waiting_;
    std::atomic<int>& served_;
};

ConnectionServer::ConnectionServer() {
    new_task_queue = [this] { return new Threads(waitingConnections_, servedConnections_); };
    set_payload_max_length(kMaxRequestBytes);
    // The library's default adds SO_REUSEPORT, with which a second server
    // on the same address starts as well and takes half of the requests.
    set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
}

bool ConnectionServer::AnswerOne(httplib::Stream& connection, bool last) {
    bool closed = false;
    const bool answered = process_request(connection, last || Stopping(), closed, [](httplib::Request& request) {
        // Without a length or chunks, the library would read a POST's body
        // until the client closes: an empty POST from curl waited 5 s.
        if (!request.has_header("Content-Length") && !request.has_header("Transfer-Encoding")) {
            request.set_header("Content-Length", "0");
        }
        // Many ranges, overlapping, would make a short request a huge
        // answer; the whole file is the bounded answer.
        if (request.ranges.size() > 1) {
            request.ranges.clear();
        }
    });
    return answered && !closed && !last;
}

bool ConnectionServer::process_and_close_socket(socket_t sock) {
    SocketConnection connection(sock, *this);
    for (bool first = true; connection.AwaitRequest(first); first = false) {
        if (!AnswerOne(connection, Stopping())) {
            break;
        }
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return true;
}

void ConnectionServer::Stop() {
    stopping_ = true;
    stop();
}

}  // namespace kq7serve
