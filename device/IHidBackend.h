// The HID layer under CHIDDevice: enumeration, exclusive open and the report
// transfers of one open device. Implemented over Linux hidraw and in-process
// for tests, demos and tools; chosen once per process with SetHidBackend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Why an open was refused. The adapter window tells "permission denied" apart
// because the user can fix it (udev rule, group membership).
enum class HidOpenError : uint8_t {
    None = 0,
    NotFound,
    InUse,              // held by this process or by another program
    PermissionDenied,
    Other,
};

enum class HidReadResult : uint8_t {
    Ok = 0,
    Timeout,            // nothing arrived within the timeout; nothing is left pending
    Failed,             // cancelled, unplugged or an I/O error
};

// Bytes per report of each type, the report id byte included; 0 when the
// device declares no report of that type.
struct HidReportLengths {
    uint16_t nInput = 0;
    uint16_t nOutput = 0;
    uint16_t nFeature = 0;
};

// One present HID interface. The ids come from enumeration when the platform
// offers them without opening the device (bIdsKnown), which lets the walk
// skip foreign devices instead of opening them.
struct HidDeviceEntry {
    std::string strPath;
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    bool bIdsKnown = false;
};

constexpr uint32_t HidInfiniteTimeout = 0xFFFFFFFF;

// An open device; destroying it closes the device. Every method may be called
// from two threads at once: one reading input reports, the other making
// feature transfers, flushing or cancelling the read.
class IHidHandle {
public:
    virtual ~IHidHandle() = default;

    virtual bool GetAttributes(uint16_t& nVendorId, uint16_t& nProductId) = 0;
    virtual bool GetSerialNumber(std::string& strSerial) = 0;
    virtual bool GetReportLengths(HidReportLengths& lengths) = 0;

    // The number of input reports kept between reads. When the queue is
    // full, newly arriving reports are dropped.
    virtual bool GetNumInputBuffers(uint32_t& nCount) = 0;
    virtual bool SetNumInputBuffers(uint32_t nCount) = 0;

    // Waits until at least one input report is queued (or the timeout, in
    // ms, passes; HidInfiniteTimeout waits for ever), then moves up to
    // nMaxReports of them into pBuffer, each in a slot of nReportLength bytes
    // that starts with the report id (shorter reports are zero-padded, longer
    // ones cut). nBytesRead is slots used x nReportLength.
    virtual HidReadResult ReadReports(uint8_t* pBuffer, size_t nReportLength, size_t nMaxReports,
                                      uint32_t nTimeoutMs, size_t& nBytesRead) = 0;

    // Wakes the read in progress, or when none is, the next read; that read
    // fails. Safe from any thread, returns at once.
    virtual void CancelRead() = 0;

    // Byte 0 is the report id. GetFeature returns the reply in place.
    virtual bool SetFeature(const uint8_t* pReport, size_t nLength) = 0;
    virtual bool GetFeature(uint8_t* pReport, size_t nLength) = 0;

    // Discards the input reports queued so far.
    virtual bool FlushInput() = 0;
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;

    // Present HID interfaces in a stable order.
    virtual std::vector<HidDeviceEntry> EnumerateDevices() = 0;

    // Exclusive: a device held by anyone (this process included) is refused
    // with InUse. On failure returns null and sets error.
    virtual std::unique_ptr<IHidHandle> OpenDevice(const std::string& strPath, HidOpenError& error) = 0;
};

// The backend every CHIDDevice uses. Linux hidraw unless another one was
// installed; SetHidBackend(nullptr) goes back to it. The caller keeps
// ownership and installs the backend before any device is opened.
IHidBackend& GetHidBackend();
void SetHidBackend(IHidBackend* pBackend);
