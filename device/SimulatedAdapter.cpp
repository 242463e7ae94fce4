#include "device/SimulatedAdapter.h"

#include "device/DravikReports.h"

#include <algorithm>
#include <cstring>

using namespace DravikReports;

namespace {

std::vector<uint8_t> BuildReportDescriptor()
{
    std::vector<uint8_t> d = {
        0x06, 0x00, 0xFF,   // Usage Page (vendor defined 0xFF00)
        0x09, 0x01,         // Usage (1)
        0xA1, 0x01,         // Collection (Application)
        0x15, 0x00,         //   Logical Minimum (0)
        0x26, 0xFF, 0x00,   //   Logical Maximum (255)
        0x75, 0x08,         //   Report Size (8)
    };
    for (uint8_t n = 1; n <= MaxUartBytesPerReport; ++n) {
        const uint8_t item[] = {
            0x85, static_cast<uint8_t>(UartDataBase + n),   // Report ID
            0x95, n,                                        // Report Count
            0x09, 0x01,                                     // Usage (1)
            0x81, 0x02,                                     // Input (Data, Variable, Absolute)
        };
        d.insert(d.end(), std::begin(item), std::end(item));
    }
    const uint8_t features[] = {HandshakeRequest, HandshakeConfirm, HandshakeState, UartEnable,
                                UartSettings,     Feature49,        Poll,           Feature4B};
    for (uint8_t nId : features) {
        const uint8_t item[] = {
            0x85, nId,                                                  // Report ID
            0x95, static_cast<uint8_t>(CSimulatedAdapter::FeatureLength(nId) - 1), // Report Count
            0x09, 0x01,                                                 // Usage (1)
            0xB1, 0x02,                                                 // Feature (Data, Variable, Absolute)
        };
        d.insert(d.end(), std::begin(item), std::end(item));
    }
    d.push_back(0xC0);      // End Collection
    return d;
}

bool IsHostToAdapter(uint8_t nReportId)
{
    return nReportId == HandshakeRequest || nReportId == HandshakeConfirm || nReportId == UartEnable ||
           nReportId == UartSettings || nReportId == Feature49 || nReportId == Feature4B;
}

bool IsAdapterToHost(uint8_t nReportId)
{
    return nReportId == HandshakeState || nReportId == UartSettings || nReportId == Poll;
}

} // namespace

CSimulatedAdapter::CSimulatedAdapter(const UartConfig& powerOnConfig)
    : m_powerOnConfig(powerOnConfig),
      m_uartConfig(powerOnConfig),
      m_nStateAfterRequest(StateIdle),
      m_nStateAfterConfirm(StateConnected),
      m_nMaxUartChunk(MaxUartBytesPerReport)
{
}

const std::vector<uint8_t>& CSimulatedAdapter::ReportDescriptor()
{
    static const std::vector<uint8_t> descriptor = BuildReportDescriptor();
    return descriptor;
}

size_t CSimulatedAdapter::FeatureLength(uint8_t nReportId)
{
    switch (nReportId) {
    case HandshakeRequest:
    case HandshakeConfirm:
    case HandshakeState:
        return HandshakeLength;
    case UartEnable:
        return UartEnableLength;
    case UartSettings:
        return UartSettingsLength;
    case Feature49:
        return Feature49Length;
    case Poll:
        return PollLength;
    case Feature4B:
        return Feature4BLength;
    default:
        return 0;
    }
}

bool CSimulatedAdapter::ConsumeFailureLocked(Direction direction, uint8_t nReportId)
{
    auto it = m_failures.find({direction, nReportId});
    if (it == m_failures.end())
        return false;
    if (it->second > 0 && --it->second == 0)
        m_failures.erase(it);
    return true;
}

void CSimulatedAdapter::RecordLocked(Direction direction, const uint8_t* pBytes, size_t nLength, bool bOk)
{
    m_trace.push_back({direction, std::vector<uint8_t>(pBytes, pBytes + nLength), bOk});
}

bool CSimulatedAdapter::ApplySetLocked(const uint8_t* pReport, size_t nLength)
{
    const uint8_t nId = pReport[0];
    if (!IsHostToAdapter(nId) || nLength != FeatureLength(nId))
        return false;
    switch (nId) {
    case HandshakeRequest:
        if (pReport[1] == RequestBegin)
            m_nState = m_nStateAfterRequest;
        else if (pReport[1] == RequestEnd)
            m_nState = StateIdle;
        break;
    case HandshakeConfirm:
        m_nState = m_nStateAfterConfirm;
        break;
    case UartEnable:
        m_bUartEnabled = pReport[1] != 0;
        break;
    case UartSettings:
        m_uartConfig.BaudRate = uint32_t{pReport[1]} | uint32_t{pReport[2]} << 8 | uint32_t{pReport[3]} << 16 |
                                uint32_t{pReport[4]} << 24;
        m_uartConfig.Parity = pReport[5];
        m_uartConfig.FlowControl = pReport[6];
        m_uartConfig.DataBits = pReport[7];
        m_uartConfig.StopBits = pReport[8];
        break;
    case Feature49:
        m_feature49Values.emplace_back(pReport + 1, pReport + Feature49Length);
        break;
    case Feature4B:
        m_feature4BValues.push_back(pReport[1]);
        break;
    default:
        break;
    }
    return true;
}

bool CSimulatedAdapter::AnswerGetLocked(uint8_t* pReport, size_t nLength)
{
    const uint8_t nId = pReport[0];
    if (!IsAdapterToHost(nId) || nLength != FeatureLength(nId))
        return false;
    switch (nId) {
    case HandshakeState:
        pReport[1] = m_nState;
        break;
    case UartSettings:
        pReport[1] = static_cast<uint8_t>(m_uartConfig.BaudRate);
        pReport[2] = static_cast<uint8_t>(m_uartConfig.BaudRate >> 8);
        pReport[3] = static_cast<uint8_t>(m_uartConfig.BaudRate >> 16);
        pReport[4] = static_cast<uint8_t>(m_uartConfig.BaudRate >> 24);
        pReport[5] = m_uartConfig.Parity;
        pReport[6] = m_uartConfig.FlowControl;
        pReport[7] = m_uartConfig.DataBits;
        pReport[8] = m_uartConfig.StopBits;
        break;
    case Poll:
        pReport[1] = m_nPollReply;
        break;
    default:
        break;
    }
    return true;
}

bool CSimulatedAdapter::SetFeature(const uint8_t* pReport, size_t nLength)
{
    if (!pReport || nLength == 0)
        return false;
    std::lock_guard lock(m_mutex);
    bool bOk = !ConsumeFailureLocked(Direction::Set, pReport[0]) && ApplySetLocked(pReport, nLength);
    RecordLocked(Direction::Set, pReport, nLength, bOk);
    return bOk;
}

bool CSimulatedAdapter::GetFeature(uint8_t* pReport, size_t nLength)
{
    if (!pReport || nLength == 0)
        return false;
    std::lock_guard lock(m_mutex);
    bool bOk = !ConsumeFailureLocked(Direction::Get, pReport[0]) && AnswerGetLocked(pReport, nLength);
    RecordLocked(Direction::Get, pReport, nLength, bOk);
    return bOk;
}

void CSimulatedAdapter::Deliver(const uint8_t* pReport, size_t nLength)
{
    if (m_sink)
        m_sink(pReport, nLength);
}

void CSimulatedAdapter::FeedUart(const uint8_t* pBytes, size_t nLength)
{
    if (!pBytes || nLength == 0)
        return;
    size_t nChunk = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_bUartEnabled) {
            m_nLostUartBytes += nLength;
            return;
        }
        nChunk = m_nMaxUartChunk;
    }
    uint8_t report[1 + MaxUartBytesPerReport];
    std::lock_guard lock(m_sinkMutex);
    for (size_t nPos = 0; nPos < nLength; nPos += nChunk) {
        const size_t nCount = std::min(nChunk, nLength - nPos);
        report[0] = static_cast<uint8_t>(UartDataBase + nCount);
        std::memcpy(report + 1, pBytes + nPos, nCount);
        // Every report is sent at the adapter's full input length, as on the wire.
        std::memset(report + 1 + nCount, 0, MaxUartBytesPerReport - nCount);
        Deliver(report, sizeof(report));
    }
}

void CSimulatedAdapter::FeedUart(std::string_view bytes)
{
    FeedUart(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void CSimulatedAdapter::PushInputReport(const std::vector<uint8_t>& report)
{
    std::lock_guard lock(m_sinkMutex);
    Deliver(report.data(), report.size());
}

void CSimulatedAdapter::SetInputSink(InputSink sink)
{
    std::lock_guard lock(m_sinkMutex);
    m_sink = std::move(sink);
}

void CSimulatedAdapter::PowerCycle()
{
    std::lock_guard lock(m_mutex);
    m_nState = StateIdle;
    m_bUartEnabled = false;
    m_uartConfig = m_powerOnConfig;
}

void CSimulatedAdapter::SetStateAfterRequest(uint8_t nState)
{
    std::lock_guard lock(m_mutex);
    m_nStateAfterRequest = nState;
}

void CSimulatedAdapter::SetStateAfterConfirm(uint8_t nState)
{
    std::lock_guard lock(m_mutex);
    m_nStateAfterConfirm = nState;
}

void CSimulatedAdapter::SetPollReply(uint8_t nValue)
{
    std::lock_guard lock(m_mutex);
    m_nPollReply = nValue;
}

void CSimulatedAdapter::SetMaxUartChunk(size_t nBytes)
{
    std::lock_guard lock(m_mutex);
    m_nMaxUartChunk = std::clamp<size_t>(nBytes, 1, MaxUartBytesPerReport);
}

void CSimulatedAdapter::SetUartConfig(const UartConfig& config)
{
    std::lock_guard lock(m_mutex);
    m_uartConfig = config;
}

void CSimulatedAdapter::FailNext(Direction direction, uint8_t nReportId, uint32_t nCount)
{
    if (nCount == 0)
        return;
    std::lock_guard lock(m_mutex);
    int64_t& nRemaining = m_failures[{direction, nReportId}];
    if (nRemaining >= 0)
        nRemaining += nCount;
}

void CSimulatedAdapter::FailEvery(Direction direction, uint8_t nReportId)
{
    std::lock_guard lock(m_mutex);
    m_failures[{direction, nReportId}] = -1;
}

void CSimulatedAdapter::ClearFailures()
{
    std::lock_guard lock(m_mutex);
    m_failures.clear();
}

uint8_t CSimulatedAdapter::GetHandshakeState() const
{
    std::lock_guard lock(m_mutex);
    return m_nState;
}

bool CSimulatedAdapter::IsUartEnabled() const
{
    std::lock_guard lock(m_mutex);
    return m_bUartEnabled;
}

UartConfig CSimulatedAdapter::GetUartConfig() const
{
    std::lock_guard lock(m_mutex);
    return m_uartConfig;
}

uint8_t CSimulatedAdapter::GetPollReply() const
{
    std::lock_guard lock(m_mutex);
    return m_nPollReply;
}

std::vector<std::vector<uint8_t>> CSimulatedAdapter::GetFeature49Values() const
{
    std::lock_guard lock(m_mutex);
    return m_feature49Values;
}

std::vector<uint8_t> CSimulatedAdapter::GetFeature4BValues() const
{
    std::lock_guard lock(m_mutex);
    return m_feature4BValues;
}

uint64_t CSimulatedAdapter::GetLostUartBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_nLostUartBytes;
}

std::vector<CSimulatedAdapter::FeatureTransfer> CSimulatedAdapter::GetTrace() const
{
    std::lock_guard lock(m_mutex);
    return m_trace;
}

void CSimulatedAdapter::ClearTrace()
{
    std::lock_guard lock(m_mutex);
    m_trace.clear();
}
