/* SPDX-License-Identifier: MIT */
#include "kq7/versions.h"

#include "nerb_kq7lib.h"

namespace kq7tool {

std::string Kq7Version() {
    return std::to_string(NERB_KQ7LIB_VERSION_MAJOR) + "." + std::to_string(NERB_KQ7LIB_VERSION_MINOR) + "." +
           std::to_string(NERB_KQ7LIB_VERSION_PATCH);
}

std::string LibraryVersion() { return Kq7Version(); }

}  // namespace kq7tool
