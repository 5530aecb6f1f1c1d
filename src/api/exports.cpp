/* SPDX-License-Identifier: MIT */
// The seven exports, on the built-in device. Their names, results and
// console lines are a binary contract with existing hosts, misspellings
// included (KQ7OptSnenser, KQ7SetWeaveLenthCoeff): do not rename them.
//
// Each export but KQ7Set_Serial_FUN refuses to run before the first
// KQ7SensorInit. None runs while another is running (called from inside a
// host function, or from a second thread): it returns its failure value at
// once, sending nothing.
#include <cstring>

#include "api/device.h"
#include "nerb_kq7lib.h"

using kq7::BuiltInDevice;
using kq7::DeviceCall;
using kq7::TheBuiltInDevice;

namespace {

enum Requirement { kAnyState, kSensorCreated };

// Runs `operation` on the built-in device as the one call on it: `refused`
// while another call runs, before the first KQ7SensorInit when the export
// needs the sensor, and for invalid arguments.
template <typename BuiltIn, typename Result, typename Operation>
Result Run(BuiltIn& builtIn, Requirement requirement, bool argumentsValid, Result refused, Operation operation) {
    const DeviceCall call(builtIn.device);
    if (call.Refused() || (requirement == kSensorCreated && !builtIn.sensorCreated) || !argumentsValid) {
        return refused;
    }
    return operation(builtIn);
}

// The host's context-free functions, reached through the link's context.
int64_t KQ7_CALL BuiltInWrite(void* context, const uint8_t* data, int64_t length) {
    const BuiltInDevice& builtIn = *static_cast<const BuiltInDevice*>(context);
    return builtIn.write != nullptr ? builtIn.write(data, length) : 0;
}

int64_t KQ7_CALL BuiltInRead(void* context, uint8_t* dest, int64_t maxLength) {
    const BuiltInDevice& builtIn = *static_cast<const BuiltInDevice*>(context);
    return builtIn.read != nullptr ? builtIn.read(dest, maxLength) : 0;
}

}  // namespace

namespace kq7 {

BuiltInDevice::BuiltInDevice() {
    // Standard output, by the two routes the exports have always used.
    device.log.UseStandardOutput();
}

BuiltInDevice& TheBuiltInDevice() {
    static BuiltInDevice builtIn;
    return builtIn;
}

}  // namespace kq7

extern "C" {

KQ7_API void KQ7_CALL KQ7Set_Serial_FUN(SerialWriteFn write, SerialReadFn read) {
    Run(TheBuiltInDevice(), kAnyState, true, 0, [=](BuiltInDevice& builtIn) {
        builtIn.write = write;
        builtIn.read = read;
        builtIn.device.link.Attach(BuiltInWrite, BuiltInRead, &builtIn);
        return 0;
    });
}

KQ7_API int KQ7_CALL KQ7SensorInit(void) {
    return Run(TheBuiltInDevice(), kAnyState, true, 0, [](BuiltInDevice& builtIn) {
        builtIn.device.log.Write(kq7::LogRoute::kStream, "KQ7SensorInit");
        builtIn.sensorCreated = true;
        if (!builtIn.device.link.Attached()) {
            builtIn.device.sensor.Reset();
            return 0;
        }
        return builtIn.device.sensor.Initialize() == KQ7_OK ? 1 : 0;
    });
}

KQ7_API SensorInfoC KQ7_CALL KQ7Get_SensorInfo(void) {
    const BuiltInDevice& builtIn = TheBuiltInDevice();
    return Run(builtIn, kSensorCreated, true, kq7::ToSensorInfoC(kq7::SensorInfo()),
               [](const BuiltInDevice& b) { return kq7::ToSensorInfoC(b.device.sensor.Info()); });
}

KQ7_API void KQ7_CALL KQ7SetShutterOpen(int state) {
    Run(TheBuiltInDevice(), kSensorCreated, true, 0,
        [state](BuiltInDevice& builtIn) { return builtIn.device.sensor.SetShutterState(state); });
}

KQ7_API int KQ7_CALL KQ7GetData(uint16_t* buffer, int shutter) {
    return Run(TheBuiltInDevice(), kSensorCreated, buffer != nullptr, 0, [=](BuiltInDevice& builtIn) {
        kq7::Sensor& sensor = builtIn.device.sensor;
        if (sensor.Capture(shutter) != KQ7_OK) {
            return 0;
        }
        const int bandnumber = sensor.Info().bandnumber;
        std::memcpy(buffer, sensor.Samples(), static_cast<size_t>(bandnumber) * sizeof(uint16_t));
        return bandnumber;
    });
}

KQ7_API int KQ7_CALL KQ7OptSnenser(int percent) {
    return Run(TheBuiltInDevice(), kSensorCreated, true, 0, [percent](BuiltInDevice& builtIn) {
        int32_t shutter = 0;
        const int result = builtIn.device.sensor.AutoExposure(percent, shutter);
        return result == KQ7_OK || result == KQ7_ERR_OUT_OF_RANGE ? shutter : 0;
    });
}

KQ7_API int KQ7_CALL KQ7SetWeaveLenthCoeff(const double* coeffs, int count) {
    const bool valid = coeffs != nullptr && count >= kq7::kMinCoefficients && count <= kq7::kMaxCoefficients;
    return Run(TheBuiltInDevice(), kSensorCreated, valid, 0, [=](BuiltInDevice& builtIn) {
        return builtIn.device.sensor.WriteCoefficients(coeffs, count) == KQ7_OK ? 1 : 0;
    });
}

}  // extern "C"
