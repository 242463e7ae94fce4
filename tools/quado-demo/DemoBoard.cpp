#include "tools/quado-demo/DemoBoard.h"

#include <string>

#include "device/SimulatedAdapter.h"

CDemoBoard::CDemoBoard(std::shared_ptr<CSimulatedAdapter> pAdapter, uint32_t nSeed, double fSpeed)
    : m_pAdapter(std::move(pAdapter)), m_board(nSeed, fSpeed)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CDemoBoard::OnTimer);
}

void CDemoBoard::Start()
{
    m_lineNext = m_board.Next();
    m_timer.start(IdleCheckMs);
}

void CDemoBoard::OnTimer()
{
    // Bytes sent while the UART is off would be lost, as on the real
    // adapter; the board rather waits, so no game is cut short unseen.
    if (!m_pAdapter->IsUartEnabled()) {
        m_bWasConnected = false;
        m_timer.start(IdleCheckMs);
        return;
    }
    if (!m_bWasConnected) {
        // Just connected: the pending line keeps its own pause, counted
        // from now.
        m_bWasConnected = true;
        m_timer.start(static_cast<int>(m_lineNext.delay.count()));
        return;
    }
    m_pAdapter->FeedUart(m_lineNext.strBytes);
    if (m_nHoldAtLevel > 0 && m_lineNext.strBytes == "Level " + std::to_string(m_nHoldAtLevel) + " -\r\n")
        return;
    m_lineNext = m_board.Next();
    m_timer.start(static_cast<int>(m_lineNext.delay.count()));
}
