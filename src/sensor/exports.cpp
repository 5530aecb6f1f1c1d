/* SPDX-License-Identifier: MIT */
// The sensor exports. Each works on g_sensor and refuses to run before the
// first KQ7SensorInit.
#include <cstring>
#include <iostream>

#include "nerb_kq7lib.h"
#include "sensor/sensor.h"

using kq7::g_sensor;

extern "C" {

KQ7_API int KQ7_CALL KQ7SensorInit(void) {
    std::cout << "KQ7SensorInit" << std::endl;
    kq7::Sensor* replaced = g_sensor;
    g_sensor = new kq7::Sensor();
    delete replaced;
    return g_sensor->Initialize() ? 1 : 0;
}

KQ7_API SensorInfoC KQ7_CALL KQ7Get_SensorInfo(void) {
    if (g_sensor == nullptr) {
        return kq7::ToSensorInfoC(kq7::SensorInfo());
    }
    const kq7::SensorInfo sensorinfo = g_sensor->info;
    return kq7::ToSensorInfoC(sensorinfo);
}

KQ7_API void KQ7_CALL KQ7SetShutterOpen(int state) {
    if (g_sensor != nullptr) {
        g_sensor->SetShutterState(state);
    }
}

KQ7_API int KQ7_CALL KQ7GetData(uint16_t* buffer, int shutter) {
    if (g_sensor == nullptr || buffer == nullptr || !g_sensor->Capture(shutter)) {
        return 0;
    }
    const int32_t bandnumber = g_sensor->info.bandnumber;
    std::memcpy(buffer, g_sensor->samples, static_cast<size_t>(bandnumber) * sizeof(uint16_t));
    return bandnumber;
}

KQ7_API int KQ7_CALL KQ7OptSnenser(int percent) {
    return g_sensor != nullptr ? g_sensor->AutoExposure(percent) : 0;
}

KQ7_API int KQ7_CALL KQ7SetWeaveLenthCoeff(const double* coeffs, int count) {
    if (g_sensor == nullptr || coeffs == nullptr || count < kq7::kMinCoefficients ||
        count > kq7::kMaxCoefficients) {
        return 0;
    }
    return g_sensor->WriteCoefficients(coeffs, count) ? 1 : 0;
}

}  // extern "C"
