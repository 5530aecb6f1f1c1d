/* SPDX-License-Identifier: MIT */
// The files of the page, built into kq7 from page/ and third_party/uplot/.
#pragma once

#include <cstddef>
#include <string>

namespace kq7serve {

struct Asset {
    const char* path;  // as the page asks for it, e.g. "/app.js"
    const char* contentType;
    const unsigned char* data;
    std::size_t size;
};

// The asset served at `path`, or nullptr.
const Asset* FindAsset(const std::string& path);

// The generated table (page_assets_data.cpp).
extern const Asset kPageAssets[];
extern const std::size_t kPageAssetCount;

}  // namespace kq7serve
