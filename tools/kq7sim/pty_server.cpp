/* SPDX-License-Identifier: MIT */
#include "kq7sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>

namespace kq7sim {

namespace {

constexpr size_t kReadChunk = 4096;

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

timespec FromMicroseconds(int64_t us) {
    return timespec{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000 * 1000)};
}

}  // namespace

PtyServer::PtyServer(const SimConfig& config, int baud) : sensor_(config), outbox_(PacingFor(config, baud)) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        ThrowErrno("posix_openpt");
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        ThrowErrno("grantpt/unlockpt");
    }
    const char* name = ptsname(master_);
    if (name == nullptr) {
        ThrowErrno("ptsname");
    }
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        ThrowErrno("open pty slave");
    }
    termios settings{};
    if (tcgetattr(slave_, &settings) != 0) {
        ThrowErrno("tcgetattr");
    }
    cfmakeraw(&settings);  // no echo, no line editing, 8 bits
    if (tcsetattr(slave_, TCSANOW, &settings) != 0) {
        ThrowErrno("tcsetattr");
    }
    if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
        ThrowErrno("fcntl");
    }
}

PtyServer::~PtyServer() {
    if (slave_ >= 0) {
        close(slave_);
    }
    if (master_ >= 0) {
        close(master_);
    }
}

void PtyServer::Serve(const volatile sig_atomic_t& stop, const sigset_t& waitMask) {
    while (!stop) {
        pollfd fd{master_, POLLIN, 0};
        if (!unwritten_.empty()) {
            fd.events |= POLLOUT;
        }
        timespec timeout{};
        const timespec* wait = nullptr;  // none: until a request or a signal comes
        if (unwritten_.empty() && !outbox_.Empty()) {
            timeout = FromMicroseconds(std::max<int64_t>(outbox_.NextDueUs() - NowUs(), 0));
            wait = &timeout;
        }
        if (ppoll(&fd, 1, wait, &waitMask) < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno("ppoll");
        }
        if (fd.revents & POLLIN) {
            ReadRequests();
        }
        WriteDueReplies();
    }
}

void PtyServer::ReadRequests() {
    uint8_t buffer[kReadChunk];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) {
        outbox_.Push(sensor_.Feed(buffer, static_cast<size_t>(n)), NowUs());
    } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
        ThrowErrno("read pty");
    }
}

void PtyServer::WriteDueReplies() {
    uint8_t buffer[kReadChunk];
    const size_t due = outbox_.Take(buffer, sizeof buffer, NowUs());
    unwritten_.insert(unwritten_.end(), buffer, buffer + due);
    if (unwritten_.empty()) {
        return;
    }
    const ssize_t n = write(master_, unwritten_.data(), unwritten_.size());
    if (n > 0) {
        unwritten_.erase(unwritten_.begin(), unwritten_.begin() + n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
        ThrowErrno("write pty");
    }
}

}  // namespace kq7sim
