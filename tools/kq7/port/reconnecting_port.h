/* SPDX-License-Identifier: MIT */
// The sensor's serial port for a long run: when it fails (an unplugged
// adapter) it lets go and looks for the sensor again, first under the name
// it was opened by and the port's stable name, then, knowing the sensor's
// serial number, on the other ports, leaving alone those already found to
// hold something else.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "kq7/device/sensor_search.h"
#include "kq7/port/serial_port.h"

namespace kq7tool {

class ReconnectingPort : public ByteLink, public SensorSearch {
public:
    // Opens `path` as SerialPort does (and throws as it does).
    ReconnectingPort(std::string path, int baud);

    int64_t Write(const uint8_t* data, int64_t length) override;
    int64_t Read(uint8_t* dest, int64_t maxLength) override;
    std::string Error() const override;

    void Drop() override;
    bool Search(const std::string& serial) override;
    std::string Refuse() override;
    void Cancel() override { cancelled_ = true; }

private:
    bool Open(const std::string& path);
    // Whether `path` was found to hold something else and is still the
    // same device.
    bool KnownOther(const std::string& path) const;

    const std::string path_;  // as named: /dev/ttyUSB0, a by-id link, a symbolic link of kq7sim
    std::string stableName_;  // the by-id name of the port first opened, or ""
    const int baud_;
    std::unique_ptr<SerialPort> port_;
    std::string openPath_;
    std::map<std::string, std::string> others_;  // path -> the device it was when found to be something else
    std::atomic<bool> cancelled_{false};
};

}  // namespace kq7tool
