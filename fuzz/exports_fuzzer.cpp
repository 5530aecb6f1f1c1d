/* SPDX-License-Identifier: MIT */
// The exports and the device interface against arbitrary replies. The input chooses a sequence of
// calls with their arguments and, for every request the library writes, how
// the sensor answers it: silence, a well-formed reply (possibly with a
// wildcard or wrong CRC, or another command code), a busy frame or raw
// bytes, delivered in chunks of a size the input chooses per answer, or one
// byte at a time on a slow line. Once the input is used up the sensor stays
// silent and the clock passes every limit.
//
// Input layout (FuzzedDataProvider): numbers are taken from the end (call,
// argument, answer spec, payload length), byte strings from the front
// (payload patterns, raw answers).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "api/device.h"
#include "fuzz_clock.h"
#include "fuzz_require.h"
#include "byte_order.h"
#include "frame_codec.h"
#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "sensor/sensor.h"

namespace {

using Bytes = std::vector<uint8_t>;

enum class Call {
    kInit,
    kInfo,
    kShutter,
    kCapture,
    kAutoExposure,
    kCoefficients,
    // The same on a device of the device interface, on the same sensor.
    kDeviceIdentify,
    kDeviceInfo,
    kDeviceShutter,
    kDeviceCapture,
    kDeviceAutoExposure,
    kDeviceCoefficients,
    kMaxValue = kDeviceCoefficients
};

enum ReplyKind : uint8_t { kSilence = 0, kWellFormed = 1, kBusy = 2, kRaw = 3 };
constexpr uint8_t kReplyKindMask = 0x03;
constexpr uint8_t kWildcardCrc = 0x04;
constexpr uint8_t kWrongCrc = 0x08;
constexpr uint8_t kOtherCommand = 0x10;
// The top three bits: 0 delivers as much as asked, 1 to 6 at most that many
// bytes per read, 7 one byte per read with kSlowLineMs passing before each.
constexpr int kChunkShift = 5;
constexpr size_t kSlowLine = 7;
constexpr uint64_t kSlowLineMs = 100;

constexpr int kMostCalls = 16;
// A payload repeats a pattern of at most this many bytes from the input, so
// that long spectra cost little input.
constexpr size_t kLongestPattern = 64;
constexpr uint16_t kLongestPayload = 2 * kq7::kMaxBands + 64;
constexpr size_t kLongestRaw = 64;
constexpr uint16_t kUntouchedSample = 0xA5A5;

struct Sensor {
    FuzzedDataProvider* input = nullptr;
    std::vector<Bytes> writes;
    Bytes line;               // bytes sent; those from lineRead on are not read yet
    size_t lineRead = 0;
    size_t chunk = 0;         // of the last answer, as coded in its spec
    Bytes lastSpectrum;       // payload of the last well-formed spectrum
    bool onlyWellFormed = true;  // every answer in this call was well-formed
};

Sensor sensor;

Bytes Payload(FuzzedDataProvider& input) {
    const uint16_t length = input.ConsumeIntegralInRange<uint16_t>(0, kLongestPayload);
    const Bytes pattern = input.ConsumeBytes<uint8_t>(std::min<size_t>(length, kLongestPattern));
    Bytes payload(length, 0);
    for (size_t i = 0; !pattern.empty() && i < payload.size(); ++i) {
        payload[i] = pattern[i % pattern.size()];
    }
    return payload;
}

Bytes WellFormedReply(uint8_t command, uint8_t spec, const Bytes& payload) {
    const uint8_t replyCommand = (spec & kOtherCommand) != 0 ? static_cast<uint8_t>(command ^ 0x01) : command;
    Bytes frame(payload.size() + kq7::kFrameOverhead);
    kq7::PackFrame(replyCommand, static_cast<uint16_t>(payload.size()), payload.data(), frame.data());
    uint8_t* crc = frame.data() + kq7::kPayloadOffset + payload.size();
    if ((spec & kWildcardCrc) != 0) {
        crc[0] = crc[1] = kq7::kCrcWildcardByte;
    }
    if ((spec & kWrongCrc) != 0) {
        crc[1] ^= 0x01;
    }
    return frame;
}

Bytes Answer(const Bytes& request) {
    FuzzedDataProvider& input = *sensor.input;
    if (input.remaining_bytes() == 0) {
        return {};
    }
    const uint8_t command = request.size() > kq7::kCommandOffset ? request[kq7::kCommandOffset] : 0;
    const uint8_t spec = input.ConsumeIntegral<uint8_t>();
    sensor.chunk = spec >> kChunkShift;
    switch (spec & kReplyKindMask) {
        case kWellFormed: {
            const Bytes payload = Payload(input);
            if ((spec & (kWildcardCrc | kWrongCrc | kOtherCommand)) != 0) {
                sensor.onlyWellFormed = false;
            } else if (command == kq7::CMD_GET_DATA) {
                sensor.lastSpectrum = payload;
            }
            return WellFormedReply(command, spec, payload);
        }
        case kBusy:
            sensor.onlyWellFormed = false;
            return WellFormedReply(kq7::REPLY_BUSY, 0, {});
        case kRaw:
            sensor.onlyWellFormed = false;
            return input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, kLongestRaw));
        default:
            return {};
    }
}

int64_t KQ7_CALL SensorWrite(const uint8_t* data, int64_t length) {
    const Bytes request(data, data + length);
    sensor.writes.push_back(request);
    // Bytes left on the line from an earlier answer may be taken for this one.
    if (sensor.lineRead < sensor.line.size()) {
        sensor.onlyWellFormed = false;
    }
    const Bytes answer = Answer(request);
    sensor.line.insert(sensor.line.end(), answer.begin(), answer.end());
    return length;
}

// Reads advance an index rather than erase from the front: a spectrum read
// ten bytes at a time would otherwise move the rest of it at every read.
int64_t KQ7_CALL SensorRead(uint8_t* dest, int64_t maxLength) {
    const size_t pending = sensor.line.size() - sensor.lineRead;
    if (pending == 0) {
        kq7::fuzz::PassEveryLimit();
        return 0;
    }
    size_t chunk = std::min(pending, static_cast<size_t>(maxLength));
    if (sensor.chunk == kSlowLine) {
        kq7::fuzz::AdvanceClock(kSlowLineMs);
        chunk = std::min<size_t>(chunk, 1);
    } else if (sensor.chunk != 0) {
        chunk = std::min(chunk, sensor.chunk);
    }
    std::copy_n(sensor.line.begin() + static_cast<std::ptrdiff_t>(sensor.lineRead), chunk, dest);
    sensor.lineRead += chunk;
    return static_cast<int64_t>(chunk);
}

bool IsTerminated(const char (&text)[100]) { return std::memchr(text, '\0', sizeof text) != nullptr; }

SensorInfoC CheckedInfo() {
    const SensorInfoC info = KQ7Get_SensorInfo();
    KQ7_FUZZ_REQUIRE(info.bandnumber >= 0 && info.bandnumber <= kq7::kMaxBands);
    KQ7_FUZZ_REQUIRE(info.maxValue == 0 || info.maxValue == kq7::kFullScale);
    KQ7_FUZZ_REQUIRE(IsTerminated(info.identField1) && IsTerminated(info.identField2));
    return info;
}

void CallInit() {
    const int result = KQ7SensorInit();
    KQ7_FUZZ_REQUIRE(result == 0 || result == 1);
    const SensorInfoC info = CheckedInfo();
    if (result == 1) {
        KQ7_FUZZ_REQUIRE(info.maxValue == kq7::kFullScale);
    }
}

// The request frame that a call wrote first, if it wrote any.
void RequireFirstWrite(size_t writesBefore, uint8_t command, const Bytes& payload) {
    Bytes request(payload.size() + kq7::kFrameOverhead);
    kq7::PackFrame(command, static_cast<uint16_t>(payload.size()), payload.data(), request.data());
    KQ7_FUZZ_REQUIRE(sensor.writes.size() > writesBefore && sensor.writes[writesBefore] == request);
}

void CallShutter(FuzzedDataProvider& input) {
    const int state = input.ConsumeIntegralInRange<int>(-1, 2);
    const size_t writesBefore = sensor.writes.size();
    KQ7SetShutterOpen(state);
    if (!kq7::TheBuiltInDevice().sensorCreated || (state != 0 && state != 1)) {
        KQ7_FUZZ_REQUIRE(sensor.writes.size() == writesBefore);
    } else {
        RequireFirstWrite(writesBefore, state == 1 ? kq7::CMD_SHUTTER_OPEN : kq7::CMD_SHUTTER_CLOSE, {0x01});
    }
}

// The host's buffer holds exactly the band count, so any write beyond it is
// reported.
void CallCapture(FuzzedDataProvider& input) {
    const int32_t bands = CheckedInfo().bandnumber;
    const size_t bandCount = static_cast<size_t>(bands);
    const std::unique_ptr<uint16_t[]> buffer(new uint16_t[bandCount]);
    std::fill_n(buffer.get(), bandCount, kUntouchedSample);
    const int result = KQ7GetData(buffer.get(), input.ConsumeIntegral<int>());
    KQ7_FUZZ_REQUIRE(result == 0 || result == bands);
    const Bytes received(reinterpret_cast<const uint8_t*>(buffer.get()),
                         reinterpret_cast<const uint8_t*>(buffer.get() + bandCount));
    if (result == 0) {
        KQ7_FUZZ_REQUIRE(std::all_of(buffer.get(), buffer.get() + bandCount,
                                     [](uint16_t s) { return s == kUntouchedSample; }));
    } else if (sensor.onlyWellFormed) {
        // Samples pass through unconverted.
        const size_t compared = std::min(received.size(), sensor.lastSpectrum.size());
        KQ7_FUZZ_REQUIRE(std::equal(received.begin(), received.begin() + compared, sensor.lastSpectrum.begin()));
    }
}

void CallAutoExposure(FuzzedDataProvider& input) {
    const int shutter = KQ7OptSnenser(input.ConsumeIntegral<int>());
    KQ7_FUZZ_REQUIRE(shutter == 0 || (shutter >= KQ7_SHUTTER_SEARCH_MIN && shutter <= KQ7_SHUTTER_SEARCH_MAX));
}

// NaNs included.
bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The coefficients lie in a heap array of exactly `count` doubles, so any
// read beyond it is reported; they go out big-endian, the array unchanged.
void CallCoefficients(FuzzedDataProvider& input) {
    const int count = input.ConsumeIntegralInRange<int>(-1, kq7::kMaxCoefficients + 2);
    const size_t n = static_cast<size_t>(std::max(count, 0));
    const std::unique_ptr<double[]> coeffs(new double[n]);
    for (size_t k = 0; k < n; ++k) {
        const uint64_t bits = input.ConsumeIntegral<uint64_t>();
        std::memcpy(&coeffs[k], &bits, sizeof bits);
    }
    const std::vector<double> before(coeffs.get(), coeffs.get() + n);
    const size_t writesBefore = sensor.writes.size();
    const int result = KQ7SetWeaveLenthCoeff(coeffs.get(), count);
    KQ7_FUZZ_REQUIRE(result == 0 || result == 1);
    KQ7_FUZZ_REQUIRE(std::equal(before.begin(), before.end(), coeffs.get(), SameBits));
    if (!kq7::TheBuiltInDevice().sensorCreated || count < kq7::kMinCoefficients || count > kq7::kMaxCoefficients) {
        KQ7_FUZZ_REQUIRE(result == 0 && sensor.writes.size() == writesBefore);
        return;
    }
    Bytes payload(n * kq7::kDoubleSize);
    for (size_t k = 0; k < n; ++k) {
        kq7::EncodeBigEndianDouble(before[k], payload.data() + k * kq7::kDoubleSize);
    }
    RequireFirstWrite(writesBefore, kq7::CMD_SET_COEFF, payload);
}

int64_t KQ7_CALL DeviceWrite(void*, const uint8_t* data, int64_t length) { return SensorWrite(data, length); }

int64_t KQ7_CALL DeviceRead(void*, uint8_t* dest, int64_t maxLength) { return SensorRead(dest, maxLength); }

bool IsResultCode(int result) { return result <= KQ7_OK && result >= KQ7_ERR_IN_USE; }

// A capture into a heap buffer of `capacity` samples: one that cannot hold the
// band count is refused untouched, a failed one leaves it untouched.
void CallDeviceCapture(kq7_device* device, FuzzedDataProvider& input) {
    const int32_t capacity = input.ConsumeIntegralInRange<int32_t>(-1, kq7::kMaxBands);
    const size_t n = static_cast<size_t>(std::max(capacity, 0));
    const std::unique_ptr<uint16_t[]> buffer(new uint16_t[n + 1]);
    std::fill_n(buffer.get(), n + 1, kUntouchedSample);
    const size_t writesBefore = sensor.writes.size();
    const int result = kq7_capture(device, input.ConsumeIntegral<int32_t>(), buffer.get(), capacity);
    SensorInfoC info;
    const bool identified = kq7_get_info(device, &info) == KQ7_OK;
    KQ7_FUZZ_REQUIRE(IsResultCode(result) || (identified && result == info.bandnumber && result <= capacity));
    if (identified && capacity < info.bandnumber) {
        KQ7_FUZZ_REQUIRE(result == KQ7_ERR_INVALID_ARGUMENT && sensor.writes.size() == writesBefore);
    }
    const size_t written = result > 0 ? static_cast<size_t>(result) : 0;
    KQ7_FUZZ_REQUIRE(std::all_of(buffer.get() + written, buffer.get() + n + 1,
                                 [](uint16_t s) { return s == kUntouchedSample; }));
}

void CallDevice(kq7_device* device, Call call, FuzzedDataProvider& input) {
    int result = KQ7_OK;
    switch (call) {
        case Call::kDeviceIdentify:
            result = kq7_identify(device);
            break;
        case Call::kDeviceInfo: {
            SensorInfoC info;
            result = kq7_get_info(device, &info);
            KQ7_FUZZ_REQUIRE(result != KQ7_OK || (info.bandnumber >= 0 && info.bandnumber <= kq7::kMaxBands &&
                                                  IsTerminated(info.identField1) && IsTerminated(info.identField2)));
            break;
        }
        case Call::kDeviceShutter:
            result = kq7_set_shutter_open(device, input.ConsumeIntegralInRange<int>(-1, 2));
            break;
        case Call::kDeviceCapture:
            CallDeviceCapture(device, input);
            break;
        case Call::kDeviceAutoExposure: {
            int32_t shutter = -1;
            result = kq7_auto_exposure(device, input.ConsumeIntegral<int>(), &shutter);
            if (result == KQ7_OK || result == KQ7_ERR_OUT_OF_RANGE) {
                KQ7_FUZZ_REQUIRE(shutter >= KQ7_SHUTTER_SEARCH_MIN && shutter <= KQ7_SHUTTER_SEARCH_MAX);
            }
            break;
        }
        default: {
            // One more than the four, so that a count of 5 stays inside the array.
            const double coeffs[5] = {input.ConsumeFloatingPoint<double>(), 0.0, 0.5, 400.0, 0.0};
            result = kq7_write_coefficients(device, coeffs, input.ConsumeIntegralInRange<int>(3, 5));
            break;
        }
    }
    KQ7_FUZZ_REQUIRE(IsResultCode(result) && result != KQ7_ERR_IN_USE);
    KQ7_FUZZ_REQUIRE(std::strlen(kq7_strerror(result)) > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    sensor.input = &input;
    kq7::fuzz::InstallFuzzClock();
    KQ7Set_Serial_FUN(SensorWrite, SensorRead);
    kq7::TheBuiltInDevice().sensorCreated = false;
    const std::unique_ptr<kq7_device, void(KQ7_CALL*)(kq7_device*)> device(
        kq7_open(DeviceWrite, DeviceRead, nullptr), kq7_close);
    KQ7_FUZZ_REQUIRE(device != nullptr);

    for (int calls = 0; calls < kMostCalls && input.remaining_bytes() != 0; ++calls) {
        sensor.onlyWellFormed = true;
        const Call call = input.ConsumeEnum<Call>();
        switch (call) {
            case Call::kInit:
                CallInit();
                break;
            case Call::kInfo:
                CheckedInfo();
                break;
            case Call::kShutter:
                CallShutter(input);
                break;
            case Call::kCapture:
                CallCapture(input);
                break;
            case Call::kAutoExposure:
                CallAutoExposure(input);
                break;
            case Call::kCoefficients:
                CallCoefficients(input);
                break;
            default:
                CallDevice(device.get(), call, input);
                break;
        }
    }
    // Whatever an input allocates is freed before it ends: with more
    // allocations than frees, libFuzzer would run the input again to look
    // for a leak.
    sensor = Sensor{};
    return 0;
}
