/* SPDX-License-Identifier: MIT */
// The listing through SetupAPI: the present devices of the Ports class that
// have a COM name, with their friendly name, manufacturer and, for USB ones,
// the vendor and product ids and serial number read from their ids
// ("USB\VID_0403&PID_6001\A6008ISP", "FTDIBUS\VID_0403+PID_6001+A6008ISPA\0000").
#include <windows.h>
// setupapi.h needs windows.h first; initguid.h makes devguid.h define the
// class GUID here instead of only declaring it.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "kq7/port/port_list.h"

namespace kq7tool {

namespace {

constexpr DWORD kTextCapacity = 512;
constexpr int kHexBase = 16;
constexpr size_t kIdDigits = 4;

std::string RegistryText(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    char text[kTextCapacity] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, property, nullptr, reinterpret_cast<PBYTE>(text),
                                           sizeof text - 1, nullptr)) {
        return "";
    }
    return text;  // a multi-string's first entry: the most specific id
}

std::string InstanceId(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    char text[kTextCapacity] = {};
    return SetupDiGetDeviceInstanceIdA(devices, &device, text, sizeof text - 1, nullptr) ? text : "";
}

// "COM5" from the device's own registry key; "" for a port without one (LPT).
std::string ComName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return "";
    }
    char name[kTextCapacity] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    const bool read =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<LPBYTE>(name), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read && type == REG_SZ && std::string(name).rfind("COM", 0) == 0 ? name : "";
}

// The four hex digits after `tag` ("VID_") in `id`, or 0.
uint16_t IdAfter(const std::string& id, const char* tag) {
    const size_t at = id.find(tag);
    if (at == std::string::npos) {
        return 0;
    }
    const std::string digits = id.substr(at + std::char_traits<char>::length(tag), kIdDigits);
    return static_cast<uint16_t>(std::strtoul(digits.c_str(), nullptr, kHexBase));
}

// A USB device's serial number is the last part of its instance id unless
// Windows made that part up ("5&2A3B...&0&1", with '&'); an FTDI driver puts
// it after "PID_xxxx+" with the interface letter behind it.
std::string AdapterSerial(const std::string& instance) {
    const size_t ftdi = instance.find("+PID_");
    if (ftdi != std::string::npos) {
        const size_t start = ftdi + std::char_traits<char>::length("+PID_") + kIdDigits + 1;
        const size_t end = instance.find('\\', start);
        if (start < instance.size() && end != std::string::npos && end - start > 1) {
            return instance.substr(start, end - start - 1);
        }
        return "";
    }
    const size_t last = instance.rfind('\\');
    if (instance.rfind("USB\\", 0) != 0 || last == std::string::npos) {
        return "";
    }
    const std::string part = instance.substr(last + 1);
    return part.find('&') == std::string::npos ? part : "";
}

}  // namespace

std::vector<ListedPort> ListSerialPorts() {
    std::vector<ListedPort> ports;
    HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return ports;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        ListedPort port;
        port.path = ComName(devices, device);
        if (port.path.empty()) {
            continue;
        }
        port.description = RegistryText(devices, device, SPDRP_FRIENDLYNAME);
        port.manufacturer = RegistryText(devices, device, SPDRP_MFG);
        port.product = RegistryText(devices, device, SPDRP_DEVICEDESC);
        const std::string hardwareId = RegistryText(devices, device, SPDRP_HARDWAREID);
        const std::string instance = InstanceId(devices, device);
        port.vendorId = IdAfter(hardwareId, "VID_");
        port.productId = IdAfter(hardwareId, "PID_");
        if (port.vendorId != 0) {
            // usbser is Windows' own driver for devices that are their own modem.
            const bool acm = RegistryText(devices, device, SPDRP_SERVICE) == "usbser";
            port.kind = acm ? PortKind::Acm : PortKind::UsbAdapter;
            port.serialNumber = AdapterSerial(instance);
        }
        ports.push_back(port);
    }
    SetupDiDestroyDeviceInfoList(devices);
    std::sort(ports.begin(), ports.end(),
              [](const ListedPort& a, const ListedPort& b) { return a.path < b.path; });
    return ports;
}

}  // namespace kq7tool
