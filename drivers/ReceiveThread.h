// The adapter window's receive thread: reads the board's UART bytes through
// CDravik and hands each read's text, in order, to the window's thread, waiting
// until it has been processed before it reads again. Plain C++: the window
// says how a task reaches its thread, so the same hand-off runs under Qt and
// under a stand-in event loop in the ThreadSanitizer stress test.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

class CDravik;

class CReceiveThread : public std::enable_shared_from_this<CReceiveThread> {
public:
    // Runs a task on the consumer (UI) thread some time later. Called on the
    // receive thread; must not wait for the consumer thread.
    using Dispatcher = std::function<void(std::function<void()> task)>;
    // One read's text, each byte as the character of the same code. Runs on
    // the consumer thread.
    using ChunkProcessor = std::function<void(std::wstring_view chunk)>;
    // A read failed. Runs on the consumer thread, which may stop the thread
    // (the adapter is gone) or let it read again.
    using FailureHandler = std::function<void()>;
    // After a failed read that the consumer let stand, the next read waits
    // this long: whatever failed it is likely to fail it again at once.
    static constexpr std::chrono::milliseconds RetryPause{100};

    // Owned through a shared_ptr: a task still queued on the consumer thread
    // after Stop must find the object (stopped) or nothing at all.
    static std::shared_ptr<CReceiveThread> Create(CDravik& dravik, Dispatcher dispatch, ChunkProcessor process,
                                                  FailureHandler onReadFailed = {});
    ~CReceiveThread();
    CReceiveThread(const CReceiveThread&) = delete;
    CReceiveThread& operator=(const CReceiveThread&) = delete;

    // A thread runs once: after Stop, Start does nothing.
    bool Start();

    // Consumer thread, at any time: stops reading and joins the thread. Does
    // not wait for a pending read (it is cancelled) nor for the consumer
    // thread (a waiting hand-off is released), so it is safe on the consumer
    // thread itself. A chunk not yet processed is dropped, and nothing is
    // processed after it returns.
    void Stop();

    bool IsRunning() const;
    // Chunks handed over and processed since Start; for tests and benches.
    uint64_t GetProcessedChunks() const;
    // Reads that failed since Start.
    uint64_t GetFailedReads() const;

private:
    CReceiveThread(CDravik& dravik, Dispatcher dispatch, ChunkProcessor process, FailureHandler onReadFailed);

    void ReceiveThreadMain();
    // Receive thread: false when the thread is stopping and must end.
    bool HandOff(std::wstring&& strChunk);
    // Receive thread: tells the consumer of a failed read, waits for it to
    // be handled and then for the retry pause; false when stopping.
    bool ReportFailure();
    // Consumer thread: the task each hand-off dispatches.
    void ProcessPending();

    CDravik& m_dravik;
    Dispatcher m_dispatch;
    ChunkProcessor m_process;
    FailureHandler m_onReadFailed;

    mutable std::mutex m_mutex;
    std::condition_variable m_cvHandOff;
    bool m_bStopping = false;
    bool m_bStarted = false;
    bool m_bPending = false;
    // The pending hand-off is a failed read, not a chunk.
    bool m_bPendingFailure = false;
    std::wstring m_strPending;
    uint64_t m_nProcessed = 0;
    uint64_t m_nFailedReads = 0;
    std::thread m_thread;
};
