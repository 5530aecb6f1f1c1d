/* SPDX-License-Identifier: MIT */
/*
 * nerb_kq7lib for C++ hosts: a header-only wrapper over the device interface
 * of nerb_kq7lib.h. A Device owns its kq7_device (closed by the destructor,
 * movable, not copyable); a failure throws kq7::Error, which carries the
 * result code and its text, the function that failed and the device's last
 * error message; a bad argument to the wrapper throws std::invalid_argument.
 * C++17.
 */
#ifndef NERB_KQ7LIB_HPP
#define NERB_KQ7LIB_HPP

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "nerb_kq7lib.h"

namespace kq7 {

// what() is the code's text (kq7_strerror); operation() the function that
// failed ("" when not known); message() the device's last error message.
class Error : public std::runtime_error {
public:
    explicit Error(int code) : std::runtime_error(kq7_strerror(code)), code_(code) {}
    Error(int code, const char* operation, std::string message)
        : std::runtime_error(kq7_strerror(code)), code_(code), operation_(operation), message_(std::move(message)) {}
    int code() const noexcept { return code_; }
    const char* operation() const noexcept { return operation_; }
    const std::string& message() const noexcept { return message_; }

private:
    int code_;
    const char* operation_ = "";
    std::string message_;
};

// Passes a result of 0 or more on, throws for a failure code.
inline int check(int result) {
    if (result < 0) {
        throw Error(result);
    }
    return result;
}

// What an exposure search ended on.
struct Exposure {
    int32_t shutter;
    bool inWindow;  // false: it stopped at 12, 10000 or its probe limit
};

class Device {
public:
    // One line, without its line end. It runs inside the library's call: it
    // must not call this device, and what it throws is dropped.
    using LogHandler = std::function<void(const char* line)>;

    // `write` and `read` get `context` back unchanged. Throws
    // std::invalid_argument for a null function, std::bad_alloc when no
    // device could be opened.
    Device(kq7_write_fn write, kq7_read_fn read, void* context) : device_(Open(write, read, context)) {}
    ~Device() { kq7_close(device_); }
    Device(Device&& other) noexcept
        : device_(std::exchange(other.device_, nullptr)), log_(std::move(other.log_)) {}
    Device& operator=(Device&& other) noexcept {
        if (this != &other) {
            kq7_close(device_);
            device_ = std::exchange(other.device_, nullptr);
            log_ = std::move(other.log_);
        }
        return *this;
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    void identify() { check(kq7_identify(device_), "kq7_identify"); }

    // Answers during a call on another thread too.
    kq7_sensor_info info() const {
        kq7_sensor_info record;
        check(kq7_get_info(device_, &record), "kq7_get_info");
        return record;
    }

    void setShutterOpen(bool open) { check(kq7_set_shutter_open(device_, open ? 1 : 0), "kq7_set_shutter_open"); }

    // Into the caller's buffer of `capacity` samples; returns the band count.
    int capture(int32_t shutter, uint16_t* samples, int32_t capacity) {
        return check(kq7_capture(device_, shutter, samples, capacity), "kq7_capture");
    }

    // One sample per band.
    std::vector<uint16_t> capture(int32_t shutter) {
        const kq7_sensor_info record = info();
        // Never empty: a null buffer is refused even for no bands.
        std::vector<uint16_t> samples(record.bandnumber > 0 ? static_cast<size_t>(record.bandnumber) : 1u);
        samples.resize(static_cast<size_t>(capture(shutter, samples.data(), static_cast<int32_t>(samples.size()))));
        return samples;
    }

    // A search that hit a bound is no failure here: see Exposure::inWindow.
    Exposure autoExposure(int percent) {
        int32_t shutter = 0;
        const int result = kq7_auto_exposure(device_, percent, &shutter);
        if (result != KQ7_OK && result != KQ7_ERR_OUT_OF_RANGE) {
            check(result, "kq7_auto_exposure");
        }
        return Exposure{shutter, result == KQ7_OK};
    }

    void writeCoefficients(const std::vector<double>& coeffs) {
        check(kq7_write_coefficients(device_, coeffs.data(), static_cast<int>(coeffs.size())), "kq7_write_coefficients");
    }

    // Safe from any thread and from a signal handler.
    void cancel() noexcept { kq7_cancel(device_); }

    // An empty handler silences the device again. While a call runs on this
    // device the library keeps the old handler and this throws Error
    // (KQ7_ERR_IN_USE); the old handler lives on as long as the library may
    // call it.
    void setLog(LogHandler handler) {
        std::unique_ptr<LogHandler> next = handler ? std::make_unique<LogHandler>(std::move(handler)) : nullptr;
        check(kq7_set_log(device_, next ? Forward : nullptr, next.get()), "kq7_set_log");
        log_ = std::move(next);
    }

    // Bounds every later call to `milliseconds` in all (0: the library's own
    // limits); a call that reaches it throws Error with KQ7_ERR_TIMEOUT.
    void setTimeout(int32_t milliseconds) {
        if (milliseconds < 0) {
            throw std::invalid_argument("kq7::Device::setTimeout: negative time limit");
        }
        check(kq7_set_timeout(device_, milliseconds), "kq7_set_timeout");
    }

    // The last failure in words, with its detail; "" after a success.
    std::string lastErrorMessage() const { return kq7_last_error_message(device_); }

    kq7_device* get() const noexcept { return device_; }

private:
    static kq7_device* Open(kq7_write_fn write, kq7_read_fn read, void* context) {
        if (write == nullptr || read == nullptr) {
            throw std::invalid_argument("kq7::Device: null link function");
        }
        kq7_device* device = kq7_open(write, read, context);
        if (device == nullptr) {
            throw std::bad_alloc();
        }
        return device;
    }

    int check(int result, const char* operation) const {
        if (result < 0) {
            // During another call the message is that call's.
            throw Error(result, operation, result == KQ7_ERR_IN_USE ? "" : kq7_last_error_message(device_));
        }
        return result;
    }

    static void KQ7_CALL Forward(void* context, const char* line) noexcept {
        try {
            (*static_cast<LogHandler*>(context))(line);
        } catch (...) {
            // Nothing may unwind through the library.
        }
    }

    kq7_device* device_;
    std::unique_ptr<LogHandler> log_;
};

}  // namespace kq7

#endif /* NERB_KQ7LIB_HPP */
