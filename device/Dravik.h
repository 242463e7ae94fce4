// The Dravik USB-to-UART adapter: connect and disconnect handshakes, UART
// switching and settings, the poll, and the unpacking of received UART bytes
// into ReceiveBuffer. Owned by the adapter window; its receive thread calls
// only ReadUartData (and CancelRead to stop), the window's thread everything else.
#pragma once

#include "device/DeviceStatus.h"
#include "device/HIDDevice.h"
#include "device/UartConfig.h"

#include <cstdint>
#include <memory>

// The one process-wide receive buffer: allocated by the adapter window after
// a successful Connect with ReceiveCapacity() bytes, released after its
// receive thread has stopped. ReadUartData only writes into it.
extern uint8_t* ReceiveBuffer;
extern uint32_t ReceiveBufferSize;

class CDravik {
public:
    // Reads take this many reports when the device reports no queue size.
    static constexpr uint16_t FallbackReadCount = 32;
    // Read offsets and received counts are 16-bit: a read never spans more.
    static constexpr uint32_t MaxReadBytes = 0xFFFF;

    CDravik();
    virtual ~CDravik();
    CDravik(const CDravik&) = delete;
    CDravik& operator=(const CDravik&) = delete;

    DeviceStatus Connect(uint32_t nDeviceIndex);
    // Connects only the adapter expected at that index (see CHIDDevice::Open);
    // DeviceWrongAdapter, with nothing sent to any adapter, when another is there.
    DeviceStatus Connect(uint32_t nDeviceIndex, const CHIDDevice::AdapterIdentity& expected);
    DeviceStatus Disconnect();

    DeviceStatus EnableUart();
    DeviceStatus DisableUart();
    DeviceStatus GetUartConfig(UartConfig* pConfig);
    DeviceStatus SetUartConfig(const UartConfig* pConfig);
    // pBytes: four bytes.
    DeviceStatus SendFeature49(const uint8_t* pBytes);
    DeviceStatus PollAdapter(uint8_t* pValue);
    DeviceStatus SendFeature4B(uint8_t nValue);

    DeviceStatus QueryState(uint8_t* pState);
    DeviceStatus CompleteHandshake();

    // One read; the UART bytes of the reports land at the start of
    // ReceiveBuffer and their number in *pReceived.
    DeviceStatus ReadUartData(uint16_t* pReceived);
    // Makes a ReadUartData blocked in another thread return at once.
    void CancelRead() { m_hidDevice.CancelRead(); }

    // The ReceiveBufferSize a read needs; valid after a successful Connect.
    uint32_t ReceiveCapacity() const;
    // Input reports taken by each read.
    uint16_t GetReadCount() const { return m_nReadCount; }

    bool IsUartEnabled() const { return m_bUartEnabled != 0; }
    CHIDDevice& GetDevice() { return m_hidDevice; }

private:
    DeviceStatus ConnectOpened();
    bool PrepareFeature(uint8_t nReportId);
    DeviceStatus SendPrepared(uint32_t nLength);
    DeviceStatus SendRequest(uint8_t nRequest);
    void ReleaseBuffers();

    CHIDDevice m_hidDevice;
    uint32_t m_bUartEnabled = 0;
    std::unique_ptr<uint8_t[]> m_pFeatureBuffer;
    uint32_t m_nFeatureBufferSize = 0;
    std::unique_ptr<uint8_t[]> m_pReadBuffer;
    uint32_t m_nReadBufferSize = 0;
    uint16_t m_nReadCount = 0;
};
