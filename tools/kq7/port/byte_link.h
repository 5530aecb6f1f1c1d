/* SPDX-License-Identifier: MIT */
// Something that carries bytes to a sensor and back: a serial port, or the
// in-process virtual sensor.
#pragma once

#include <cstdint>
#include <string>

namespace kq7tool {

class ByteLink {
public:
    virtual ~ByteLink() = default;
    // Sends all of `data`; -1 when the link failed.
    virtual int64_t Write(const uint8_t* data, int64_t length) = 0;
    // Stores at most `maxLength` bytes; 0 when none came within a few
    // milliseconds, -1 when the link failed.
    virtual int64_t Read(uint8_t* dest, int64_t maxLength) = 0;
    // Why the link failed, or "" while it works.
    virtual std::string Error() const { return ""; }
};

}  // namespace kq7tool
