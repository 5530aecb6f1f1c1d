/* SPDX-License-Identifier: MIT */
#include "sensor/split_string.h"

#include <sstream>

namespace kq7 {

void SplitString(const std::string& text, std::vector<std::string>& pieces, char delimiter) {
    pieces.clear();
    std::istringstream stream(text);
    std::string piece;
    while (std::getline(stream, piece, delimiter)) {
        pieces.push_back(piece);
    }
}

}  // namespace kq7
