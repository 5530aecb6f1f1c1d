/* SPDX-License-Identifier: MIT */
// The seven exports. Their names, results and console lines are a binary
// contract with existing hosts, misspellings included (KQ7OptSnenser,
// KQ7SetWeaveLenthCoeff): do not rename them.
//
// Each export but KQ7Set_Serial_FUN works on g_sensor and refuses to run
// before the first KQ7SensorInit. None runs while another is running (called
// from inside a host function, or from a second thread): it returns its
// failure value at once, sending nothing.
#include <atomic>
#include <cstring>
#include <iostream>

#include "link/transport.h"
#include "nerb_kq7lib.h"
#include "sensor/sensor.h"

using kq7::g_sensor;

namespace {

std::atomic<bool> exportRunning{false};

// Holds the exports for its lifetime, if no other export held them already.
// A flag rather than a lock: a nested or concurrent call must not wait.
class ExportCall {
public:
    ExportCall() : entered_(!exportRunning.exchange(true, std::memory_order_acquire)) {}
    ~ExportCall() {
        if (entered_) {
            exportRunning.store(false, std::memory_order_release);
        }
    }
    ExportCall(const ExportCall&) = delete;
    ExportCall& operator=(const ExportCall&) = delete;

    bool Refused() const { return !entered_; }

private:
    bool entered_;
};

}  // namespace

extern "C" {

KQ7_API void KQ7_CALL KQ7Set_Serial_FUN(SerialWriteFn write, SerialReadFn read) {
    const ExportCall call;
    if (!call.Refused()) {
        kq7::RegisterHostFunctions(write, read);
    }
}

KQ7_API int KQ7_CALL KQ7SensorInit(void) {
    const ExportCall call;
    if (call.Refused()) {
        return 0;
    }
    std::cout << "KQ7SensorInit" << std::endl;
    kq7::Sensor* replaced = g_sensor;
    g_sensor = new kq7::Sensor();
    delete replaced;
    return g_sensor->Initialize() ? 1 : 0;
}

KQ7_API SensorInfoC KQ7_CALL KQ7Get_SensorInfo(void) {
    const ExportCall call;
    if (call.Refused() || g_sensor == nullptr) {
        return kq7::ToSensorInfoC(kq7::SensorInfo());
    }
    const kq7::SensorInfo sensorinfo = g_sensor->info;
    return kq7::ToSensorInfoC(sensorinfo);
}

KQ7_API void KQ7_CALL KQ7SetShutterOpen(int state) {
    const ExportCall call;
    if (!call.Refused() && g_sensor != nullptr) {
        g_sensor->SetShutterState(state);
    }
}

KQ7_API int KQ7_CALL KQ7GetData(uint16_t* buffer, int shutter) {
    const ExportCall call;
    if (call.Refused() || g_sensor == nullptr || buffer == nullptr || !g_sensor->Capture(shutter)) {
        return 0;
    }
    const int32_t bandnumber = g_sensor->info.bandnumber;
    std::memcpy(buffer, g_sensor->samples, static_cast<size_t>(bandnumber) * sizeof(uint16_t));
    return bandnumber;
}

KQ7_API int KQ7_CALL KQ7OptSnenser(int percent) {
    const ExportCall call;
    return !call.Refused() && g_sensor != nullptr ? g_sensor->AutoExposure(percent) : 0;
}

KQ7_API int KQ7_CALL KQ7SetWeaveLenthCoeff(const double* coeffs, int count) {
    const ExportCall call;
    if (call.Refused() || g_sensor == nullptr || coeffs == nullptr || count < kq7::kMinCoefficients ||
        count > kq7::kMaxCoefficients) {
        return 0;
    }
    return g_sensor->WriteCoefficients(coeffs, count) ? 1 : 0;
}

}  // extern "C"
