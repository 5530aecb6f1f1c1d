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
    BuiltInDevice& builtIn = TheBuiltInDevice();
    const DeviceCall call(builtIn.device);
    if (!call.Refused()) {
        builtIn.write = write;
        builtIn.read = read;
        builtIn.device.link.Attach(BuiltInWrite, BuiltInRead, &builtIn);
    }
}

KQ7_API int KQ7_CALL KQ7SensorInit(void) {
    BuiltInDevice& builtIn = TheBuiltInDevice();
    const DeviceCall call(builtIn.device);
    if (call.Refused()) {
        return 0;
    }
    builtIn.device.log.Write(kq7::LogRoute::kStream, "KQ7SensorInit");
    builtIn.sensorCreated = true;
    if (!builtIn.device.link.Attached()) {
        builtIn.device.sensor.Reset();
        return 0;
    }
    return builtIn.device.sensor.Initialize() == KQ7_OK ? 1 : 0;
}

KQ7_API SensorInfoC KQ7_CALL KQ7Get_SensorInfo(void) {
    const BuiltInDevice& builtIn = TheBuiltInDevice();
    const DeviceCall call(builtIn.device);
    if (call.Refused() || !builtIn.sensorCreated) {
        return kq7::ToSensorInfoC(kq7::SensorInfo());
    }
    return kq7::ToSensorInfoC(builtIn.device.sensor.info);
}

KQ7_API void KQ7_CALL KQ7SetShutterOpen(int state) {
    BuiltInDevice& builtIn = TheBuiltInDevice();
    const DeviceCall call(builtIn.device);
    if (!call.Refused() && builtIn.sensorCreated) {
        builtIn.device.sensor.SetShutterState(state);
    }
}

KQ7_API int KQ7_CALL KQ7GetData(uint16_t* buffer, int shutter) {
    BuiltInDevice& builtIn = TheBuiltInDevice();
    const DeviceCall call(builtIn.device);
    kq7::Sensor& sensor = builtIn.device.sensor;
    if (call.Refused() || !builtIn.sensorCreated || buffer == nullptr || sensor.Capture(shutter) != KQ7_OK) {
        return 0;
    }
    const int32_t bandnumber = sensor.info.bandnumber;
    std::memcpy(buffer, sensor.samples, static_cast<size_t>(bandnumber) * sizeof(uint16_t));
    return bandnumber;
}

KQ7_API int KQ7_CALL KQ7OptSnenser(int percent) {
    BuiltInDevice& builtIn = TheBuiltInDevice();
    const DeviceCall call(builtIn.device);
    if (call.Refused() || !builtIn.sensorCreated) {
        return 0;
    }
    int32_t shutter = 0;
    const int result = builtIn.device.sensor.AutoExposure(percent, shutter);
    return result == KQ7_OK || result == KQ7_ERR_OUT_OF_RANGE ? shutter : 0;
}

KQ7_API int KQ7_CALL KQ7SetWeaveLenthCoeff(const double* coeffs, int count) {
    BuiltInDevice& builtIn = TheBuiltInDevice();
    const DeviceCall call(builtIn.device);
    if (call.Refused() || !builtIn.sensorCreated || coeffs == nullptr || count < kq7::kMinCoefficients ||
        count > kq7::kMaxCoefficients) {
        return 0;
    }
    return builtIn.device.sensor.WriteCoefficients(coeffs, count) == KQ7_OK ? 1 : 0;
}

}  // extern "C"
