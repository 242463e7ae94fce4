// The game board at the far end of quado-demo's simulated adapter: sends the
// simulated firmware's lines into the adapter's UART on the UI thread's
// timer, while Quado has the adapter's UART switched on. A disconnect holds
// the game where it is; the next connect carries on from there.
#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

#include "tools/common/SimulatedGameBoard.h"

class CSimulatedAdapter;

class CDemoBoard : public QObject {
    Q_OBJECT
public:
    // How often a disconnected board looks for its connection again.
    static constexpr int IdleCheckMs = 100;

    CDemoBoard(std::shared_ptr<CSimulatedAdapter> pAdapter, uint32_t nSeed, double fSpeed);

    void Start();
    // Once the board has sent "Level n -" it sends nothing more: a game
    // stays in progress for as long as a test needs one. 0: never.
    void HoldAtLevel(int nLevel) { m_nHoldAtLevel = nLevel; }

private:
    void OnTimer();

    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
    CSimulatedGameBoard m_board;
    BoardLine m_lineNext;
    bool m_bWasConnected = false;
    int m_nHoldAtLevel = 0;
    QTimer m_timer;
};
