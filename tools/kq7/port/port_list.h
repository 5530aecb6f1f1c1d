/* SPDX-License-Identifier: MIT */
// The machine's serial ports as the system knows them (udev on Linux,
// SetupAPI on Windows), and the extra ports a user names in KQ7_PORTS.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kq7tool {

enum class PortKind {
    UsbAdapter,  // a USB serial adapter (ttyUSB, FTDI, CP210x, CH340 ...)
    Acm,         // a USB device that is its own modem (ttyACM, usbser)
    Other,       // a built-in port, a Bluetooth port, anything else
};

// "usb", "acm" or "other", as tables and --json print them.
const char* PortKindName(PortKind kind);

struct ListedPort {
    std::string path;        // what a program opens: /dev/ttyUSB0, COM5
    std::string stableName;  // the name that outlives a replug (/dev/serial/by-id/...), or ""
    PortKind kind = PortKind::Other;
    std::string description; // the system's name for the port (Windows: its friendly name), or ""
    // Of the USB device behind the port; 0 and "" for other ports.
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;  // the adapter's, not the sensor's
};

// Every serial port the system lists, sorted by path. Never throws for a
// port it cannot read: what it cannot learn stays empty.
std::vector<ListedPort> ListSerialPorts();

// Ports a sensor may sit on behind an adapter: USB adapters and ACM devices.
bool IsLikelySensorPort(const ListedPort& port);

// The ports named in KQ7_PORTS (`value`, null when it is unset): separated by
// ':' (';' on Windows, where ':' belongs to the names), empty entries skipped,
// the order kept.
std::vector<std::string> PortsNamedIn(const char* value);

}  // namespace kq7tool
