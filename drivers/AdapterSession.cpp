#include "drivers/AdapterSession.h"

#include <chrono>
#include <new>
#include <thread>

#include "device/Dravik.h"

namespace {

constexpr uint8_t FlowControlRtsCts = 1;
constexpr uint8_t FlowControlNone = 0;

} // namespace

CAdapterSession::CAdapterSession(CDravik& dravik, Allocator allocate, Pauser pause)
    : m_dravik(dravik)
    , m_allocate(std::move(allocate))
    , m_pause(std::move(pause))
{
    if (!m_allocate)
        m_allocate = [](uint32_t nSize) { return new (std::nothrow) uint8_t[nSize]; };
    if (!m_pause)
        m_pause = [](int nMilliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds)); };
}

CAdapterSession::~CAdapterSession()
{
    Disconnect();
}

bool CAdapterSession::IsConnected()
{
    return m_dravik.GetDevice().IsOpen();
}

CAdapterSession::ConnectResult CAdapterSession::Connect(uint32_t nIndex, CReceiveThread::Dispatcher dispatch,
                                                        CReceiveThread::ChunkProcessor process,
                                                        const std::function<void()>& onInputFlushed,
                                                        const CHIDDevice::AdapterIdentity* pExpected)
{
    m_bUartSavedValid = false;
    const DeviceStatus nConnected = pExpected ? m_dravik.Connect(nIndex, *pExpected) : m_dravik.Connect(nIndex);
    if (nConnected == DeviceWrongAdapter)
        return ConnectResult::WrongAdapter;
    if (nConnected != DeviceSuccess)
        return ConnectResult::OpenFailed;

    UartConfig uartFound = {};
    if (m_dravik.GetUartConfig(&uartFound) == DeviceSuccess) {
        m_uartSaved = uartFound;
        m_bUartSavedValid = true;
    }
    // The board's link has no flow control lines: run without, and keep what
    // was found for the disconnect to restore.
    if (m_bUartSavedValid && m_uartSaved.FlowControl == FlowControlRtsCts) {
        m_uartSaved.FlowControl = FlowControlNone;
        m_dravik.SetUartConfig(&m_uartSaved);
        m_uartSaved.FlowControl = FlowControlRtsCts;
    }
    if (m_dravik.EnableUart() != DeviceSuccess)
        return ConnectResult::EnableUartFailed;

    m_pause(AdapterSettleMs);
    m_dravik.SendFeature4B(Feature4BFirst);
    m_pause(AdapterSettleMs);
    m_dravik.GetDevice().FlushInputQueue();
    if (onInputFlushed)
        onInputFlushed();
    m_dravik.SendFeature4B(Feature4BSecond);

    const uint32_t nCapacity = m_dravik.ReceiveCapacity();
    ReceiveBuffer = m_allocate(nCapacity);
    if (!ReceiveBuffer) {
        ReceiveBufferSize = 0;
        return ConnectResult::AllocateFailed;
    }
    ReceiveBufferSize = nCapacity;

    m_hReceiveThread = CReceiveThread::Create(m_dravik, std::move(dispatch), std::move(process), m_onReadFailed);
    m_hReceiveThread->Start();

    m_dravik.SendFeature49(m_feature49.data());
    m_dravik.SetUartConfig(&DefaultUart);
    return ConnectResult::Connected;
}

void CAdapterSession::Disconnect()
{
    StopReceiveThread();
    ReleaseReceiveBuffer();
    CloseAdapter();
}

void CAdapterSession::StopReceiveThread()
{
    if (!m_hReceiveThread)
        return;
    m_hReceiveThread->Stop();
    m_hReceiveThread.reset();
}

void CAdapterSession::ReleaseReceiveBuffer()
{
    if (!ReceiveBuffer)
        return;
    delete[] ReceiveBuffer;
    ReceiveBuffer = nullptr;
    ReceiveBufferSize = 0;
}

void CAdapterSession::CloseAdapter()
{
    if (!IsConnected())
        return;
    m_dravik.DisableUart();
    // Only settings this attempt found go back; an attempt that failed before
    // fetching them would otherwise write an older adapter's, or none at all.
    if (m_bUartSavedValid)
        m_dravik.SetUartConfig(&m_uartSaved);
    m_dravik.Disconnect();
    m_bUartSavedValid = false;
}
