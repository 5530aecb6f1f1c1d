/* SPDX-License-Identifier: MIT */
// The device interface: the kq7_ functions over any number of devices.
#include <cstring>
#include <new>

#include "api/device.h"
#include "nerb_kq7lib.h"

using kq7::DeviceCall;

namespace {

enum Requirement { kAnyState, kIdentified };

// Runs `operation` as the one call on `device`: KQ7_ERR_INVALID_ARGUMENT for a
// null device or invalid arguments, KQ7_ERR_IN_USE while another call runs,
// KQ7_ERR_NOT_IDENTIFIED when the operation needs an identified sensor.
template <typename Device, typename Operation>
int Run(Device* device, bool argumentsValid, Requirement requirement, Operation operation) {
    if (device == nullptr || !argumentsValid) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const DeviceCall call(*device);
    if (call.Refused()) {
        return KQ7_ERR_IN_USE;
    }
    if (requirement == kIdentified && !device->identified) {
        return KQ7_ERR_NOT_IDENTIFIED;
    }
    return operation(*device);
}

}  // namespace

extern "C" {

KQ7_API kq7_device* KQ7_CALL kq7_open(kq7_write_fn write, kq7_read_fn read, void* context) {
    if (write == nullptr || read == nullptr) {
        return nullptr;
    }
    kq7_device* device = new (std::nothrow) kq7_device;
    if (device != nullptr) {
        device->link.Attach(write, read, context);
    }
    return device;
}

KQ7_API void KQ7_CALL kq7_close(kq7_device* device) {
    // Taken like a call and never released: a close from inside the device's
    // own call, or from another thread during one, would free what that call
    // still uses.
    if (device != nullptr && !device->inUse.exchange(true, std::memory_order_acquire)) {
        delete device;
    }
}

KQ7_API int KQ7_CALL kq7_identify(kq7_device* device) {
    return Run(device, true, kAnyState, [](kq7_device& d) {
        const int result = d.sensor.Initialize();
        d.identified = result == KQ7_OK;
        return result;
    });
}

KQ7_API int KQ7_CALL kq7_get_info(const kq7_device* device, SensorInfoC* info) {
    return Run(device, info != nullptr, kIdentified, [info](const kq7_device& d) {
        *info = kq7::ToSensorInfoC(d.sensor.Info());
        return KQ7_OK;
    });
}

KQ7_API int KQ7_CALL kq7_set_shutter_open(kq7_device* device, int open) {
    return Run(device, open == 0 || open == 1, kIdentified,
               [open](kq7_device& d) { return d.sensor.SetShutterState(open); });
}

KQ7_API int KQ7_CALL kq7_capture(kq7_device* device, int32_t shutter, uint16_t* samples, int32_t capacity) {
    return Run(device, samples != nullptr, kIdentified, [=](kq7_device& d) {
        const int32_t bandnumber = d.sensor.Info().bandnumber;
        // The host's buffer is never trusted to be big enough.
        if (capacity < bandnumber) {
            return KQ7_ERR_INVALID_ARGUMENT;
        }
        const int result = d.sensor.Capture(shutter);
        if (result != KQ7_OK) {
            return result;
        }
        std::memcpy(samples, d.sensor.Samples(), static_cast<size_t>(bandnumber) * sizeof(uint16_t));
        return bandnumber;
    });
}

KQ7_API int KQ7_CALL kq7_auto_exposure(kq7_device* device, int percent, int32_t* shutter) {
    return Run(device, shutter != nullptr, kIdentified,
               [=](kq7_device& d) { return d.sensor.AutoExposure(percent, *shutter); });
}

KQ7_API int KQ7_CALL kq7_write_coefficients(kq7_device* device, const double* coeffs, int count) {
    const bool valid = coeffs != nullptr && count >= kq7::kMinCoefficients && count <= kq7::kMaxCoefficients;
    return Run(device, valid, kIdentified, [=](kq7_device& d) { return d.sensor.WriteCoefficients(coeffs, count); });
}

KQ7_API void KQ7_CALL kq7_cancel(kq7_device* device) {
    (device != nullptr ? *device : kq7::TheBuiltInDevice().device).link.Cancel();
}

KQ7_API void KQ7_CALL kq7_set_log(kq7_device* device, kq7_log_fn log, void* context) {
    if (device == nullptr) {
        return;
    }
    const DeviceCall call(*device);
    if (!call.Refused()) {
        device->log.SetCallback(log, context);
    }
}

}  // extern "C"
