#include "fleet/CommandInbox.h"

#include <algorithm>

#include "fleet/VenueCommand.h"

namespace {

// Where a message waits: its command's place, or the one place of names
// that are no command (a stranger's flood of names cannot grow the inbox).
std::string_view Place(const CommandMessage& message)
{
    return IsVenueCommandName(message.strName) ? std::string_view(message.strName) : std::string_view();
}

} // namespace

bool CCommandInbox::Put(CommandMessage message)
{
    std::lock_guard lock(m_mutex);
    ++m_nReceived;
    const bool bWasEmpty = m_queWaiting.empty();
    const auto it = std::find_if(m_queWaiting.begin(), m_queWaiting.end(),
                                 [&](const CommandMessage& waiting) { return Place(waiting) == Place(message); });
    if (it != m_queWaiting.end()) {
        m_queWaiting.erase(it);
        ++m_nReplaced;
    }
    m_queWaiting.push_back(std::move(message));
    return bWasEmpty;
}

std::optional<CommandMessage> CCommandInbox::Take()
{
    std::lock_guard lock(m_mutex);
    if (m_queWaiting.empty())
        return std::nullopt;
    CommandMessage message = std::move(m_queWaiting.front());
    m_queWaiting.pop_front();
    return message;
}

size_t CCommandInbox::Waiting() const
{
    std::lock_guard lock(m_mutex);
    return m_queWaiting.size();
}

uint64_t CCommandInbox::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_nReceived;
}

uint64_t CCommandInbox::Replaced() const
{
    std::lock_guard lock(m_mutex);
    return m_nReplaced;
}

CTokenBucket::CTokenBucket(int nBurst, Clock::duration period)
    : m_nBurst(std::max(1, nBurst))
    , m_period(std::max(period, Clock::duration(1)))
    , m_nTokens(m_nBurst)
{
}

void CTokenBucket::Refill(Clock::time_point now)
{
    if (!m_tLastRefill || m_nTokens >= m_nBurst || now < *m_tLastRefill) {
        m_tLastRefill = now;
        return;
    }
    const auto nEarned = (now - *m_tLastRefill) / m_period;
    if (nEarned <= 0)
        return;
    m_nTokens = static_cast<int>(std::min<decltype(nEarned)>(m_nBurst, m_nTokens + nEarned));
    // What is left of a period counts towards the next token.
    m_tLastRefill = m_nTokens >= m_nBurst ? now : *m_tLastRefill + nEarned * m_period;
}

bool CTokenBucket::Take(Clock::time_point now)
{
    Refill(now);
    if (m_nTokens <= 0)
        return false;
    --m_nTokens;
    return true;
}

CTokenBucket::Clock::duration CTokenBucket::UntilNext(Clock::time_point now)
{
    Refill(now);
    if (m_nTokens > 0)
        return Clock::duration::zero();
    return *m_tLastRefill + m_period - now;
}
