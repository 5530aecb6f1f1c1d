/* SPDX-License-Identifier: MIT */
// The device interface: the kq7_ functions over any number of devices.
#include <cstring>
#include <new>

#include "api/device.h"
#include "nerb_kq7lib.h"

using kq7::DeviceCall;
using kq7::LogLine;

namespace {

enum Requirement { kAnyState, kIdentified };

// Records the outcome of `function` for kq7_last_error_message.
void RecordOutcome(kq7_device& device, const char* function, int result) {
    device.lastError = LogLine();
    if (result < 0) {
        device.lastError.Text(function).Text(": ").Text(kq7_strerror(result));
        if (device.link.Detail()[0] != '\0') {
            device.lastError.Text(": ").Text(device.link.Detail());
        }
    }
}

// Runs `operation` as the one call on `device`: KQ7_ERR_INVALID_ARGUMENT for a
// null device, KQ7_ERR_IN_USE while another call runs, then
// KQ7_ERR_INVALID_ARGUMENT when `invalidArgument` names a wrong argument and
// KQ7_ERR_NOT_IDENTIFIED when the operation needs an identified sensor.
// Nothing is sent in these cases.
template <typename Operation>
int Run(kq7_device* device, const char* function, const char* invalidArgument, Requirement requirement,
        Operation operation) {
    if (device == nullptr) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const DeviceCall call(*device);
    if (call.Refused()) {
        return KQ7_ERR_IN_USE;
    }
    device->link.StartCall(device->timeoutMs.load(std::memory_order_relaxed));
    int result = KQ7_OK;
    if (invalidArgument != nullptr) {
        LogLine detail;
        device->link.NoteDetail(detail.Text(invalidArgument));
        result = KQ7_ERR_INVALID_ARGUMENT;
    } else if (requirement == kIdentified && !device->identified) {
        result = KQ7_ERR_NOT_IDENTIFIED;
    } else {
        result = operation(*device);
    }
    RecordOutcome(*device, function, result);
    return result;
}

// The identification's own check on top of the sensor's: a spectrum of no
// bands is no sensor a host can use.
int Identify(kq7_device& d) {
    int result = d.sensor.Initialize();
    if (result == KQ7_OK && d.sensor.Info().bandnumber == 0) {
        LogLine detail;
        d.link.NoteDetail(detail.Text("the sensor reports 0 bands"));
        result = KQ7_ERR_BAD_IDENTIFICATION;
    }
    d.identified = result == KQ7_OK;
    const std::lock_guard<std::mutex> lock(d.publishedLock);
    d.published = d.identified;
    d.publishedInfo = kq7::ToSensorInfoC(d.sensor.Info());
    return result;
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
    // During a call the close cancels it, and the call frees the device as it
    // lets it go (DeviceCall).
    if (device != nullptr && device->link.Gate().Close()) {
        delete device;
    }
}

KQ7_API int KQ7_CALL kq7_identify(kq7_device* device) {
    return Run(device, "kq7_identify", nullptr, kAnyState, Identify);
}

KQ7_API int KQ7_CALL kq7_get_info(const kq7_device* device, kq7_sensor_info* info) {
    if (device == nullptr || info == nullptr) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    const std::lock_guard<std::mutex> lock(device->publishedLock);
    if (!device->published) {
        return KQ7_ERR_NOT_IDENTIFIED;
    }
    *info = device->publishedInfo;
    return KQ7_OK;
}

KQ7_API int KQ7_CALL kq7_set_shutter_open(kq7_device* device, int open) {
    return Run(device, "kq7_set_shutter_open", open == 0 || open == 1 ? nullptr : "open must be 0 or 1",
               kIdentified, [open](kq7_device& d) { return d.sensor.SetShutterState(open); });
}

KQ7_API int KQ7_CALL kq7_capture(kq7_device* device, int32_t shutter, uint16_t* samples, int32_t capacity) {
    const char* invalid = samples == nullptr ? "samples is NULL" : shutter < 0 ? "shutter is negative" : nullptr;
    return Run(device, "kq7_capture", invalid, kIdentified, [=](kq7_device& d) {
        const int32_t bandnumber = d.sensor.Info().bandnumber;
        // The host's buffer is never trusted to be big enough.
        if (capacity < bandnumber) {
            LogLine detail;
            d.link.NoteDetail(detail.Text("capacity ").Int(capacity).Text(" is below the band count ").Int(bandnumber));
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
    const char* invalid = shutter == nullptr               ? "shutter is NULL"
                          : percent < 1 || percent > 100 ? "percent lies outside 1 to 100"
                                                         : nullptr;
    return Run(device, "kq7_auto_exposure", invalid, kIdentified,
               [=](kq7_device& d) { return d.sensor.AutoExposure(percent, *shutter); });
}

KQ7_API int KQ7_CALL kq7_write_coefficients(kq7_device* device, const double* coeffs, int count) {
    const char* invalid = coeffs == nullptr ? "coeffs is NULL"
                          : count < kq7::kMinCoefficients || count > kq7::kMaxCoefficients
                              ? "count lies outside 4 to 124"
                              : nullptr;
    return Run(device, "kq7_write_coefficients", invalid, kIdentified,
               [=](kq7_device& d) { return d.sensor.WriteCoefficients(coeffs, count); });
}

KQ7_API void KQ7_CALL kq7_cancel(kq7_device* device) {
    (device != nullptr ? *device : kq7::TheBuiltInDevice().device).link.Cancel();
}

KQ7_API int KQ7_CALL kq7_set_log(kq7_device* device, kq7_log_fn log, void* context) {
    return Run(device, "kq7_set_log", nullptr, kAnyState, [=](kq7_device& d) {
        d.log.SetCallback(log, context);
        return KQ7_OK;
    });
}

KQ7_API int KQ7_CALL kq7_set_timeout(kq7_device* device, int32_t milliseconds) {
    if (device == nullptr || milliseconds < 0) {
        return KQ7_ERR_INVALID_ARGUMENT;
    }
    device->timeoutMs.store(milliseconds, std::memory_order_relaxed);
    return KQ7_OK;
}

KQ7_API const char* KQ7_CALL kq7_last_error_message(const kq7_device* device) {
    return device != nullptr ? device->lastError.c_str() : "kq7_last_error_message: invalid argument: device is NULL";
}

}  // extern "C"
