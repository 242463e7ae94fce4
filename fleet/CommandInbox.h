// Commands between the link's thread and the UI thread: a burst collapses
// to the last message of each command, and a token bucket lets only a few a
// second through, so a venue's runaway script cannot keep the screen busy
// switching or queue memory without end. Plain C++.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

struct CommandMessage {
    // The topic's last level, <base>/set/<name>.
    std::string strName;
    std::string strPayload;
    bool bRetained = false;
    // Dropped unread for its length (then the payload is empty).
    size_t nTooLongBytes = 0;
};

// Filled by the link's thread, emptied by the UI thread.
class CCommandInbox {
public:
    // Put: true when the inbox was empty, so the reader must be told. A
    // message for a command already waiting replaces it and goes last, so
    // what runs is the last of each command in the order they last came.
    // Names that are no command share one place: only the last is told.
    bool Put(CommandMessage message);
    std::optional<CommandMessage> Take();
    size_t Waiting() const;
    // Every message put, and those a later one replaced.
    uint64_t Received() const;
    uint64_t Replaced() const;

private:
    mutable std::mutex m_mutex;
    std::deque<CommandMessage> m_queWaiting;
    uint64_t m_nReceived = 0;
    uint64_t m_nReplaced = 0;
};

// nBurst at once, then one every period.
class CTokenBucket {
public:
    using Clock = std::chrono::steady_clock;

    CTokenBucket(int nBurst, Clock::duration period);
    bool Take(Clock::time_point now);
    // Until Take can succeed; zero when it can now.
    Clock::duration UntilNext(Clock::time_point now);

private:
    void Refill(Clock::time_point now);

    const int m_nBurst;
    const Clock::duration m_period;
    int m_nTokens;
    std::optional<Clock::time_point> m_tLastRefill;
};
