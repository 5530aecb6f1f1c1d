/* SPDX-License-Identifier: MIT */
// The listing through libudev: the tty devices with a device behind them, and
// for USB ones the attributes of the USB device they belong to. The attributes
// come from sysfs, so they are there even where no udev daemon runs (a
// container); the stable names are the links udev made in /dev/serial/by-id.
#include <libudev.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "kq7/port/port_list.h"

namespace kq7tool {

namespace {

constexpr const char* kStableNameFolder = "/dev/serial/by-id";
constexpr int kHexBase = 16;

using Udev = std::unique_ptr<udev, decltype(&udev_unref)>;
using Enumeration = std::unique_ptr<udev_enumerate, decltype(&udev_enumerate_unref)>;
using Device = std::unique_ptr<udev_device, decltype(&udev_device_unref)>;

std::string Text(const char* value) { return value != nullptr ? value : ""; }

bool Is(const char* value, const char* expected) { return value != nullptr && std::string(value) == expected; }

// Each port's device path, from the by-id link that points at it.
std::map<std::string, std::string> StableNames() {
    std::map<std::string, std::string> names;
    std::error_code error;
    for (const auto& link : std::filesystem::directory_iterator(kStableNameFolder, error)) {
        const std::filesystem::path target = std::filesystem::canonical(link.path(), error);
        if (!error) {
            names.emplace(target.string(), link.path().string());
        }
    }
    return names;
}

uint16_t HexId(const char* value) {
    return value != nullptr ? static_cast<uint16_t>(std::strtoul(value, nullptr, kHexBase)) : 0;
}

PortKind KindOf(udev_device* parent) {
    if (Is(udev_device_get_subsystem(parent), "usb-serial")) {
        return PortKind::UsbAdapter;
    }
    if (Is(udev_device_get_driver(parent), "cdc_acm")) {
        return PortKind::Acm;
    }
    return PortKind::Other;
}

void DescribeUsbDevice(udev_device* tty, ListedPort& port) {
    // Owned by `tty`: not unreferenced here.
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    if (usb == nullptr) {
        return;
    }
    port.vendorId = HexId(udev_device_get_sysattr_value(usb, "idVendor"));
    port.productId = HexId(udev_device_get_sysattr_value(usb, "idProduct"));
    port.manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
    port.product = Text(udev_device_get_sysattr_value(usb, "product"));
    port.serialNumber = Text(udev_device_get_sysattr_value(usb, "serial"));
}

}  // namespace

std::vector<ListedPort> ListSerialPorts() {
    std::vector<ListedPort> ports;
    const Udev context(udev_new(), udev_unref);
    if (!context) {
        return ports;
    }
    const Enumeration enumeration(udev_enumerate_new(context.get()), udev_enumerate_unref);
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(enumeration.get()) < 0) {
        return ports;
    }
    const std::map<std::string, std::string> stableNames = StableNames();
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        const Device tty(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)),
                         udev_device_unref);
        // Virtual consoles and pseudo-terminals have no device behind them.
        udev_device* parent = tty ? udev_device_get_parent(tty.get()) : nullptr;
        const char* node = tty ? udev_device_get_devnode(tty.get()) : nullptr;
        if (parent == nullptr || node == nullptr) {
            continue;
        }
        ListedPort port;
        port.path = node;
        port.kind = KindOf(parent);
        const auto stable = stableNames.find(port.path);
        if (stable != stableNames.end()) {
            port.stableName = stable->second;
        }
        DescribeUsbDevice(tty.get(), port);
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const ListedPort& a, const ListedPort& b) { return a.path < b.path; });
    return ports;
}

}  // namespace kq7tool
