// In-process HID devices for tests, demos and tools: adapters driven by a
// CSimulatedAdapter and plain foreign devices, pluggable at run time, with
// the Linux backend's exclusive open and input queue. Install it with
// SetHidBackend before any device is opened. Thread-safe.
#pragma once

#include "device/HidReportQueue.h"
#include "device/IHidBackend.h"
#include "device/SimulatedAdapter.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct SimulatedDeviceSetup {
    std::string strPath;
    uint16_t nVendorId = 0x10C4;
    uint16_t nProductId = 0x8253;
    std::string strSerial;
    bool bSerialReadable = true;
    HidReportLengths lengths = {CSimulatedAdapter::InputReportLength, 0, CSimulatedAdapter::FeatureReportLength};
    bool bLengthsReadable = true;
    // The input queue size a fresh open starts with.
    uint32_t nInputBuffers = 32;
    // Whether enumeration tells the ids without opening (as udev does).
    bool bIdsKnown = true;
};

class CSimulatedHidBackend : public IHidBackend {
public:
    CSimulatedHidBackend();
    ~CSimulatedHidBackend() override;

    std::vector<HidDeviceEntry> EnumerateDevices() override;
    std::unique_ptr<IHidHandle> OpenDevice(const std::string& strPath, HidOpenError& error) override;

    // An adapter at strPath (adapter ids, 65-byte input and 9-byte feature
    // reports). Returns its model, which stays valid after unplugging.
    std::shared_ptr<CSimulatedAdapter> AddAdapter(const std::string& strPath, const std::string& strSerial);
    std::shared_ptr<CSimulatedAdapter> AddAdapter(const SimulatedDeviceSetup& setup,
                                                  std::shared_ptr<CSimulatedAdapter> pAdapter = nullptr);
    // A device without adapter firmware: refuses every feature transfer.
    void AddDevice(const SimulatedDeviceSetup& setup);

    // Pulling the plug: open handles fail from now on (a blocked read wakes
    // with a failure) and the device leaves the list. Replug brings a fresh
    // device back at the same path with the same model, powered on anew.
    bool Unplug(const std::string& strPath);
    bool Replug(const std::string& strPath);
    // Unplugs and forgets the device.
    bool RemoveDevice(const std::string& strPath);

    // Opens of strPath fail with this error (None: open normally again).
    void SetOpenRefusal(const std::string& strPath, HidOpenError error);
    bool IsHeld(const std::string& strPath) const;
    uint32_t GetOpenAttempts(const std::string& strPath) const;
    // An input report as the device would send it, queued if the device is
    // held (reports reach only an open device).
    bool PushInputReport(const std::string& strPath, const std::vector<uint8_t>& report);
    // Reports dropped by the open device's full queue.
    uint64_t GetDroppedReports(const std::string& strPath) const;

    struct Device;

private:
    std::shared_ptr<Device> FindPluggedLocked(const std::string& strPath) const;
    std::shared_ptr<Device> MakeDeviceLocked(const SimulatedDeviceSetup& setup,
                                             std::shared_ptr<CSimulatedAdapter> pAdapter);

    mutable std::mutex m_mutex;
    // Keyed by path: enumeration order is path order, like the Linux backend's.
    std::map<std::string, std::shared_ptr<Device>> m_plugged;
    std::map<std::string, std::shared_ptr<Device>> m_unplugged;
};
