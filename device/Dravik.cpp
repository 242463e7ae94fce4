#include "device/Dravik.h"

#include "device/DravikReports.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace DravikReports;

uint8_t* ReceiveBuffer = nullptr;
uint32_t ReceiveBufferSize = 0;

CDravik::CDravik() = default;

// The device member closes itself; no handshake or UART report on the way out.
CDravik::~CDravik() = default;

void CDravik::ReleaseBuffers()
{
    m_pFeatureBuffer.reset();
    m_nFeatureBufferSize = 0;
    m_pReadBuffer.reset();
    m_nReadBufferSize = 0;
    m_nReadCount = 0;
}

bool CDravik::PrepareFeature(uint8_t nReportId)
{
    if (!m_hidDevice.IsOpen() || !m_pFeatureBuffer)
        return false;
    std::memset(m_pFeatureBuffer.get(), 0, m_nFeatureBufferSize);
    m_pFeatureBuffer[0] = nReportId;
    return true;
}

DeviceStatus CDravik::SendPrepared(uint32_t nLength)
{
    return m_hidDevice.SetFeatureReport(m_pFeatureBuffer.get(), nLength) ? DeviceSuccess : DeviceTransferFailed;
}

DeviceStatus CDravik::SendRequest(uint8_t nRequest)
{
    if (!PrepareFeature(HandshakeRequest))
        return DeviceTransferFailed;
    m_pFeatureBuffer[1] = nRequest;
    return SendPrepared(HandshakeLength);
}

DeviceStatus CDravik::Connect(uint32_t nDeviceIndex)
{
    if (m_hidDevice.IsOpen())
        return DeviceAlreadyConnected;

    const uint16_t nStoredCount = m_hidDevice.GetInputBufferCount();
    if (m_hidDevice.Open(nDeviceIndex, nStoredCount ? nStoredCount : FallbackReadCount) != DeviceSuccess)
        return DeviceOpenFailed;
    return ConnectOpened();
}

DeviceStatus CDravik::Connect(uint32_t nDeviceIndex, const CHIDDevice::AdapterIdentity& expected)
{
    if (m_hidDevice.IsOpen())
        return DeviceAlreadyConnected;

    const uint16_t nStoredCount = m_hidDevice.GetInputBufferCount();
    const DeviceStatus nOpened =
        m_hidDevice.Open(nDeviceIndex, nStoredCount ? nStoredCount : FallbackReadCount, expected);
    if (nOpened != DeviceSuccess)
        return nOpened == DeviceWrongAdapter ? DeviceWrongAdapter : DeviceOpenFailed;
    return ConnectOpened();
}

DeviceStatus CDravik::ConnectOpened()
{
    ReleaseBuffers();
    const uint32_t nInputLength = m_hidDevice.GetInputReportLength();
    const uint32_t nFeatureLength = m_hidDevice.GetFeatureReportLength();
    // A device whose reports cannot hold the protocol's transfers, or not even
    // one UART byte, is not the adapter we speak to: no report goes out.
    if (nFeatureLength < MinFeatureReportLength || nInputLength < 2)
        return DeviceTransferFailed;

    const uint16_t nQueueCount = m_hidDevice.GetInputBufferCount();
    const uint32_t nReadCount = std::min<uint32_t>(nQueueCount ? nQueueCount : FallbackReadCount,
                                                   MaxReadBytes / nInputLength);

    m_pFeatureBuffer.reset(new (std::nothrow) uint8_t[nFeatureLength]());
    m_pReadBuffer.reset(new (std::nothrow) uint8_t[nReadCount * nInputLength]());
    if (!m_pFeatureBuffer || !m_pReadBuffer) {
        ReleaseBuffers();
        return DeviceTransferFailed;
    }
    m_nFeatureBufferSize = nFeatureLength;
    m_nReadBufferSize = nReadCount * nInputLength;
    m_nReadCount = static_cast<uint16_t>(nReadCount);

    if (SendRequest(RequestBegin) != DeviceSuccess)
        return DeviceTransferFailed;
    uint8_t nState = 0;
    if (QueryState(&nState) != DeviceSuccess)
        return DeviceTransferFailed;

    if (nState == StateIdle) {
        const DeviceStatus nResult = CompleteHandshake();
        if (nResult == DeviceReadFailed)
            m_hidDevice.Close();
        return nResult;
    }
    if (nState == StateConnected) {
        if (SendRequest(RequestEnd) != DeviceSuccess)
            return DeviceTransferFailed;
        m_hidDevice.Close();
        return DeviceReadFailed;
    }
    return DeviceTransferFailed;
}

DeviceStatus CDravik::CompleteHandshake()
{
    if (!PrepareFeature(HandshakeConfirm))
        return DeviceTransferFailed;
    if (SendPrepared(HandshakeLength) != DeviceSuccess)
        return DeviceTransferFailed;
    uint8_t nState = 0;
    if (QueryState(&nState) != DeviceSuccess)
        return DeviceTransferFailed;
    if (nState == StateConnected)
        return DeviceSuccess;
    if (nState == StateIdle)
        return SendRequest(RequestEnd) == DeviceSuccess ? DeviceReadFailed : DeviceTransferFailed;
    return DeviceTransferFailed;
}

DeviceStatus CDravik::Disconnect()
{
    if (!m_hidDevice.IsOpen())
        return DeviceNotOpen;

    DeviceStatus nResult = DeviceTransferFailed;
    uint8_t nState = 0;
    if (SendRequest(RequestBegin) == DeviceSuccess && QueryState(&nState) == DeviceSuccess) {
        if (nState == StateIdle)
            nResult = DeviceSuccess;
        else if (nState == StateConnected && SendRequest(RequestEnd) == DeviceSuccess)
            nResult = DeviceReadFailed;
    }

    m_hidDevice.Close();
    m_bUartEnabled = 0;
    ReleaseBuffers();
    return nResult;
}

DeviceStatus CDravik::QueryState(uint8_t* pState)
{
    if (!pState)
        return DeviceNullArgument;
    if (!PrepareFeature(HandshakeState))
        return DeviceTransferFailed;
    if (!m_hidDevice.GetFeatureReport(m_pFeatureBuffer.get(), HandshakeLength))
        return DeviceTransferFailed;
    *pState = m_pFeatureBuffer[1];
    return DeviceSuccess;
}

DeviceStatus CDravik::EnableUart()
{
    if (m_bUartEnabled)
        return DeviceSuccess;
    if (!PrepareFeature(UartEnable))
        return DeviceTransferFailed;
    m_pFeatureBuffer[1] = 1;
    if (SendPrepared(UartEnableLength) != DeviceSuccess)
        return DeviceTransferFailed;
    m_bUartEnabled = 1;
    return DeviceSuccess;
}

DeviceStatus CDravik::DisableUart()
{
    if (!m_bUartEnabled)
        return DeviceSuccess;
    if (!PrepareFeature(UartEnable))
        return DeviceTransferFailed;
    if (SendPrepared(UartEnableLength) != DeviceSuccess)
        return DeviceTransferFailed;
    m_bUartEnabled = 0;
    return DeviceSuccess;
}

DeviceStatus CDravik::GetUartConfig(UartConfig* pConfig)
{
    if (!pConfig)
        return DeviceNullArgument;
    if (!PrepareFeature(UartSettings))
        return DeviceTransferFailed;
    if (!m_hidDevice.GetFeatureReport(m_pFeatureBuffer.get(), UartSettingsLength))
        return DeviceTransferFailed;
    const uint8_t* pReply = m_pFeatureBuffer.get();
    pConfig->BaudRate = uint32_t{pReply[1]} | uint32_t{pReply[2]} << 8 | uint32_t{pReply[3]} << 16 |
                        uint32_t{pReply[4]} << 24;
    pConfig->Parity = pReply[5];
    pConfig->FlowControl = pReply[6];
    pConfig->DataBits = pReply[7];
    pConfig->StopBits = pReply[8];
    return DeviceSuccess;
}

DeviceStatus CDravik::SetUartConfig(const UartConfig* pConfig)
{
    if (!pConfig)
        return DeviceNullArgument;
    if (!PrepareFeature(UartSettings))
        return DeviceTransferFailed;
    uint8_t* pReport = m_pFeatureBuffer.get();
    pReport[1] = static_cast<uint8_t>(pConfig->BaudRate);
    pReport[2] = static_cast<uint8_t>(pConfig->BaudRate >> 8);
    pReport[3] = static_cast<uint8_t>(pConfig->BaudRate >> 16);
    pReport[4] = static_cast<uint8_t>(pConfig->BaudRate >> 24);
    pReport[5] = pConfig->Parity;
    pReport[6] = pConfig->FlowControl;
    pReport[7] = pConfig->DataBits;
    pReport[8] = pConfig->StopBits;
    return SendPrepared(UartSettingsLength);
}

DeviceStatus CDravik::SendFeature49(const uint8_t* pBytes)
{
    if (!pBytes)
        return DeviceNullArgument;
    if (!PrepareFeature(Feature49))
        return DeviceTransferFailed;
    std::memcpy(m_pFeatureBuffer.get() + 1, pBytes, Feature49Length - 1);
    return SendPrepared(Feature49Length);
}

DeviceStatus CDravik::PollAdapter(uint8_t* pValue)
{
    if (!pValue)
        return DeviceNullArgument;
    if (!PrepareFeature(Poll))
        return DeviceTransferFailed;
    if (!m_hidDevice.GetFeatureReport(m_pFeatureBuffer.get(), PollLength))
        return DeviceTransferFailed;
    *pValue = m_pFeatureBuffer[1];
    return DeviceSuccess;
}

DeviceStatus CDravik::SendFeature4B(uint8_t nValue)
{
    if (!PrepareFeature(Feature4B))
        return DeviceTransferFailed;
    m_pFeatureBuffer[1] = nValue;
    m_pFeatureBuffer[2] = Feature4BTrailer;
    return SendPrepared(Feature4BLength);
}

uint32_t CDravik::ReceiveCapacity() const
{
    const uint16_t nInputLength = m_hidDevice.GetInputReportLength();
    return nInputLength ? uint32_t{m_nReadCount} * (nInputLength - 1u) : 0;
}

DeviceStatus CDravik::ReadUartData(uint16_t* pReceived)
{
    if (!m_hidDevice.IsOpen())
        return DeviceNotOpen;
    if (!ReceiveBuffer || !pReceived)
        return DeviceBadBuffer;
    if (ReceiveBufferSize < ReceiveCapacity())
        return DeviceBadBuffer;
    const uint32_t nInputLength = m_hidDevice.GetInputReportLength();
    if (!m_pReadBuffer || nInputLength < 2)
        return DeviceTransferFailed;

    std::memset(m_pReadBuffer.get(), 0, m_nReadBufferSize);
    uint32_t nBytes = 0;
    if (m_hidDevice.ReadInputReports(m_pReadBuffer.get(), m_nReadBufferSize, m_nReadCount, &nBytes) !=
        DeviceSuccess)
        return DeviceTransferFailed;
    nBytes = std::min(nBytes, m_nReadBufferSize);

    uint32_t nReceived = 0;
    const uint8_t* pReports = m_pReadBuffer.get();
    for (uint32_t nOffset = 0; nOffset < nBytes; nOffset += nInputLength) {
        const uint8_t nReportId = pReports[nOffset];
        if (nReportId < UartDataFirst || nReportId > UartDataLast)
            continue;
        const uint32_t nCount = nReportId - UartDataBase;
        // A report claiming more bytes than it can hold is dropped whole.
        if (nCount > nInputLength - 1)
            continue;
        std::memcpy(ReceiveBuffer + nReceived, pReports + nOffset + 1, nCount);
        nReceived += nCount;
    }
    *pReceived = static_cast<uint16_t>(nReceived);
    return DeviceSuccess;
}
