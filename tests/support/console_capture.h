/* SPDX-License-Identifier: MIT */
// Captures what the library writes to standard output (both printf and
// std::cout reach file descriptor 1) for exact comparison.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kq7::test {

class ConsoleCapture {
public:
    ConsoleCapture() { testing::internal::CaptureStdout(); }
    ~ConsoleCapture() {
        if (capturing_) {
            testing::internal::GetCapturedStdout();
        }
    }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // Ends the capture and returns everything written since it began.
    std::string Take() {
        capturing_ = false;
        return testing::internal::GetCapturedStdout();
    }

private:
    bool capturing_ = true;
};

// The line a receive prints for the bytes it holds: "Data from sensor: ",
// "%02x " per byte, "\n".
inline std::string DumpLine(const std::vector<uint8_t>& held) {
    std::string line = "Data from sensor: ";
    char hex[4];
    for (uint8_t b : held) {
        std::snprintf(hex, sizeof hex, "%02x ", b);
        line += hex;
    }
    return line + "\n";
}

}  // namespace kq7::test
