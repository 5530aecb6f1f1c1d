/* SPDX-License-Identifier: MIT */
#include <cstdio>

#include "byte_order.h"
#include "frame_format.h"
#include "sensor/sensor.h"

namespace kq7 {

static_assert(kMaxCoefficients * kDoubleSize <= kMaxRequestPayload, "coefficients must fit one frame");

int Sensor::WriteCoefficients(const double* coeffs, int count) {
    if (log_.Enabled()) {
        // Formatted printing as it has always been, "%f" included.
        char line[kLogLineCapacity];
        std::snprintf(line, sizeof line, "c++:a0:%f  a1:%f  a2:%f  a3:%f", coeffs[0], coeffs[1], coeffs[2],
                      coeffs[3]);
        log_.Write(LogRoute::kPrintf, line);
    }
    // Each coefficient goes out as an IEEE-754 double, most significant byte
    // first, converted in the payload and never in the host's array.
    uint8_t payload[kMaxRequestPayload];
    for (int k = 0; k < count; ++k) {
        EncodeBigEndianDouble(coeffs[k], payload + k * kDoubleSize);
    }
    const uint16_t length = static_cast<uint16_t>(count * kDoubleSize);
    return link_.SendCommand(CMD_SET_COEFF, payload, length).code;
}

}  // namespace kq7
