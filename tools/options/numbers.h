/* SPDX-License-Identifier: MIT */
// The one rule for every number on a command line of kq7 and kq7sim: plain
// decimal digits, finite, within the option's range. CLI11's own conversion
// lets through NaN (it compares false with every bound), hexadecimal and
// binary prefixes, and explains a word as "not in range".
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace kq7options {

// Why `text` is not a whole decimal number from `low` to `high`; empty when it is.
std::string WholeNumberProblem(const std::string& text, long long low, long long high);

// Why `text` is not a finite decimal number from `low` to `high` (an
// exponent is fine; -0 counts as 0); empty when it is.
std::string DecimalNumberProblem(const std::string& text, double low, double high);

// The checks above as CLI11 validators: CLI11 puts the option's name ahead
// of the reason, and kq7 exits with its usage status.
CLI::Validator WholeNumberIn(long long low, long long high);
CLI::Validator DecimalNumberIn(double low, double high);

}  // namespace kq7options
