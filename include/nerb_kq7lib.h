/*
 * nerb_kq7lib: driver for the KQ7 family of spectral sensors.
 *
 * The host owns the serial link and lends the library two functions that
 * write and read bytes on it (KQ7Set_Serial_FUN). Every other export talks to
 * the sensor through them, synchronously, on the caller's thread. The library
 * keeps process-wide state and serves one caller at a time.
 *
 * Valid C (C89 and later) and C++.
 */
#ifndef NERB_KQ7LIB_H
#define NERB_KQ7LIB_H

#include <stddef.h>
#include <stdint.h>

/* NERB_KQ7LIB_VERSION_MAJOR, _MINOR and _PATCH */
#include "nerb_kq7lib_version.h"

/* KQ7_CALL: the calling convention of every export and host function,
 * written between the return type and the name. */
#if defined(_WIN32)
#define KQ7_CALL __stdcall
#else
#define KQ7_CALL
#endif

/* KQ7_API: marks the exports. On Windows the export table comes from a .def
 * file, so that 32-bit __stdcall names stay undecorated. */
#if defined(_WIN32)
#if defined(NERB_KQ7LIB_BUILDING)
#define KQ7_API
#else
#define KQ7_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KQ7_API __attribute__((visibility("default")))
#else
#define KQ7_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Sends `length` bytes at `data` to the sensor. The result is ignored. */
typedef int64_t(KQ7_CALL *SerialWriteFn)(const uint8_t *data, int64_t length);

/* Stores at most `maxLength` received bytes at `dest` and returns how many it
 * stored, 0 when none are available. It may block briefly or return at once:
 * the library polls it again while it waits for a reply. */
typedef int64_t(KQ7_CALL *SerialReadFn)(uint8_t *dest, int64_t maxLength);

/* The identification record handed to the host: 228 bytes, numbers in host
 * byte order, texts NUL-terminated and zero-filled behind the NUL. */
typedef struct SensorInfoC {
    char identField1[100]; /* model: the identification text up to its first '-' */
    int32_t maxValue;      /* full scale of a sample: 65535 */
    int32_t bandnumber;    /* number of bands: samples in a spectrum */
    char identField2[100]; /* serial: the text between the first and second '-' */
    float coeff[4];        /* wavelength polynomial, a0 (cubic) to a3 (constant) */
    uint8_t flag;
} SensorInfoC;

#if defined(__cplusplus) && __cplusplus >= 201103L
#define KQ7_STATIC_ASSERT(cond, tag) static_assert(cond, #tag)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define KQ7_STATIC_ASSERT(cond, tag) _Static_assert(cond, #tag)
#else
#define KQ7_STATIC_ASSERT(cond, tag) typedef char kq7_static_assert_##tag[(cond) ? 1 : -1]
#endif

KQ7_STATIC_ASSERT(sizeof(SensorInfoC) == 228, SensorInfoC_size);
KQ7_STATIC_ASSERT(offsetof(SensorInfoC, identField1) == 0, identField1_offset);
KQ7_STATIC_ASSERT(offsetof(SensorInfoC, maxValue) == 100, maxValue_offset);
KQ7_STATIC_ASSERT(offsetof(SensorInfoC, bandnumber) == 104, bandnumber_offset);
KQ7_STATIC_ASSERT(offsetof(SensorInfoC, identField2) == 108, identField2_offset);
KQ7_STATIC_ASSERT(offsetof(SensorInfoC, coeff) == 208, coeff_offset);
KQ7_STATIC_ASSERT(offsetof(SensorInfoC, flag) == 224, flag_offset);

/* Registers the host's serial functions; call it first. May be called again to
 * replace them. */
KQ7_API void KQ7_CALL KQ7Set_Serial_FUN(SerialWriteFn write, SerialReadFn read);

/* Creates the sensor object and reads identification, band count and
 * wavelength coefficients. Returns 1 when all three were read and valid, else
 * 0 (also when no serial functions are registered). */
KQ7_API int KQ7_CALL KQ7SensorInit(void);

/* The record read by the last KQ7SensorInit; all zero before the first one.
 * Sends nothing. */
KQ7_API SensorInfoC KQ7_CALL KQ7Get_SensorInfo(void);

/* state 1 opens the shutter, 0 closes it; other values send nothing. */
KQ7_API void KQ7_CALL KQ7SetShutterOpen(int state);

/* Captures one spectrum at `shutter` and copies bandnumber samples into
 * `buffer`, which must hold that many. Returns the band count, or 0 when the
 * capture failed (then `buffer` is untouched). */
KQ7_API int KQ7_CALL KQ7GetData(uint16_t *buffer, int shutter);

/* Searches the shutter value at which the largest sample lies just below
 * `percent` of full scale. Returns it (12 to 10000), or 0 when a capture
 * failed. */
KQ7_API int KQ7_CALL KQ7OptSnenser(int percent);

/* Writes `count` (4 to 124) wavelength coefficients, a0 first, into the
 * sensor. Returns 1 when the sensor acknowledged, else 0. `coeffs` is only
 * read. */
KQ7_API int KQ7_CALL KQ7SetWeaveLenthCoeff(const double *coeffs, int count);

#ifdef __cplusplus
}
#endif

#endif /* NERB_KQ7LIB_H */
