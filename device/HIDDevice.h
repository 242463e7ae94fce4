// Finding, opening and talking to the Dravik adapter's HID interface: the
// adapter list (count, serial numbers), an exclusive open, timed and
// cancellable input-report reads and feature-report transfers. CDravik holds
// one; the adapter window uses the class-level list operations.
#pragma once

#include "device/DeviceStatus.h"
#include "device/IHidBackend.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CHIDDevice {
public:
    static constexpr uint16_t AdapterVendorId = 0x10C4;
    static constexpr uint16_t AdapterProductId = 0x8253;
    static constexpr uint32_t MaxInterfaces = 64;
    static constexpr size_t SerialNumberSize = 256;
    static constexpr uint32_t DefaultReadTimeout = HidInfiniteTimeout;
    // No platform-version rule here: 0 makes Open take the count the HID
    // layer keeps for the device.
    static constexpr uint16_t DefaultInputBufferCount = 0;

    // An adapter as a list shows it: where it is, and its serial number as
    // GetSerialNumber gives it (bSerialRead false when it could not be read).
    struct AdapterIdentity {
        std::string strPath;
        std::string strSerial;
        bool bSerialRead = false;
        bool operator==(const AdapterIdentity&) const = default;
    };

    CHIDDevice();
    virtual ~CHIDDevice();
    CHIDDevice(const CHIDDevice&) = delete;
    CHIDDevice& operator=(const CHIDDevice&) = delete;

    // Adapters that are present and not held by anyone.
    static uint32_t GetDeviceCount();
    // Copies the serial string of adapter nIndex into pSerial (SerialNumberSize
    // bytes, always terminated, one byte per character). pSerial is written
    // only on success.
    static DeviceStatus GetSerialNumber(uint32_t nIndex, char* pSerial);
    // GetDeviceCount and each GetSerialNumber in one walk, with the paths:
    // entry i is adapter index i.
    static std::vector<AdapterIdentity> ListAdapters();
    // Adapters present that could not be opened for lack of permission; lets
    // the adapter window explain an empty list.
    static uint32_t GetDeniedDeviceCount();
    // Interfaces that are, or may be, adapters, found by enumeration alone
    // (nothing is opened): more of them than GetDeviceCount lists means some
    // are held or refused, which is when GetDeniedDeviceCount is worth its opens.
    static uint32_t GetPresentAdapterCount();

    void ResetState();
    DeviceStatus Open(uint32_t nIndex, uint16_t nInputBufferCount);
    // Opens adapter nIndex only if it is the one expected (same path, and
    // same serial when that was read); else nothing is kept and the result
    // is DeviceWrongAdapter. Indices shift when an adapter goes or is taken
    // between listing and opening.
    DeviceStatus Open(uint32_t nIndex, uint16_t nInputBufferCount, const AdapterIdentity& expected);
    // The path of the adapter held; empty when none.
    const std::string& GetOpenPath() const { return m_strOpenPath; }
    bool IsOpen();
    void Close();

    // One read of up to nReportCount input reports, each GetInputReportLength()
    // bytes starting with its id. *pBytesRead is written only on success.
    DeviceStatus ReadInputReports(uint8_t* pBuffer, uint32_t nCapacity, uint16_t nReportCount,
                                  uint32_t* pBytesRead);
    // Wakes a read blocked in another thread (or the next read); it returns
    // DeviceReadFailed. For stopping a reader thread.
    void CancelRead();

    // Exactly nLength bytes, byte 0 the report id.
    bool SetFeatureReport(const uint8_t* pReport, uint32_t nLength);
    bool GetFeatureReport(uint8_t* pReport, uint32_t nLength);

    void FlushInputQueue();

    uint16_t GetInputReportLength() const { return m_nInputReportLength; }
    uint16_t GetOutputReportLength() const { return m_nOutputReportLength; }
    uint16_t GetFeatureReportLength() const { return m_nFeatureReportLength; }
    uint16_t GetInputBufferCount() const { return m_nInputBufferCount; }

    uint32_t GetReadTimeout() const { return m_nReadTimeout; }
    void SetReadTimeout(uint32_t nTimeoutMs) { m_nReadTimeout = nTimeoutMs; }

private:
    DeviceStatus OpenChecked(uint32_t nIndex, uint16_t nInputBufferCount, const AdapterIdentity* pExpected);

    std::unique_ptr<IHidHandle> m_pHandle;
    std::string m_strOpenPath;
    uint32_t m_bOpen = 0;
    uint32_t m_nReadTimeout = DefaultReadTimeout;
    uint16_t m_nInputReportLength = 0;
    uint16_t m_nOutputReportLength = 0;
    uint16_t m_nFeatureReportLength = 0;
    uint16_t m_nInputBufferCount = DefaultInputBufferCount;
};
