#include "tools/quado-sim/VirtualDravik.h"

#include <cstdint>
#include <vector>

std::string FormatTransfer(const CSimulatedAdapter::FeatureTransfer& transfer)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string strLine = transfer.direction == CSimulatedAdapter::Direction::Set ? "set" : "get";
    for (uint8_t nByte : transfer.bytes) {
        strLine += ' ';
        strLine += Hex[nByte >> 4];
        strLine += Hex[nByte & 0x0F];
    }
    if (!transfer.bOk)
        strLine += " refused";
    return strLine;
}

CVirtualDravik::CVirtualDravik(std::unique_ptr<CSimulatedAdapter> pModel, std::FILE* pTrace,
                               bool bNameInTrace, bool bVerbose)
    : m_pModel(std::move(pModel)), m_pTrace(pTrace), m_bNameInTrace(bNameInTrace), m_bVerbose(bVerbose)
{
    m_pModel->SetInputSink([this](const uint8_t* pReport, size_t nLength) {
        m_uhid.SendInputReport(pReport, nLength);
    });
    m_uhid.SetHandlers(
        [this](const uint8_t* pData, size_t nLength) {
            const bool bOk = m_pModel->SetFeature(pData, nLength);
            WriteTrace();
            return bOk;
        },
        [this](uint8_t nReportId) {
            // uhid does not pass on how much the host asked for; the adapter
            // answers with the report's wire length and the kernel hands the
            // host no more than it asked for.
            std::vector<uint8_t> reply(CSimulatedAdapter::FeatureLength(nReportId));
            if (reply.empty())
                reply.resize(1);
            reply[0] = nReportId;
            const bool bOk = m_pModel->GetFeature(reply.data(), reply.size());
            WriteTrace();
            if (!bOk)
                reply.clear();
            return reply;
        });
}

bool CVirtualDravik::Create(int fd, const UhidIdentity& identity, int& nError)
{
    return m_uhid.Create(fd, identity, nError);
}

bool CVirtualDravik::IsListening() const
{
    return m_uhid.IsOpenedByHost() && m_pModel->IsUartEnabled();
}

void CVirtualDravik::FeedUart(std::string_view bytes)
{
    m_pModel->FeedUart(bytes);
}

void CVirtualDravik::WriteTrace()
{
    // Taking the records out keeps a long-running adapter's memory flat.
    const std::vector<CSimulatedAdapter::FeatureTransfer> transfers = m_pModel->GetTrace();
    m_pModel->ClearTrace();
    for (const auto& transfer : transfers) {
        const std::string strLine = FormatTransfer(transfer);
        if (m_pTrace) {
            if (m_bNameInTrace)
                std::fprintf(m_pTrace, "%s ", GetSerial().c_str());
            std::fprintf(m_pTrace, "%s\n", strLine.c_str());
            std::fflush(m_pTrace);
        }
        if (m_bVerbose)
            std::fprintf(stderr, "quado-sim: %s: %s\n", GetSerial().c_str(), strLine.c_str());
    }
}
