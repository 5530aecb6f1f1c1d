/* SPDX-License-Identifier: MIT */
// TEMPORARY: the device interface over the seven exports, until the library
// implements it. One device at a time; cancel has no effect.
#include "nerb_kq7lib.h"

namespace {

struct Link {
    kq7_write_fn write = nullptr;
    kq7_read_fn read = nullptr;
    void* context = nullptr;
} g_link;

int64_t KQ7_CALL ShimWrite(const uint8_t* data, int64_t length) { return g_link.write(g_link.context, data, length); }
int64_t KQ7_CALL ShimRead(uint8_t* dest, int64_t maxLength) { return g_link.read(g_link.context, dest, maxLength); }

}  // namespace

extern "C" {

kq7_device* KQ7_CALL kq7_open(kq7_write_fn write, kq7_read_fn read, void* context) {
    g_link = Link{write, read, context};
    KQ7Set_Serial_FUN(ShimWrite, ShimRead);
    return reinterpret_cast<kq7_device*>(&g_link);
}
void KQ7_CALL kq7_close(kq7_device*) {}
int KQ7_CALL kq7_identify(kq7_device*) { return KQ7SensorInit() == 1 ? KQ7_OK : KQ7_ERR_NO_REPLY; }
int KQ7_CALL kq7_get_info(const kq7_device*, SensorInfoC* info) {
    *info = KQ7Get_SensorInfo();
    return KQ7_OK;
}
int KQ7_CALL kq7_set_shutter_open(kq7_device*, int open) {
    KQ7SetShutterOpen(open);
    return KQ7_OK;
}
int KQ7_CALL kq7_capture(kq7_device*, int32_t shutter, uint16_t* samples, int32_t) {
    const int n = KQ7GetData(samples, shutter);
    return n > 0 ? n : KQ7_ERR_NO_REPLY;
}
int KQ7_CALL kq7_auto_exposure(kq7_device*, int percent, int32_t* shutter) {
    *shutter = KQ7OptSnenser(percent);
    return *shutter > 0 ? KQ7_OK : KQ7_ERR_NO_REPLY;
}
void KQ7_CALL kq7_cancel(kq7_device*) {}
const char* KQ7_CALL kq7_strerror(int result) { return result == KQ7_OK ? "ok" : "no reply from the sensor"; }

}  // extern "C"
