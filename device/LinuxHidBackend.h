// The HID layer over Linux hidraw: libudev enumeration, open + flock for the
// exclusive open, our own descriptor parse for the report lengths, and a
// reader thread per open device that keeps the input queue. The default
// backend; the hotplug layer uses the adapter test below.
#pragma once

#include "device/IHidBackend.h"

#include <cstdint>
#include <string>

struct udev_device;

class CLinuxHidBackend : public IHidBackend {
public:
    std::vector<HidDeviceEntry> EnumerateDevices() override;
    std::unique_ptr<IHidHandle> OpenDevice(const std::string& strPath, HidOpenError& error) override;
};

// Parses a HID_ID uevent value, "bus:vendor:product" in hex
// ("0003:000010C4:00008253").
bool ParseHidId(const char* pszHidId, uint16_t& nBus, uint16_t& nVendorId, uint16_t& nProductId);

// Whether a hidraw udev device (from enumeration or an "add" event) belongs
// to a Dravik adapter, judged by its parent hid device's HID_ID.
bool IsAdapterHidrawDevice(udev_device* pDevice);
