/* SPDX-License-Identifier: MIT */
/* A host in plain C, as hosts of the DLL are written: it emulates a sensor in
 * __stdcall callbacks and drives the seven exports through the import library
 * and again through LoadLibraryA/GetProcAddress. A calling-convention mismatch
 * between host and DLL leaves the stack pointer a few bytes off after every
 * call; the host therefore records it on every callback entry (by its place
 * in the loop) and at the top of every loop, and fails on any drift.
 *
 * Prints its figures on stderr (the library's own lines go to stdout); exits 0
 * when every check held. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "nerb_kq7lib.h"

/* Overridable so that a build with __cdecl callbacks can show the checks
 * catching a mismatch. */
#ifndef HOST_CALLBACK
#define HOST_CALLBACK KQ7_CALL
#endif

#if defined(__x86_64__)
#define READ_STACK_POINTER(sp) __asm__ volatile("mov %%rsp, %0" : "=r"(sp))
#elif defined(__i386__)
#define READ_STACK_POINTER(sp) __asm__ volatile("mov %%esp, %0" : "=r"(sp))
#else
#error "x86 or x86-64 only"
#endif

enum {
    kBands = 16,
    kLoopsPerWay = 5000,
    kMaxCallbacksPerLoop = 256,
    kOutboxSize = 4096,
    kHeader0 = 0x55,
    kHeader1 = 0xAA,
    kCrcWildcard = 0xEE, /* accepted in place of a CRC */
    kCmdGetIdent = 0x50,
    kCmdGetBandnumber = 0x57,
    kCmdGetCoeff = 0x59,
    kCmdGetData = 0x61
};

static const double kCoefficients[4] = {0.0, 0.0, 0.5, 399.9};

/* ---- the stack pointer, watched ---- */

/* Every loop makes the same calls in the same order, so the n-th callback of
 * every loop must find the stack pointer where the n-th of the first loop
 * found it. */
static uintptr_t g_firstLoopEntries[kMaxCallbacksPerLoop];
static int g_firstLoopCount;
static int g_callIndex = -1; /* -1: outside the loops */
static int g_isFirstLoop;
static long g_watchedCalls;
static long g_driftedCalls;

static void StartLoop(int first) {
    g_isFirstLoop = first;
    g_callIndex = 0;
    if (first) {
        g_firstLoopCount = 0;
    }
}

static void NoteCallbackEntry(uintptr_t sp) {
    if (g_callIndex < 0) {
        return;
    }
    ++g_watchedCalls;
    if (g_isFirstLoop) {
        if (g_firstLoopCount < kMaxCallbacksPerLoop) {
            g_firstLoopEntries[g_firstLoopCount++] = sp;
        }
    } else if (g_callIndex >= g_firstLoopCount || g_firstLoopEntries[g_callIndex] != sp) {
        ++g_driftedCalls;
    }
    ++g_callIndex;
}

/* ---- the emulated sensor: every request answered at once ---- */

static uint8_t g_outbox[kOutboxSize];
static size_t g_outboxLength;

static void PutByte(uint8_t byte) {
    if (g_outboxLength < sizeof g_outbox) {
        g_outbox[g_outboxLength++] = byte;
    }
}

/* A reply frame: header, command, big-endian length, payload, CRC wildcard. */
static void QueueReply(uint8_t command, const uint8_t *payload, size_t length) {
    size_t i;
    PutByte(kHeader0);
    PutByte(kHeader1);
    PutByte(command);
    PutByte((uint8_t)(length >> 8));
    PutByte((uint8_t)(length & 0xFF));
    for (i = 0; i < length; ++i) {
        PutByte(payload[i]);
    }
    PutByte(kCrcWildcard);
    PutByte(kCrcWildcard);
}

static void PutBigEndian(uint8_t *dest, uint64_t value, int size) {
    int i;
    for (i = 0; i < size; ++i) {
        dest[i] = (uint8_t)(value >> (8 * (size - 1 - i)));
    }
}

/* The payload each request gets; empty for acknowledgements. */
static size_t ReplyPayload(uint8_t command, uint8_t *payload) {
    size_t i;
    uint64_t bits;
    switch (command) {
        case kCmdGetIdent:
            memcpy(payload, "DL-42", 5);
            return 5;
        case kCmdGetBandnumber:
            PutBigEndian(payload, kBands, 4);
            return 4;
        case kCmdGetCoeff:
            for (i = 0; i < 4; ++i) {
                memcpy(&bits, &kCoefficients[i], sizeof bits);
                PutBigEndian(payload + 8 * i, bits, 8);
            }
            return 32;
        case kCmdGetData:
            for (i = 0; i < kBands; ++i) { /* sample i is 1000 + i, low byte first */
                payload[2 * i] = (uint8_t)((1000 + i) & 0xFF);
                payload[2 * i + 1] = (uint8_t)((1000 + i) >> 8);
            }
            return 2 * kBands;
        default:
            return 0;
    }
}

static int64_t HOST_CALLBACK SensorWrite(const uint8_t *data, int64_t length) {
    uintptr_t sp;
    uint8_t payload[2 * kBands];
    READ_STACK_POINTER(sp);
    NoteCallbackEntry(sp);
    if (length >= 3) {
        QueueReply(data[2], payload, ReplyPayload(data[2], payload));
    }
    return length;
}

static int64_t HOST_CALLBACK SensorRead(uint8_t *dest, int64_t maxLength) {
    uintptr_t sp;
    size_t n = g_outboxLength;
    READ_STACK_POINTER(sp);
    NoteCallbackEntry(sp);
    if (maxLength < 0) {
        return 0;
    }
    if ((uint64_t)maxLength < n) {
        n = (size_t)maxLength;
    }
    memcpy(dest, g_outbox, n);
    memmove(g_outbox, g_outbox + n, g_outboxLength - n);
    g_outboxLength -= n;
    return (int64_t)n;
}

/* ---- the host ---- */

struct Exports {
    void(KQ7_CALL *setSerial)(SerialWriteFn, SerialReadFn);
    int(KQ7_CALL *init)(void);
    SensorInfoC(KQ7_CALL *getInfo)(void);
    void(KQ7_CALL *shutterOpen)(int);
    int(KQ7_CALL *getData)(uint16_t *, int);
    int(KQ7_CALL *autoExposure)(int);
    int(KQ7_CALL *writeCoeffs)(const double *, int);
};

static int g_failures;

static void Check(int condition, const char *way, const char *what) {
    if (!condition) {
        ++g_failures;
        fprintf(stderr, "FAILED (%s): %s\n", way, what);
    }
}

static int RecordIsTheSensors(const SensorInfoC *info) {
    return strcmp(info->identField1, "DL") == 0 && strcmp(info->identField2, "42") == 0 &&
           info->bandnumber == kBands && info->maxValue == 65535 && info->coeff[2] == 0.5f &&
           info->coeff[3] == 399.9f;
}

static void Drive(const struct Exports *dll, const char *way) {
    uint16_t samples[kBands];
    uintptr_t loopSp = 0, sp;
    long loop, driftedLoops = 0;
    SensorInfoC info;

    dll->setSerial((SerialWriteFn)SensorWrite, (SerialReadFn)SensorRead);
    Check(dll->init() == 1, way, "identification");
    info = dll->getInfo();
    Check(RecordIsTheSensors(&info), way, "record returned by value");
    dll->shutterOpen(1);
    Check(dll->autoExposure(90) > 0, way, "automatic exposure");
    /* The first capture at a new shutter value sets it; the loops that
     * follow must all make the same calls. */
    Check(dll->getData(samples, 100) == kBands, way, "capture");
    for (loop = 0; loop < kLoopsPerWay; ++loop) {
        READ_STACK_POINTER(sp);
        if (loop == 0) {
            loopSp = sp;
        }
        driftedLoops += sp != loopSp;
        StartLoop(loop == 0);
        memset(samples, 0, sizeof samples);
        if (dll->getData(samples, 100) != kBands || samples[kBands - 1] != 1000 + kBands - 1) {
            Check(0, way, "capture");
            break;
        }
        info = dll->getInfo();
        if (!RecordIsTheSensors(&info) || dll->writeCoeffs(kCoefficients, 4) != 1) {
            Check(0, way, "record read or coefficient write");
            break;
        }
    }
    g_callIndex = -1;
    Check(driftedLoops == 0, way, "stack pointer steady in the main loop");
    fprintf(stderr, "%s: %ld loops, stack pointer drifted in %ld\n", way, loop, driftedLoops);
}

/* Stores the export `name` into the function pointer at `field` (copied:
 * ISO C converts no function pointer to an object pointer). */
static void Resolve(HMODULE library, const char *name, void *field) {
    FARPROC symbol = GetProcAddress(library, name);
    Check(symbol != NULL, "LoadLibraryA", name);
    memcpy(field, &symbol, sizeof symbol);
}

int main(void) {
    /* Not static: imported addresses are known only once the DLL is loaded. */
    const struct Exports imported = {KQ7Set_Serial_FUN, KQ7SensorInit, KQ7Get_SensorInfo, KQ7SetShutterOpen,
                                     KQ7GetData,        KQ7OptSnenser, KQ7SetWeaveLenthCoeff};
    struct Exports loaded;
    HMODULE library;

    Drive(&imported, "import library");

    library = LoadLibraryA("nerb_kq7lib.dll");
    Check(library != NULL, "LoadLibraryA", "nerb_kq7lib.dll");
    if (library != NULL) {
        Resolve(library, "KQ7Set_Serial_FUN", &loaded.setSerial);
        Resolve(library, "KQ7SensorInit", &loaded.init);
        Resolve(library, "KQ7Get_SensorInfo", &loaded.getInfo);
        Resolve(library, "KQ7SetShutterOpen", &loaded.shutterOpen);
        Resolve(library, "KQ7GetData", &loaded.getData);
        Resolve(library, "KQ7OptSnenser", &loaded.autoExposure);
        Resolve(library, "KQ7SetWeaveLenthCoeff", &loaded.writeCoeffs);
        if (g_failures == 0) {
            Drive(&loaded, "LoadLibraryA");
        }
    }

    Check(g_driftedCalls == 0, "callbacks", "stack pointer steady at every callback entry");
    fprintf(stderr, "callbacks: %ld entries watched (%d per loop), stack pointer drifted in %ld\n", g_watchedCalls,
            g_firstLoopCount, g_driftedCalls);
    fprintf(stderr, "stdcall host: %s\n", g_failures == 0 ? "passed" : "FAILED");
    return g_failures == 0 ? 0 : 1;
}
