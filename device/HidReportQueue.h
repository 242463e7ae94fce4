// The input-report queue of one open HID device, shared by the Linux and the
// simulated backends so that both keep, drop, wait and cancel alike: a bounded
// FIFO filled by a producer (the hidraw reader thread, the simulated adapter)
// and drained by ReadReports.
#pragma once

#include "device/IHidBackend.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class CHidReportQueue {
public:
    static constexpr size_t DefaultCapacity = 32;
    static constexpr size_t MinCapacity = 2;
    static constexpr size_t MaxCapacity = 512;

    CHidReportQueue();

    // 2 to 512; a queue shrunk below its content keeps the oldest reports.
    bool SetCapacity(size_t nCapacity);
    size_t GetCapacity() const;

    // A full queue drops the new report (false), as the kernel and the HID
    // class driver do; so does a queue whose device is gone.
    bool Push(const uint8_t* pReport, size_t nLength);

    // The device went away: queued reports are still delivered, then every
    // read fails at once.
    void MarkGone();
    bool IsGone() const;

    void Cancel();
    HidReadResult Read(uint8_t* pBuffer, size_t nReportLength, size_t nMaxReports, uint32_t nTimeoutMs,
                       size_t& nBytesRead);

    void Clear();
    // Back to a fresh open: empty, not gone, no cancel pending, default size.
    void Reset();

    size_t GetQueuedCount() const;
    uint64_t GetDroppedCount() const;

private:
    size_t TakeLocked(uint8_t* pBuffer, size_t nReportLength, size_t nMaxReports);

    mutable std::mutex m_mutex;
    std::condition_variable m_cvChanged;
    std::deque<std::vector<uint8_t>> m_reports;
    size_t m_nCapacity = DefaultCapacity;
    uint64_t m_nDropped = 0;
    bool m_bGone = false;
    bool m_bCancelPending = false;
};
