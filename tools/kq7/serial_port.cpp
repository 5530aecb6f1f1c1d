/* SPDX-License-Identifier: MIT */
#include "kq7/serial_port.h"

#include <fcntl.h>
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

int g_port = -1;
int64_t g_byteTimeUs = 0;  // transfer time of one byte at the port's rate

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
    throw Failure(kExitPortError, "unsupported baud rate " + std::to_string(baud) + " (supported: " + supported + ")");
}

void PauseUs(int64_t us) {
    const timespec pause{0, static_cast<long>(us * 1000)};
    nanosleep(&pause, nullptr);
}

void PauseMs(int ms) { PauseUs(ms * kMicrosecondsPerMillisecond); }

// Once the first byte of a read is in, gives the rest of it the time to come
// at the line's rate (at most kReadWaitMs): on a slow line a reply that
// arrives byte by byte is then taken a request at a time instead of with a
// wake-up per byte.
void WaitForRestOf(int64_t maxLength) {
    int available = 0;
    if (ioctl(g_port, FIONREAD, &available) != 0) {
        return;
    }
    const int64_t missing = maxLength - available;
    const int64_t waitUs = std::min(missing * g_byteTimeUs, kReadWaitMs * kMicrosecondsPerMillisecond);
    if (waitUs >= kShortestWaitUs) {
        PauseUs(waitUs);
    }
}

}  // namespace

std::vector<int> SupportedBaudRates() {
    std::vector<int> rates;
    for (const BaudRate& rate : kBaudRates) {
        rates.push_back(rate.baud);
    }
    return rates;
}

void OpenSerialPort(const std::string& path, int baud) {
    const speed_t speed = SpeedFor(baud);
    // Without O_NONBLOCK, open waits for carrier detect on a port whose
    // CLOCAL is off, for ever when nothing drives the line; the port is made
    // blocking again once CLOCAL is set.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        throw Failure(kExitPortError, "cannot open port " + path + ": " + std::strerror(errno));
    }
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        const std::string reason = std::strerror(errno);
        close(fd);
        throw Failure(kExitPortError, "not a serial port: " + path + ": " + reason);
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
    if (tcsetattr(fd, TCSANOW, &settings) != 0 || tcgetattr(fd, &applied) != 0 ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const std::string reason = std::strerror(errno);
        close(fd);
        throw Failure(kExitPortError, "cannot configure port " + path + ": " + reason);
    }
    if (cfgetospeed(&applied) != speed || (applied.c_cflag & (CSIZE | PARENB | CSTOPB)) != CS8) {
        close(fd);
        throw Failure(kExitPortError, "port " + path + " does not take " + std::to_string(baud) + " baud 8N1");
    }
    tcflush(fd, TCIOFLUSH);
    g_port = fd;
    g_byteTimeUs = kBitsPerByte * kMicrosecondsPerSecond / baud;
}

int64_t KQ7_CALL SerialPortWrite(const uint8_t* data, int64_t length) {
    int64_t written = 0;
    while (written < length) {
        const ssize_t n = write(g_port, data + written, static_cast<size_t>(length - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        written += n;
    }
    return written;
}

int64_t KQ7_CALL SerialPortRead(uint8_t* dest, int64_t maxLength) {
    pollfd fd{g_port, POLLIN, 0};
    if (poll(&fd, 1, kReadWaitMs) <= 0) {
        return 0;
    }
    WaitForRestOf(maxLength);
    const ssize_t n = read(g_port, dest, static_cast<size_t>(maxLength));
    if (n > 0) {
        return n;
    }
    // Hung up or failed: nothing will come, but the library keeps asking
    // until its time limit; do not spin meanwhile.
    PauseMs(kReadWaitMs);
    return 0;
}

}  // namespace kq7tool
