/* SPDX-License-Identifier: MIT */
#pragma once

#include <string>
#include <vector>

namespace kq7 {

// Clears `pieces` and fills it with the parts of `text` between delimiters.
// An empty piece between two delimiters or before a leading one counts; a
// trailing delimiter adds no empty piece; an empty text gives no piece.
void SplitString(const std::string& text, std::vector<std::string>& pieces, char delimiter);

}  // namespace kq7
