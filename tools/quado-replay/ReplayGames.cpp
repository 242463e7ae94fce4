#include "tools/quado-replay/ReplayGames.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "protocol/GameEvents.h"

void CReplayGames::Follow(CGameEvents& events, const size_t* pnDelivered)
{
    events.Subscribe([this, pnDelivered](const GameEvent& event) {
        if (event.nKind != GameEvent::Kind::GameEnded)
            return;
        const GameRecord& game = event.game;
        QJsonObject entry{
            {QStringLiteral("outcome"), QString::fromLatin1(OutcomeName(game.nOutcome))},
            {QStringLiteral("cause"), QString::fromLatin1(EndCauseName(game.nCause))},
            {QStringLiteral("level"), QString::fromStdWString(game.levelReached.strText)},
            {QStringLiteral("level_number"),
             game.levelReached.nNumber ? QJsonValue(*game.levelReached.nNumber) : QJsonValue()},
            {QStringLiteral("max_level"),
             game.strMaxLevel ? QJsonValue(QString::fromStdWString(*game.strMaxLevel)) : QJsonValue()},
            {QStringLiteral("serial"), QString::fromStdString(game.strSerial)},
            {QStringLiteral("end_position"), static_cast<qint64>(*pnDelivered)},
        };
        m_games.append(entry);
    });
}
