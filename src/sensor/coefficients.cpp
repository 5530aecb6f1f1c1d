/* SPDX-License-Identifier: MIT */
#include <cstdio>

#include "link/exchanges.h"
#include "link/frame_format.h"
#include "link/transport.h"
#include "sensor/byte_order.h"
#include "sensor/sensor.h"

namespace kq7 {

static_assert(kMaxCoefficients * kDoubleSize <= kMaxRequestPayload, "coefficients must fit one frame");

bool Sensor::WriteCoefficients(const double* coeffs, int count) {
    std::printf("c++:a0:%f  a1:%f  a2:%f  a3:%f\n", coeffs[0], coeffs[1], coeffs[2], coeffs[3]);
    // Each coefficient goes out as an IEEE-754 double, most significant byte
    // first, converted in the payload and never in the host's array.
    uint8_t payload[kMaxRequestPayload];
    for (int k = 0; k < count; ++k) {
        EncodeBigEndianDouble(coeffs[k], payload + k * kDoubleSize);
    }
    const uint16_t length = static_cast<uint16_t>(count * kDoubleSize);
    return IsPayloadLength(SendCommand(CMD_SET_COEFF, payload, length));
}

}  // namespace kq7
