/* SPDX-License-Identifier: MIT */
#include "kq7/serve/page_assets.h"

namespace kq7serve {

const Asset* FindAsset(const std::string& path) {
    for (std::size_t i = 0; i < kPageAssetCount; ++i) {
        if (path == kPageAssets[i].path) {
            return &kPageAssets[i];
        }
    }
    return nullptr;
}

}  // namespace kq7serve
