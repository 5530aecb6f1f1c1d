/* SPDX-License-Identifier: MIT */
#include "sensor/split_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kq7 {
namespace {

struct SplitCase {
    std::string text;
    std::vector<std::string> pieces;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

class SplitStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTest, SplitsOnEveryDelimiter) {
    std::vector<std::string> pieces{"left over"};
    SplitString(GetParam().text, pieces, '-');
    EXPECT_EQ(pieces, GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitStringTest,
    ::testing::Values(SplitCase{"ABC-123", {"ABC", "123"}}, SplitCase{"ABC-123-X9", {"ABC", "123", "X9"}},
                      SplitCase{"ABC", {"ABC"}}, SplitCase{"-123", {"", "123"}}, SplitCase{"ABC--X9", {"ABC", "", "X9"}},
                      // A trailing delimiter adds no empty piece.
                      SplitCase{"ABC-", {"ABC"}}, SplitCase{"ABC--", {"ABC", ""}}, SplitCase{"-", {""}},
                      SplitCase{"--", {"", ""}}, SplitCase{"", {}}, SplitCase{"A B_C", {"A B_C"}}));

TEST(SplitStringOtherDelimiterTest, OnlyTheGivenCharacterSplits) {
    std::vector<std::string> pieces;
    SplitString("a,b-c", pieces, ',');
    EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b-c"}));
}

}  // namespace
}  // namespace kq7
