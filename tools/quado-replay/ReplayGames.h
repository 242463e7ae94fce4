// The games of a replayed stream for quado-replay's state report, each with
// where in the stream it ended, so that a recording pins its games.
#pragma once

#include <QJsonArray>

#include <cstddef>

class CGameEvents;

class CReplayGames {
public:
    // From now on, each game that ends is noted as the game events ended it
    // (outcome, cause, levels) with *pnDelivered at that moment. The events must outlive this object or end first.
    void Follow(CGameEvents& events, const size_t* pnDelivered);

    const QJsonArray& Games() const { return m_games; }

private:
    QJsonArray m_games;
};
