#include "device/HidReportQueue.h"

#include <algorithm>
#include <chrono>
#include <cstring>

CHidReportQueue::CHidReportQueue() = default;

bool CHidReportQueue::SetCapacity(size_t nCapacity)
{
    if (nCapacity < MinCapacity || nCapacity > MaxCapacity)
        return false;
    std::lock_guard lock(m_mutex);
    m_nCapacity = nCapacity;
    while (m_reports.size() > m_nCapacity)
        m_reports.pop_back();
    return true;
}

size_t CHidReportQueue::GetCapacity() const
{
    std::lock_guard lock(m_mutex);
    return m_nCapacity;
}

bool CHidReportQueue::Push(const uint8_t* pReport, size_t nLength)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_bGone || m_reports.size() >= m_nCapacity) {
            ++m_nDropped;
            return false;
        }
        m_reports.emplace_back(pReport, pReport + nLength);
    }
    m_cvChanged.notify_all();
    return true;
}

void CHidReportQueue::MarkGone()
{
    {
        std::lock_guard lock(m_mutex);
        m_bGone = true;
    }
    m_cvChanged.notify_all();
}

bool CHidReportQueue::IsGone() const
{
    std::lock_guard lock(m_mutex);
    return m_bGone;
}

void CHidReportQueue::Cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_bCancelPending = true;
    }
    m_cvChanged.notify_all();
}

size_t CHidReportQueue::TakeLocked(uint8_t* pBuffer, size_t nReportLength, size_t nMaxReports)
{
    size_t nTaken = 0;
    while (nTaken < nMaxReports && !m_reports.empty()) {
        const std::vector<uint8_t>& report = m_reports.front();
        uint8_t* pSlot = pBuffer + nTaken * nReportLength;
        const size_t nCopy = std::min(report.size(), nReportLength);
        if (nCopy)
            std::memcpy(pSlot, report.data(), nCopy);
        if (nCopy < nReportLength)
            std::memset(pSlot + nCopy, 0, nReportLength - nCopy);
        m_reports.pop_front();
        ++nTaken;
    }
    return nTaken * nReportLength;
}

HidReadResult CHidReportQueue::Read(uint8_t* pBuffer, size_t nReportLength, size_t nMaxReports,
                                    uint32_t nTimeoutMs, size_t& nBytesRead)
{
    nBytesRead = 0;
    if (nMaxReports == 0 || nReportLength == 0)
        return HidReadResult::Ok;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    std::unique_lock lock(m_mutex);
    for (;;) {
        // A cancel wins over queued data so that a stopping reader leaves at once.
        if (m_bCancelPending) {
            m_bCancelPending = false;
            return HidReadResult::Failed;
        }
        if (!m_reports.empty()) {
            nBytesRead = TakeLocked(pBuffer, nReportLength, nMaxReports);
            return HidReadResult::Ok;
        }
        if (m_bGone)
            return HidReadResult::Failed;
        if (nTimeoutMs == HidInfiniteTimeout) {
            m_cvChanged.wait(lock);
        } else if (m_cvChanged.wait_until(lock, deadline) == std::cv_status::timeout) {
            if (m_bCancelPending || !m_reports.empty() || m_bGone)
                continue;
            return HidReadResult::Timeout;
        }
    }
}

void CHidReportQueue::Clear()
{
    std::lock_guard lock(m_mutex);
    m_reports.clear();
}

void CHidReportQueue::Reset()
{
    std::lock_guard lock(m_mutex);
    m_reports.clear();
    m_nCapacity = DefaultCapacity;
    m_bGone = false;
    m_bCancelPending = false;
}

size_t CHidReportQueue::GetQueuedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_reports.size();
}

uint64_t CHidReportQueue::GetDroppedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_nDropped;
}
