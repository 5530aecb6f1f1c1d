/* SPDX-License-Identifier: MIT */
/*
 * nerb_kq7lib: driver for the KQ7 family of spectral sensors.
 *
 * The host owns the serial link and lends the library two functions that
 * write and read bytes on it (KQ7Set_Serial_FUN). Every other export talks to
 * the sensor through them, synchronously, on the caller's thread. The seven
 * exports share one built-in device and serve one call at a time: an export
 * called while another runs (from inside a host function, or from a second
 * thread) returns its failure value at once and sends nothing, and
 * KQ7Set_Serial_FUN is then ignored.
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
 * replace them. The library keeps them until they are replaced, so they must
 * stay callable that long (in a managed host: keep the delegates reachable),
 * and they must return: never throw or unwind through the library. */
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
 * `buffer`, which must hold that many. The shutter value is sent unless the
 * sensor acknowledged that very value last (never right after
 * KQ7SensorInit). Returns the band count, or 0 when the capture failed, also
 * when the reply held fewer than bandnumber samples (then `buffer` is
 * untouched). */
KQ7_API int KQ7_CALL KQ7GetData(uint16_t *buffer, int shutter);

/* Searches the shutter value at which the largest sample lies just below
 * `percent` of full scale. Returns it (KQ7_SHUTTER_SEARCH_MIN to _MAX), or 0 when a capture
 * failed. */
KQ7_API int KQ7_CALL KQ7OptSnenser(int percent);

/* Writes `count` (4 to 124) wavelength coefficients, a0 first, into the
 * sensor. Returns 1 when the sensor acknowledged, else 0. `coeffs` is only
 * read. */
KQ7_API int KQ7_CALL KQ7SetWeaveLenthCoeff(const double *coeffs, int count);

/* ------------------------------------------------------------------------
 * The device interface: any number of sensors, each on its own link.
 *
 * A device is opened on the host's two link functions and a context pointer
 * that the library hands back to them unchanged; it sends nothing until asked.
 * Every call returns KQ7_OK (0) or one of the negative KQ7_ERR_ codes below,
 * and prints nothing: the lines that the seven exports print go to the
 * device's log function instead, when one is set.
 *
 * Threads: different devices may be driven from different threads at once.
 * One device serves one call at a time; a call made while another runs on the
 * same device (from another thread, or from inside a link function) returns
 * KQ7_ERR_IN_USE at once and sends nothing.
 *
 * The link functions are kept until the device is closed. They must return:
 * never throw, longjmp or otherwise unwind through the library. A read
 * function that meets an unrecoverable error (an unplugged adapter) should
 * call kq7_cancel on its device and return 0.
 *
 * Late replies: after an exchange that resent its request or ended without a
 * valid reply, the next exchange first discards what the read function has
 * waiting (a few tens of milliseconds at most). A duplicate reply still on
 * its way at that moment cannot be told from a fresh one; a host that saw a
 * call fail and wants certainty waits a moment, or closes and reopens the
 * port, before the next call. The same holds for the seven exports.
 * --------------------------------------------------------------------- */

/* Result codes. KQ7_OK is 0; every failure is negative. */
#define KQ7_OK 0
#define KQ7_ERR_INVALID_ARGUMENT (-1)  /* null pointer, value out of range, buffer too small */
#define KQ7_ERR_NOT_IDENTIFIED (-2)    /* the last kq7_identify on this device failed, or none ran */
#define KQ7_ERR_NO_REPLY (-3)          /* the sensor stayed silent until the time limit */
#define KQ7_ERR_REJECTED_REPLY (-4)    /* a reply came with a wrong header, command, length or CRC */
#define KQ7_ERR_BUSY (-5)              /* the sensor answered that it is busy */
#define KQ7_ERR_BAD_IDENTIFICATION (-6) /* band count out of range, or a short coefficient reply */
#define KQ7_ERR_SHORT_SPECTRUM (-7)    /* the spectrum reply held fewer samples than the band count */
#define KQ7_ERR_OUT_OF_RANGE (-8)      /* exposure search ended at a bound without reaching the window */
#define KQ7_ERR_CANCELLED (-9)         /* kq7_cancel ended the call */
#define KQ7_ERR_IN_USE (-10)           /* another call is running on this device */

typedef struct kq7_device kq7_device;

/* The link functions of a device. `context` is the pointer given to kq7_open.
 * Write: sends `length` bytes at `data`; its result is ignored.
 * Read: stores at most `maxLength` bytes at `dest` and returns how many, 0
 * when none are there yet (it may wait briefly, a few milliseconds, first). */
typedef int64_t(KQ7_CALL *kq7_write_fn)(void *context, const uint8_t *data, int64_t length);
typedef int64_t(KQ7_CALL *kq7_read_fn)(void *context, uint8_t *dest, int64_t maxLength);
/* One log line, without its line end, valid only during the call. */
typedef void(KQ7_CALL *kq7_log_fn)(void *context, const char *line);

/* Opens a device on a link. No I/O. NULL when a function is null or memory
 * ran out. */
KQ7_API kq7_device *KQ7_CALL kq7_open(kq7_write_fn write, kq7_read_fn read, void *context);

/* Releases the device; NULL is allowed. Ignored while a call runs on it
 * (from inside its link or log functions, or from another thread): close it
 * once that call has returned. */
KQ7_API void KQ7_CALL kq7_close(kq7_device *device);

/* Reads identification text, band count and wavelength coefficients; stops
 * at the first failure. The device forgets the shutter value the sensor
 * holds: the next capture sends it. */
KQ7_API int KQ7_CALL kq7_identify(kq7_device *device);

/* Copies the record read by the last kq7_identify, which must have
 * succeeded. Sends nothing. */
KQ7_API int KQ7_CALL kq7_get_info(const kq7_device *device, SensorInfoC *info);

/* open 1 opens the shutter, 0 closes it (other values: invalid argument).
 * KQ7_OK once acknowledged. */
KQ7_API int KQ7_CALL kq7_set_shutter_open(kq7_device *device, int open);

/* Captures one spectrum at `shutter` into `samples`, which holds `capacity`
 * values. Returns the band count (0 or more), or an error; a capacity below
 * the band count is refused before anything is sent. On failure `samples` is
 * untouched. */
KQ7_API int KQ7_CALL kq7_capture(kq7_device *device, int32_t shutter, uint16_t *samples,
                                 int32_t capacity);

/* Searches the shutter value at which the largest sample lies between 95 %
 * and 100 % of `percent` of full scale, and stores the value it ends on in
 * `*shutter`. KQ7_OK when the peak landed in that window; KQ7_ERR_OUT_OF_RANGE
 * when the search stopped at KQ7_SHUTTER_SEARCH_MIN or _MAX or at its probe limit (the value is
 * stored all the same); another error when a capture failed. */
KQ7_API int KQ7_CALL kq7_auto_exposure(kq7_device *device, int percent, int32_t *shutter);

/* Writes `count` (4 to 124) coefficients, a0 first, into the sensor. KQ7_OK
 * once acknowledged. The device's record changes at the next kq7_identify. */
KQ7_API int KQ7_CALL kq7_write_coefficients(kq7_device *device, const double *coeffs, int count);

/* Ends the call running on `device` at its next poll of the read function,
 * with KQ7_ERR_CANCELLED; no effect when no call runs. Safe from any thread
 * and from a signal handler. NULL: the device behind the seven exports. */
KQ7_API void KQ7_CALL kq7_cancel(kq7_device *device);

/* Sends the device's log lines to `log` (NULL: silent, the default). The
 * callback runs inside the device's calls and must not call that device;
 * it and `context` are kept until replaced or the device is closed.
 * Ignored while a call runs on the device. */
KQ7_API void KQ7_CALL kq7_set_log(kq7_device *device, kq7_log_fn log, void *context);

/* The exposure search (KQ7OptSnenser, kq7_auto_exposure) tries shutter
 * values from KQ7_SHUTTER_SEARCH_MIN to KQ7_SHUTTER_SEARCH_MAX. */
#define KQ7_SHUTTER_SEARCH_MIN 12
#define KQ7_SHUTTER_SEARCH_MAX 10000

/* The wavelength in nm at `band` (counted from 1; it may lie between two
 * bands, as the centre of a peak does) under the wavelength polynomial
 * a0 (cubic term) to a3 (constant), `coefficients` holding four values:
 * ((a0 x^3 + a1 x^2) + a2 x) + a3 with x = band, each product rounded to
 * double before the next addition. Every host that shows an axis should use
 * this one order, so that all agree to the last bit. No I/O. */
KQ7_API double KQ7_CALL kq7_wavelength(const double *coefficients, double band);

/* The wavelength axis of a record (from kq7_get_info or KQ7Get_SensorInfo):
 * the wavelength of bands 1 to bandnumber under its coeff, as by
 * kq7_wavelength, into `nm`, which holds `capacity` values. Returns the band
 * count, or KQ7_ERR_INVALID_ARGUMENT for a null pointer, a band count below 1
 * or above `capacity` (then `nm` is untouched). No I/O. */
KQ7_API int KQ7_CALL kq7_wavelengths(const SensorInfoC *info, double *nm, int32_t capacity);

/* A short English text for a result code; never NULL. */
KQ7_API const char *KQ7_CALL kq7_strerror(int result);

/* The library's version, "MAJOR.MINOR.PATCH". */
KQ7_API const char *KQ7_CALL kq7_version(void);

#ifdef __cplusplus
}
#endif

#endif /* NERB_KQ7LIB_H */
