// One connection to a Dravik adapter, without widgets: the connect and
// disconnect sequences with the pauses the adapter needs, the UART settings
// found at connect and put back at disconnect, the receive buffer and the
// receive thread. The adapter window drives it and shows what it reports.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "device/HIDDevice.h"
#include "device/UartConfig.h"
#include "drivers/ReceiveThread.h"

class CDravik;

class CAdapterSession {
public:
    // The pauses the adapter needs around its 0x4B requests at connect.
    static constexpr int AdapterSettleMs = 50;
    static constexpr uint8_t Feature4BFirst = 0xFB;
    static constexpr uint8_t Feature4BSecond = 0x04;
    // What the board's link runs at once connected.
    static constexpr UartConfig DefaultUart = {115200, 0, 0, 8, 0};

    // Where a connect stopped. After a failure the session holds what it
    // had reached; Disconnect lets go of it.
    enum class ConnectResult { Connected, OpenFailed, WrongAdapter, EnableUartFailed, AllocateFailed };

    // The receive buffer; null when it cannot be had.
    using Allocator = std::function<uint8_t*(uint32_t nSize)>;
    // Waits that long; the default sleeps.
    using Pauser = std::function<void(int nMilliseconds)>;

    // The adapter is not owned and must outlive the session.
    explicit CAdapterSession(CDravik& dravik, Allocator allocate = {}, Pauser pause = {});
    // Ends an open connection as Disconnect does.
    ~CAdapterSession();
    CAdapterSession(const CAdapterSession&) = delete;
    CAdapterSession& operator=(const CAdapterSession&) = delete;

    // Opens the adapter at that list index, keeps its UART settings, enables
    // the UART (without flow control, which the board's link lacks), runs
    // the 0x4B requests with their pauses and flushes what the adapter had
    // queued (calling onInputFlushed right after), allocates the receive
    // buffer, starts the receive thread with dispatch and process, and sets
    // the adapter's 0x49 feature and the default UART settings. With
    // pExpected, only that adapter is connected (WrongAdapter otherwise).
    ConnectResult Connect(uint32_t nIndex, CReceiveThread::Dispatcher dispatch,
                          CReceiveThread::ChunkProcessor process, const std::function<void()>& onInputFlushed = {},
                          const CHIDDevice::AdapterIdentity* pExpected = nullptr);
    // Stops the receive thread, releases the buffer, and closes the adapter:
    // UART off, the settings this connect found put back. Nothing to do is fine.
    void Disconnect();

    bool IsConnected();
    // Given to every receive thread this session starts (see CReceiveThread).
    void SetReadFailureHandler(CReceiveThread::FailureHandler onReadFailed) { m_onReadFailed = std::move(onReadFailed); }
    // The settings the last connect found (flow control as found), and
    // whether this connect got that far.
    const UartConfig& SavedUartConfig() const { return m_uartSaved; }
    bool HasSavedUartConfig() const { return m_bUartSavedValid; }
    // The running receive thread; null when there is none.
    const std::shared_ptr<CReceiveThread>& ReceiveThread() const { return m_hReceiveThread; }

private:
    void StopReceiveThread();
    void ReleaseReceiveBuffer();
    void CloseAdapter();

    CDravik& m_dravik;
    Allocator m_allocate;
    Pauser m_pause;
    std::shared_ptr<CReceiveThread> m_hReceiveThread;
    CReceiveThread::FailureHandler m_onReadFailed;
    UartConfig m_uartSaved = {};
    // Set only when this connect attempt fetched the adapter's settings: an
    // attempt that failed before then has nothing of its own to restore.
    bool m_bUartSavedValid = false;
    const std::array<uint8_t, 4> m_feature49 = {0, 0, 0, 0};
};
