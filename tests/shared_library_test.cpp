/* SPDX-License-Identifier: MIT */
// The built shared library, loaded as a host loads it. It has its own copy of
// every piece of state (and the real clock), so it is driven through its
// seven exports only, by a sensor that answers at once.
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frame_format.h"
#include "nerb_kq7lib.h"
#include "support/console_capture.h"
#include "support/sensor_bench.h"

namespace kq7 {
namespace {

using test::Bytes;

// Loading and symbol lookup as a host does it on each system.
#if defined(_WIN32)
using LibraryHandle = HMODULE;
LibraryHandle OpenLibrary() { return LoadLibraryA(KQ7_SHARED_LIBRARY_PATH); }
void* FindSymbol(LibraryHandle library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}
std::string LoadError() { return "LoadLibraryA failed, error " + std::to_string(GetLastError()); }
#else
using LibraryHandle = void*;
LibraryHandle OpenLibrary() { return dlopen(KQ7_SHARED_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL); }
void* FindSymbol(LibraryHandle library, const char* name) { return dlsym(library, name); }
std::string LoadError() { return dlerror(); }
#endif

std::vector<uint8_t> sensorCommands;
Bytes sensorLine;

// The sensor side: every request is answered at once with its reply frame.
int64_t KQ7_CALL SensorWrite(const uint8_t* data, int64_t length) {
    if (length < 3) {
        return length;
    }
    const uint8_t command = data[2];
    sensorCommands.push_back(command);
    Bytes payload;
    switch (command) {
        case CMD_GET_IDENT:
            payload = test::TextPayload("DL-42");
            break;
        case CMD_GET_BANDNUMBER:
            payload = test::BigEndianInt32(4);
            break;
        case CMD_GET_COEFF:
            payload = test::CoefficientPayload(test::kLinearCoefficients);
            break;
        case CMD_GET_DATA:
            payload = test::SpectrumPayload({100, 57000, 300, 400});
            break;
        default:
            break;
    }
    sensorLine = test::Concat(sensorLine, test::Frame(command, payload));
    return length;
}

int64_t KQ7_CALL SensorRead(uint8_t* dest, int64_t maxLength) {
    const size_t n = std::min(sensorLine.size(), static_cast<size_t>(std::max<int64_t>(maxLength, 0)));
    std::memcpy(dest, sensorLine.data(), n);
    sensorLine.erase(sensorLine.begin(), sensorLine.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<int64_t>(n);
}

class SharedLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        sensorCommands.clear();
        sensorLine.clear();
        library = OpenLibrary();
        ASSERT_NE(library, nullptr) << LoadError();
    }

    // Never unloaded: unloading runs none of the library's code, so its last
    // Sensor would stay allocated behind an unmapped pointer, which the leak
    // checker rightly reports. Loaded, it stays reachable.

    template <typename Function>
    Function Resolve(const char* name) {
        void* symbol = FindSymbol(library, name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Function>(symbol);
    }

    LibraryHandle library = nullptr;
};

TEST_F(SharedLibraryTest, IdentifiesThroughTheSevenExports) {
    const auto setSerial = Resolve<decltype(&KQ7Set_Serial_FUN)>("KQ7Set_Serial_FUN");
    const auto init = Resolve<decltype(&KQ7SensorInit)>("KQ7SensorInit");
    const auto getInfo = Resolve<decltype(&KQ7Get_SensorInfo)>("KQ7Get_SensorInfo");
    const auto shutterOpen = Resolve<decltype(&KQ7SetShutterOpen)>("KQ7SetShutterOpen");
    const auto getData = Resolve<decltype(&KQ7GetData)>("KQ7GetData");
    const auto autoExposure = Resolve<decltype(&KQ7OptSnenser)>("KQ7OptSnenser");
    const auto writeCoeffs = Resolve<decltype(&KQ7SetWeaveLenthCoeff)>("KQ7SetWeaveLenthCoeff");
    ASSERT_FALSE(HasFailure());

    // Before its host registers, the library's own state knows no transport
    // and no sensor.
    EXPECT_STREQ(getInfo().identField1, "");
    {
        test::ConsoleCapture console;
        EXPECT_EQ(init(), 0);
        EXPECT_EQ(console.Take(), "KQ7SensorInit\n");
    }

    setSerial(SensorWrite, SensorRead);
    test::ConsoleCapture console;
    EXPECT_EQ(init(), 1);
    EXPECT_EQ(sensorCommands, (std::vector<uint8_t>{CMD_GET_IDENT, CMD_GET_BANDNUMBER, CMD_GET_COEFF}));
    const SensorInfoC record = getInfo();
    EXPECT_STREQ(record.identField1, "DL");
    EXPECT_STREQ(record.identField2, "42");
    EXPECT_EQ(record.bandnumber, 4);
    EXPECT_EQ(record.maxValue, 65535);
    EXPECT_EQ(record.coeff[3], 399.9f);

    shutterOpen(1);
    std::vector<uint16_t> samples(4);
    EXPECT_EQ(getData(samples.data(), 0), 4);
    EXPECT_EQ(samples, (std::vector<uint16_t>{100, 57000, 300, 400}));
    EXPECT_EQ(autoExposure(90), 20);
    const double coeffs[4] = {0.0, 0.0, 0.5, 399.9};
    EXPECT_EQ(writeCoeffs(coeffs, 4), 1);

    const std::string output = console.Take();
    EXPECT_NE(output.find("\nDL-42\n"), std::string::npos);
    EXPECT_NE(output.find("a0:0  a1:0  a2:0.5  a3:399.9\n"), std::string::npos);
    EXPECT_NE(output.find("c++:a0:0.000000  a1:0.000000  a2:0.500000  a3:399.900000\n"), std::string::npos);
}

}  // namespace
}  // namespace kq7
