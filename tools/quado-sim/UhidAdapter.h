// One virtual Dravik adapter made by the kernel's uhid driver: creates the HID
// device, answers its feature transfers and sends UART data as input reports.
// Used by quado-sim; the replies themselves come from the caller's handlers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct UhidIdentity {
    std::string strName = "Dravik UART bridge (quado-sim)";
    std::string strSerial;
    uint16_t nVendorId = 0x10C4;
    uint16_t nProductId = 0x8253;
    std::vector<uint8_t> descriptor;
};

class CUhidAdapter {
public:
    // A set transfer as the host sent it (report id in byte 0); true accepts it.
    using SetFeatureHandler = std::function<bool(const uint8_t* pData, std::size_t nLength)>;
    // Fills the reply to a get of nReportId (report id in byte 0); an empty
    // reply refuses the transfer.
    using GetFeatureHandler = std::function<std::vector<uint8_t>(uint8_t nReportId)>;

    CUhidAdapter() = default;
    CUhidAdapter(const CUhidAdapter&) = delete;
    CUhidAdapter& operator=(const CUhidAdapter&) = delete;
    ~CUhidAdapter();

    // Takes ownership of fd, an open /dev/uhid (or a stand-in for it in tests),
    // and asks the kernel for the device. Returns false with an errno value.
    bool Create(int fd, const UhidIdentity& identity, int& nError);

    void SetHandlers(SetFeatureHandler onSet, GetFeatureHandler onGet);

    // Reads and answers one event; call when the fd is readable. False when the
    // fd failed or closed (the device is gone).
    bool HandleEvent();

    // Sends one whole input report; byte 0 is its report id.
    bool SendInputReport(const uint8_t* pReport, std::size_t nLength);

    // Removes the device; the host sees an unplug. Safe to call twice.
    void Destroy();

    int GetFd() const { return m_hUhid; }
    bool IsStarted() const { return m_bStarted; }
    // True while some program has the device's hidraw node open.
    bool IsOpenedByHost() const { return m_bOpenedByHost; }
    const std::string& GetSerial() const { return m_strSerial; }

private:
    bool WriteEvent(const void* pEvent, std::size_t nLength);

    int m_hUhid = -1;
    bool m_bStarted = false;
    bool m_bOpenedByHost = false;
    std::string m_strSerial;
    SetFeatureHandler m_onSet;
    GetFeatureHandler m_onGet;
};

// Opens /dev/uhid; on failure returns -1 and a one-line explanation.
int OpenUhid(std::string& strError);
