#include "drivers/ReceiveThread.h"

#include "device/Dravik.h"

#include <utility>

std::shared_ptr<CReceiveThread> CReceiveThread::Create(CDravik& dravik, Dispatcher dispatch,
                                                       ChunkProcessor process, FailureHandler onReadFailed)
{
    return std::shared_ptr<CReceiveThread>(
        new CReceiveThread(dravik, std::move(dispatch), std::move(process), std::move(onReadFailed)));
}

CReceiveThread::CReceiveThread(CDravik& dravik, Dispatcher dispatch, ChunkProcessor process,
                               FailureHandler onReadFailed)
    : m_dravik(dravik)
    , m_dispatch(std::move(dispatch))
    , m_process(std::move(process))
    , m_onReadFailed(std::move(onReadFailed))
{
}

CReceiveThread::~CReceiveThread()
{
    // Only the consumer side owns the object (the thread itself holds no
    // strong link), so this never runs on the receive thread.
    Stop();
}

bool CReceiveThread::Start()
{
    std::lock_guard lock(m_mutex);
    if (m_bStarted)
        return false;
    m_bStarted = true;
    m_thread = std::thread(&CReceiveThread::ReceiveThreadMain, this);
    return true;
}

void CReceiveThread::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStarted = true;
        m_bStopping = true;
        m_bPending = false;
        m_bPendingFailure = false;
        m_strPending.clear();
    }
    if (!m_thread.joinable())
        return;
    m_cvHandOff.notify_all();
    // A read blocked for the board's next byte, or the next one if the thread
    // is between reads, returns at once. Only while our thread lives: a
    // cancel left behind would fail a later connection's first read.
    m_dravik.CancelRead();
    m_thread.join();
}

bool CReceiveThread::IsRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() && !m_bStopping;
}

uint64_t CReceiveThread::GetProcessedChunks() const
{
    std::lock_guard lock(m_mutex);
    return m_nProcessed;
}

uint64_t CReceiveThread::GetFailedReads() const
{
    std::lock_guard lock(m_mutex);
    return m_nFailedReads;
}

void CReceiveThread::ReceiveThreadMain()
{
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_bStopping)
                return;
        }
        uint16_t nReceived = 0;
        // An adapter pulled out fails every read at once: retrying at once
        // would spin a core until the window's poll noticed. The window
        // hears of it now and stops us, or the read is tried again later.
        if (m_dravik.ReadUartData(&nReceived) != DeviceSuccess) {
            if (!ReportFailure())
                return;
            continue;
        }

        std::wstring strChunk(nReceived, L'\0');
        for (uint16_t i = 0; i < nReceived; ++i)
            strChunk[i] = static_cast<wchar_t>(ReceiveBuffer[i]);
        // Also an empty chunk: a read of reports without UART data still
        // moves the log's insertion point to its end.
        if (!HandOff(std::move(strChunk)))
            return;
    }
}

bool CReceiveThread::HandOff(std::wstring&& strChunk)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_bStopping)
            return false;
        m_strPending = std::move(strChunk);
        m_bPending = true;
    }
    // The task holds only a weak link: once the window has dropped this
    // thread, a task still queued finds nothing and does nothing.
    m_dispatch([pWeak = weak_from_this()] {
        if (std::shared_ptr<CReceiveThread> pThread = pWeak.lock())
            pThread->ProcessPending();
    });
    std::unique_lock lock(m_mutex);
    m_cvHandOff.wait(lock, [this] { return !m_bPending || m_bStopping; });
    return !m_bStopping;
}

bool CReceiveThread::ReportFailure()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_nFailedReads;
        if (m_bStopping)
            return false;
        m_bPending = true;
        m_bPendingFailure = true;
    }
    m_dispatch([pWeak = weak_from_this()] {
        if (std::shared_ptr<CReceiveThread> pThread = pWeak.lock())
            pThread->ProcessPending();
    });
    std::unique_lock lock(m_mutex);
    m_cvHandOff.wait(lock, [this] { return !m_bPending || m_bStopping; });
    m_cvHandOff.wait_for(lock, RetryPause, [this] { return m_bStopping; });
    return !m_bStopping;
}

void CReceiveThread::ProcessPending()
{
    std::wstring strChunk;
    bool bFailure = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_bStopping || !m_bPending)
            return;
        strChunk = std::move(m_strPending);
        m_strPending.clear();
        bFailure = std::exchange(m_bPendingFailure, false);
    }
    // Not under the lock: processing may stop this very thread.
    if (bFailure) {
        if (m_onReadFailed)
            m_onReadFailed();
    } else {
        m_process(strChunk);
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_bStopping)
            return;
        m_bPending = false;
        if (!bFailure)
            ++m_nProcessed;
    }
    m_cvHandOff.notify_all();
}
