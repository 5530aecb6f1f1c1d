/* SPDX-License-Identifier: MIT */
#include "kq7/port/serial_port.h"

#include <fcntl.h>
#include <sys/file.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "kq7/failure.h"

namespace kq7tool {

namespace {

constexpr int kReadWaitMs = 5;
constexpr int64_t kMicrosecondsPerMillisecond = 1000;
constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr int64_t kBitsPerByte = 10;  // 8N1: start bit, eight data bits, stop bit
// A shorter wait for the rest of a read costs more in wake-ups than it saves.
constexpr int64_t kShortestWaitUs = 500;

struct BaudRate {
    int baud;
    speed_t speed;
};

constexpr BaudRate kBaudRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600}, {1000000, B1000000},
    {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
};

speed_t SpeedFor(int baud) {
    for (const BaudRate& rate : kBaudRates) {
        if (rate.baud == baud) {
            return rate.speed;
        }
    }
    std::string supported;
    for (const BaudRate& rate : kBaudRates) {
        supported += (supported.empty() ? "" : " ") + std::to_string(rate.baud);
    }
    throw PortOpenFailure(PortOpenError::Other, "unsupported baud rate " + std::to_string(baud) + " (supported: " + supported + ")");
}

void PauseUs(int64_t us) {
    const timespec pause{0, static_cast<long>(us * 1000)};
    nanosleep(&pause, nullptr);
}

// The reason an open failed, with a hint on its usual cause.
std::string OpenFailure(const std::string& path, int error) {
    std::string message = "cannot open port " + path + ": " + std::strerror(error);
    if (error == EACCES) {
        message += " (is your user in the group of the port, usually dialout? sudo usermod -aG dialout $USER, "
                   "then log in again)";
    } else if (error == ENOENT) {
        message += " (is the adapter plugged in? ls /dev/serial/by-id lists the ports)";
    }
    return message;
}

std::string InUse(const std::string& path) {
    return "port " + path + " in use by another program (close it, or find it with: fuser " + path + ")";
}

}  // namespace

std::vector<int> SupportedBaudRates() {
    std::vector<int> rates;
    for (const BaudRate& rate : kBaudRates) {
        rates.push_back(rate.baud);
    }
    return rates;
}

SerialPort::SerialPort(const std::string& path, int baud) {
    const speed_t speed = SpeedFor(baud);
    // Without O_NONBLOCK, open waits for carrier detect on a port whose
    // CLOCAL is off, for ever when nothing drives the line; the port is made
    // blocking again once CLOCAL is set.
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        const int error = errno;
        // EBUSY: another program set TIOCEXCL on it.
        if (error == EBUSY) {
            throw PortOpenFailure(PortOpenError::InUse, InUse(path));
        }
        throw PortOpenFailure(error == ENOENT || error == ENODEV || error == ENXIO ? PortOpenError::Missing
                                                                                  : PortOpenError::Other,
                              OpenFailure(path, error));
    }
    // The lock is what keeps out a second kq7 (or any program that locks
    // too) even for root, whom TIOCEXCL does not stop.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd_);
        if (error == EWOULDBLOCK) {
            throw PortOpenFailure(PortOpenError::InUse, InUse(path));
        }
        throw PortOpenFailure(PortOpenError::Other, OpenFailure(path, error));
    }
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) {
        const std::string reason = std::strerror(errno);
        close(fd_);
        throw PortOpenFailure(PortOpenError::NotASerialPort, "not a serial port: " + path + ": " + reason);
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;  // 8N1, no modem control
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;  // reads return what is there; poll does the waiting
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    // tcsetattr succeeds when any of the settings took: read them back.
    termios applied{};
    if (tcsetattr(fd_, TCSANOW, &settings) != 0 || tcgetattr(fd_, &applied) != 0 ||
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) {
        const std::string reason = std::strerror(errno);
        close(fd_);
        throw PortOpenFailure(PortOpenError::Other, "cannot configure port " + path + ": " + reason);
    }
    if (cfgetospeed(&applied) != speed || (applied.c_cflag & (CSIZE | PARENB | CSTOPB)) != CS8) {
        close(fd_);
        throw PortOpenFailure(PortOpenError::Other, "port " + path + " does not take " + std::to_string(baud) + " baud 8N1");
    }
    ioctl(fd_, TIOCEXCL);
    tcflush(fd_, TCIOFLUSH);
    byteTimeUs_ = kBitsPerByte * kMicrosecondsPerSecond / baud;
}

SerialPort::~SerialPort() {
    // A pseudo-terminal keeps the exclusive mode after this close while its
    // other side stays open: clear it for the next program.
    ioctl(fd_, TIOCNXCL);
    close(fd_);
}

int64_t SerialPort::Write(const uint8_t* data, int64_t length) {
    int64_t written = 0;
    while (written < length) {
        const ssize_t n = write(fd_, data + written, static_cast<size_t>(length - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error_ = std::strerror(errno);
            return -1;
        }
        written += n;
    }
    return written;
}

// Once the first byte of a read is in, gives the rest of it the time to come
// at the line's rate (at most kReadWaitMs): on a slow line a reply that
// arrives byte by byte is then taken a request at a time instead of with a
// wake-up per byte.
void SerialPort::WaitForRestOf(int64_t maxLength) const {
    int available = 0;
    if (ioctl(fd_, FIONREAD, &available) != 0) {
        return;
    }
    const int64_t missing = maxLength - available;
    const int64_t waitUs = std::min(missing * byteTimeUs_, kReadWaitMs * kMicrosecondsPerMillisecond);
    if (waitUs >= kShortestWaitUs) {
        PauseUs(waitUs);
    }
}

int64_t SerialPort::Read(uint8_t* dest, int64_t maxLength) {
    pollfd fd{fd_, POLLIN, 0};
    const int ready = poll(&fd, 1, kReadWaitMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
        return 0;
    }
    if (ready > 0 && (fd.revents & POLLIN) != 0) {
        WaitForRestOf(maxLength);
        const ssize_t n = read(fd_, dest, static_cast<size_t>(maxLength));
        if (n > 0) {
            return n;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            return 0;
        }
        // A pseudo-terminal whose other side closed says EIO with the hang-up.
        const bool hungUp = n == 0 || (fd.revents & POLLHUP) != 0;
        error_ = hungUp ? "the port hung up" : std::strerror(errno);
        return -1;
    }
    // POLLHUP or POLLERR without data: the adapter is gone.
    error_ = ready < 0 ? std::strerror(errno) : "the port hung up";
    return -1;
}

}  // namespace kq7tool
