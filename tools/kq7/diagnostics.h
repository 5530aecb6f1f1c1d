/* SPDX-License-Identifier: MIT */
// kq7's one way to standard error: errors, warnings, notes, the library's
// log lines and the progress line of a wait. Kept apart from the data output
// (console.h), and whole lines at a time, whichever thread writes them.
#pragma once

#include <string>

namespace kq7tool {

// "kq7: TEXT" (an error, or a note such as the virtual sensor's).
void SayError(const std::string& text);
// "kq7: warning: TEXT".
void SayWarning(const std::string& text);
// TEXT as it is: a report kept off the data output, a prompt, a log line.
void Say(const std::string& text);

// Whether standard error is a terminal (where a progress line may show).
bool DiagnosticsOnTerminal();
// Replaces the progress line with `text` (empty: clears it).
void ShowProgressLine(const std::string& text);

}  // namespace kq7tool
