/* SPDX-License-Identifier: MIT */
// A real serial port (or a pseudo-terminal), opened for kq7 alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kq7/failure.h"
#include "kq7/port/byte_link.h"

namespace kq7tool {

// Why a port could not be opened, for whoever must tell the cases apart.
enum class PortOpenError { InUse, NotASerialPort, Missing, Other };

// A port that could not be opened (kExitPortError): the reason in words and
// by kind.
class PortOpenFailure : public Failure {
public:
    PortOpenFailure(PortOpenError reason, const std::string& message)
        : Failure(kExitPortError, message), reason_(reason) {}
    PortOpenError Reason() const { return reason_; }

private:
    PortOpenError reason_;
};

// The rates SerialPort takes, slowest first.
std::vector<int> SupportedBaudRates();

class SerialPort : public ByteLink {
public:
    // Opens `path` raw, 8N1, at `baud`, exclusively (TIOCEXCL and an advisory
    // lock, so that a second program cannot talk over kq7; a Windows COM port
    // is exclusive by nature), and discards whatever was pending on it.
    // Throws PortOpenFailure with the reason and a hint on its usual cause.
    SerialPort(const std::string& path, int baud);
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    int64_t Write(const uint8_t* data, int64_t length) override;

    // Waits up to a few milliseconds for bytes, so that the library's
    // polling does not keep a core busy while the sensor exposes; once bytes
    // come, waits for the rest of the request as long as the port's rate
    // needs for it (at most those few milliseconds), so that a slow line is
    // not read byte by byte. Returns the bytes stored, 0 when none came, -1
    // when the port failed (an unplugged adapter): see Error().
    int64_t Read(uint8_t* dest, int64_t maxLength) override;

    // Why the port failed ("Input/output error"), or "" while it works.
    std::string Error() const override { return error_; }

private:
#if defined(_WIN32)
    void* handle_ = nullptr;  // the port's HANDLE; the driver's timeouts do the waiting
#else
    void WaitForRestOf(int64_t maxLength) const;

    int fd_ = -1;
    int64_t byteTimeUs_ = 0;  // transfer time of one byte at the port's rate
#endif
    std::string error_;
};

}  // namespace kq7tool
