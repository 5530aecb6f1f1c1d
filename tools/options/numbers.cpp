/* SPDX-License-Identifier: MIT */
#include "options/numbers.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace kq7options {

namespace {

// 1000000, not 1e+06; 0.5, not 0.500000.
std::string Shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string RangeText(double low, double high) {
    if (high == std::numeric_limits<double>::max()) {
        return "finite numbers only";
    }
    return "from " + Shown(low) + " to " + Shown(high);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Digits from `at`; returns where they end.
size_t Digits(const std::string& text, size_t at) {
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0) {
        ++at;
    }
    return at;
}

bool SignAt(const std::string& text, size_t at) { return at < text.size() && (text[at] == '-' || text[at] == '+'); }

// [+-]digits, with nothing around them.
bool IsWholeDecimal(const std::string& text) {
    const size_t start = SignAt(text, 0) ? 1 : 0;
    return text.size() > start && Digits(text, start) == text.size();
}

// [+-]digits[.digits][e[+-]digits] or [+-].digits[...], with nothing around them.
bool IsDecimal(const std::string& text) {
    size_t at = SignAt(text, 0) ? 1 : 0;
    const size_t whole = Digits(text, at);
    size_t digits = whole - at;
    at = whole;
    if (at < text.size() && text[at] == '.') {
        const size_t fraction = Digits(text, at + 1);
        digits += fraction - at - 1;
        at = fraction;
    }
    if (digits == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        at += SignAt(text, at) ? 1 : 0;
        const size_t exponent = Digits(text, at);
        if (exponent == at) {
            return false;
        }
        at = exponent;
    }
    return at == text.size();
}

}  // namespace

std::string WholeNumberProblem(const std::string& text, long long low, long long high) {
    if (!IsWholeDecimal(text)) {
        return Quoted(text) + " is not a whole number in decimal digits";
    }
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < low || value > high) {
        return Quoted(text) + " is out of range: " + std::to_string(low) + " to " + std::to_string(high);
    }
    return "";
}

std::string DecimalNumberProblem(const std::string& text, double low, double high) {
    if (!IsDecimal(text)) {
        return Quoted(text) + " is not a finite decimal number";
    }
    errno = 0;
    const double value = std::strtod(text.c_str(), nullptr);
    if (std::isinf(value)) {
        return Quoted(text) + " is out of range: " + RangeText(low, high);
    }
    if (errno == ERANGE) {
        return Quoted(text) + " is too close to 0 to be held: give 0 or a larger number";
    }
    if (value < low || value > high) {
        return Quoted(text) + " is out of range: " + RangeText(low, high);
    }
    return "";
}

CLI::Validator WholeNumberIn(long long low, long long high) {
    return CLI::Validator(
        [low, high](std::string& text) { return WholeNumberProblem(text, low, high); },
        "INT in [" + std::to_string(low) + " - " + std::to_string(high) + "]");
}

CLI::Validator DecimalNumberIn(double low, double high) {
    return CLI::Validator(
        [low, high](std::string& text) { return DecimalNumberProblem(text, low, high); },
        high == std::numeric_limits<double>::max() ? "NUMBER"
                                                    : "NUMBER in [" + Shown(low) + " - " + Shown(high) + "]");
}

}  // namespace kq7options
