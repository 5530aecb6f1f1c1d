/* SPDX-License-Identifier: MIT */
// The one check of the numbers on kq7's and kq7sim's command lines.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "options/numbers.h"

namespace {

using kq7options::DecimalNumberProblem;
using kq7options::WholeNumberProblem;

struct Case {
    const char* text;
    const char* problem;  // "" for a number that passes
};

TEST(NumberOptions, WholeNumbersFrom1To1000) {
    for (const Case& c : {Case{"1", ""}, Case{"+1000", ""}, Case{"0", "'0' is out of range: 1 to 1000"},
                          Case{"-0", "'-0' is out of range"}, Case{"99999999999999999999", "is out of range"},
                          Case{"0x10", "'0x10' is not a whole number in decimal digits"},
                          Case{"1e2", "not a whole number"}, Case{"10abc", "not a whole number"},
                          Case{" 5", "not a whole number"}, Case{"", "not a whole number"}}) {
        const std::string problem = WholeNumberProblem(c.text, 1, 1000);
        EXPECT_EQ(problem.empty(), *c.problem == '\0') << c.text << ": " << problem;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << ": " << problem;
    }
}

TEST(NumberOptions, DecimalNumbersFrom0To86400) {
    for (const Case& c : {Case{"0.25", ""}, Case{"-0", ""}, Case{"1.5e3", ""}, Case{".5", ""}, Case{"86400", ""},
                          Case{"nan", "'nan' is not a finite decimal number"}, Case{"inf", "not a finite decimal"},
                          Case{"-infinity", "not a finite decimal"}, Case{"0x1p3", "not a finite decimal"},
                          Case{"1.", ""}, Case{"5s", "not a finite decimal"}, Case{"1e", "not a finite decimal"},
                          Case{"1e400", "'1e400' is out of range: from 0 to 86400"},
                          Case{"1e-400", "'1e-400' is too close to 0"}, Case{"-1", "out of range"}}) {
        const std::string problem = DecimalNumberProblem(c.text, 0.0, 86400.0);
        EXPECT_EQ(problem.empty(), *c.problem == '\0') << c.text << ": " << problem;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << ": " << problem;
    }
    EXPECT_EQ(DecimalNumberProblem("-1e308", std::numeric_limits<double>::lowest(), std::numeric_limits<double>::max()),
              "");
}

}  // namespace
