/* SPDX-License-Identifier: MIT */
#include "nerb_kq7lib.h"

extern "C" {

KQ7_API const char* KQ7_CALL kq7_strerror(int result) {
    switch (result) {
        case KQ7_OK:
            return "success";
        case KQ7_ERR_INVALID_ARGUMENT:
            return "invalid argument";
        case KQ7_ERR_NOT_IDENTIFIED:
            return "sensor not identified";
        case KQ7_ERR_NO_REPLY:
            return "no reply from the sensor";
        case KQ7_ERR_REJECTED_REPLY:
            return "rejected reply (header, command, length or CRC wrong)";
        case KQ7_ERR_BUSY:
            return "sensor busy";
        case KQ7_ERR_BAD_IDENTIFICATION:
            return "unusable identification (band count out of range or short coefficient reply)";
        case KQ7_ERR_SHORT_SPECTRUM:
            return "spectrum shorter than the band count";
        case KQ7_ERR_OUT_OF_RANGE:
            return "exposure search ended at a bound";
        case KQ7_ERR_CANCELLED:
            return "cancelled";
        case KQ7_ERR_IN_USE:
            return "device in use by another call";
        case KQ7_ERR_TIMEOUT:
            return "the call's time limit passed";
        case KQ7_ERR_IO:
            return "a link function failed";
        default:
            break;
    }
    return result > 0 ? "success" : "unknown result code";
}

KQ7_API const char* KQ7_CALL kq7_version(void) { return NERB_KQ7LIB_VERSION_STRING; }

KQ7_API int KQ7_CALL kq7_version_number(void) { return KQ7_VERSION_NUMBER; }

}  // extern "C"
