/* SPDX-License-Identifier: MIT */
// Makes a locale with a decimal comma and thousands grouping the global C++
// locale for its lifetime, as a host may do; the previous one comes back at
// the end. Streams created meanwhile take it up unless told otherwise.
#pragma once

#include <locale>

namespace kq7::test {

class ForeignGlobalLocale {
public:
    ForeignGlobalLocale() : previous_(std::locale::global(std::locale(std::locale::classic(), new Punctuation))) {}
    ~ForeignGlobalLocale() { std::locale::global(previous_); }
    ForeignGlobalLocale(const ForeignGlobalLocale&) = delete;
    ForeignGlobalLocale& operator=(const ForeignGlobalLocale&) = delete;

private:
    struct Punctuation : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };

    std::locale previous_;
};

}  // namespace kq7::test
