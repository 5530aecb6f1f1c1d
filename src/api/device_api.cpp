/* SPDX-License-Identifier: MIT */
// The device interface: the kq7_ functions over any number of devices.
#include <cstring>
#include <new>

#include "api/device.h"
#include "nerb_kq7lib.h"

using kq7::DeviceCall;

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

KQ7_API void KQ7_CALL kq7_close(kq7_device* device) { delete device; }

KQ7_API int KQ7_CALL kq7_identify(kq7_device* device) {
    if (device == nullptr) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const DeviceCall call(*device);
    if (call.Refused()) {
        return KQ7_ERR_IN_USE;
    }
    const int result = device->sensor.Initialize();
    device->identified = result == KQ7_OK;
    return result;
}

KQ7_API int KQ7_CALL kq7_get_info(const kq7_device* device, SensorInfoC* info) {
    if (device == nullptr || info == nullptr) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const DeviceCall call(*device);
    if (call.Refused()) {
        return KQ7_ERR_IN_USE;
    }
    if (!device->identified) {
        return KQ7_ERR_NOT_IDENTIFIED;
    }
    *info = kq7::ToSensorInfoC(device->sensor.info);
    return KQ7_OK;
}

KQ7_API int KQ7_CALL kq7_set_shutter_open(kq7_device* device, int open) {
    if (device == nullptr || (open != 0 && open != 1)) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const DeviceCall call(*device);
    if (call.Refused()) {
        return KQ7_ERR_IN_USE;
    }
    return device->identified ? device->sensor.SetShutterState(open) : KQ7_ERR_NOT_IDENTIFIED;
}

KQ7_API int KQ7_CALL kq7_capture(kq7_device* device, int32_t shutter, uint16_t* samples, int32_t capacity) {
    if (device == nullptr || samples == nullptr) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const DeviceCall call(*device);
    if (call.Refused()) {
        return KQ7_ERR_IN_USE;
    }
    if (!device->identified) {
        return KQ7_ERR_NOT_IDENTIFIED;
    }
    kq7::Sensor& sensor = device->sensor;
    const int32_t bandnumber = sensor.info.bandnumber;
    // The host's buffer is never trusted to be big enough.
    if (capacity < bandnumber) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const int result = sensor.Capture(shutter);
    if (result != KQ7_OK) {
        return result;
    }
    std::memcpy(samples, sensor.samples, static_cast<size_t>(bandnumber) * sizeof(uint16_t));
    return bandnumber;
}

KQ7_API int KQ7_CALL kq7_auto_exposure(kq7_device* device, int percent, int32_t* shutter) {
    if (device == nullptr || shutter == nullptr) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const DeviceCall call(*device);
    if (call.Refused()) {
        return KQ7_ERR_IN_USE;
    }
    return device->identified ? device->sensor.AutoExposure(percent, *shutter) : KQ7_ERR_NOT_IDENTIFIED;
}

KQ7_API int KQ7_CALL kq7_write_coefficients(kq7_device* device, const double* coeffs, int count) {
    if (device == nullptr || coeffs == nullptr || count < kq7::kMinCoefficients || count > kq7::kMaxCoefficients) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const DeviceCall call(*device);
    if (call.Refused()) {
        return KQ7_ERR_IN_USE;
    }
    return device->identified ? device->sensor.WriteCoefficients(coeffs, count) : KQ7_ERR_NOT_IDENTIFIED;
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
