/* SPDX-License-Identifier: MIT */
#include "kq7/host_link.h"

#include "kq7/wait_progress.h"

namespace kq7tool {

namespace {

SerialReadFn g_read;
uint64_t g_received;

int64_t KQ7_CALL CountingRead(uint8_t* dest, int64_t maxLength) {
    TickWaitProgress();
    const int64_t n = g_read(dest, maxLength);
    if (n > 0) {
        g_received += static_cast<uint64_t>(n);
    }
    return n;
}

}  // namespace

void RegisterHostLink(SerialWriteFn write, SerialReadFn read) {
    g_read = read;
    g_received = 0;
    KQ7Set_Serial_FUN(write, CountingRead);
}

uint64_t BytesFromSensor() { return g_received; }

}  // namespace kq7tool
