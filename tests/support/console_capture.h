// Captures what the library writes to standard output (both printf and
// std::cout reach file descriptor 1) for exact comparison.
#pragma once

#include <gtest/gtest.h>

#include <string>

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

}  // namespace kq7::test
