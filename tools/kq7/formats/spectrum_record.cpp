/* SPDX-License-Identifier: MIT */
#include "kq7/formats/spectrum_record.h"

namespace kq7tool {

std::string FieldValue(const MetadataFields& fields, const std::string& key) {
    for (const auto& [name, value] : fields) {
        if (name == key) {
            return value;
        }
    }
    return "";
}

}  // namespace kq7tool
