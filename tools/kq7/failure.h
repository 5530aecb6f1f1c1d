/* SPDX-License-Identifier: MIT */
// A failed kq7 command: one line for standard error and the exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace kq7tool {

enum ExitStatus {
    kExitOk = 0,
    kExitFailure = 1,         // anything else, such as an unwritable output file
    kExitPortError = 2,       // the port cannot be opened or configured
    kExitNoAnswer = 3,        // the sensor sent nothing at all
    kExitIdentFailed = 4,     // the sensor answered, but the identification failed
    kExitCaptureFailed = 5,   // a spectrum could not be captured
    kExitNotAcknowledged = 6, // the sensor did not acknowledge a command
    kExitSaturated = 7,       // with --strict: a band reached full scale
    kExitOutOfRange = 8,      // with --strict: the exposure search ran out of range
    kExitUsage = 64,          // the command line was wrong (EX_USAGE of sysexits.h)
    kExitInterrupted = 130,   // Ctrl-C (128 + SIGINT, as the shells report it)
};

class Failure : public std::runtime_error {
public:
    // `libraryResult`: the library's KQ7_ERR_* code behind it, 0 for none.
    Failure(ExitStatus status, const std::string& message, int libraryResult = 0)
        : std::runtime_error(message), status_(status), libraryResult_(libraryResult) {}
    ExitStatus Status() const { return status_; }
    int LibraryResult() const { return libraryResult_; }

private:
    ExitStatus status_;
    int libraryResult_;
};

}  // namespace kq7tool
