// The recorded streams pin the game events: quado-replay reports each game
// with how it ended, its levels and where in the stream it ended, also for a
// Press or a New in the middle of a game and for a stream that stops
// mid-game (the replay's Disconnect ends it). With --records the same games
// land in the file.
#include "tests/records/RecordsTestSupport.h"

#include <QJsonArray>

#include "tests/tools/ToolsTestSupport.h"

using namespace recordstest;
using namespace toolstest;

namespace {

// "outcome/cause at level of max @ position" per game.
QStringList Games(const QJsonObject& state)
{
    QStringList games;
    for (const QJsonValue& value : state.value(QStringLiteral("games")).toArray()) {
        const QJsonObject game = value.toObject();
        const QJsonValue max = game.value(QStringLiteral("max_level"));
        games << QStringLiteral("%1/%2 at %3 of %4 @ %5")
                     .arg(game.value(QStringLiteral("outcome")).toString(), game.value(QStringLiteral("cause")).toString(),
                          game.value(QStringLiteral("level")).toString(), max.isNull() ? QStringLiteral("?") : max.toString())
                     .arg(game.value(QStringLiteral("end_position")).toInteger());
    }
    return games;
}

} // namespace

TEST(ReplayedGames, EachRecordedStreamEndsItsGamesWhereTheLineEnds)
{
    struct Case {
        const char* pszFile;
        QStringList games;
    };
    // Read a byte at a time, a game ends exactly after the line that ends it.
    const Case cases[] = {
        {"won-game.txt", {"won/congrat at 3 of 3 @ 170"}},
        {"lost-game.txt", {"lost/incorrect at 2 of 4 @ 108"}},
        {"timeout-crlf.txt", {"timeout/timeout at 1 of 2 @ 60"}},
        {"timeout-lf.txt", {"timeout/timeout at 1 of 2 @ 53"}},
        {"press-mid-game.txt", {"abandoned/press at 2 of 5 @ 84", "won/congrat at 1 of 5 @ 117"}},
        {"new-mid-game.txt", {"abandoned/new at 4 of 8 @ 36", "timeout/timeout at 1 of 8 @ 54"}},
        // It stops mid-game; the Disconnect after the stream ends the game.
        {"split-lines.txt", {"abandoned/disconnect at 11 of 12 @ 106"}},
        {"formfeed-zero.bin", {}},
        {"latin1.bin", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszFile);
        Replay replay;
        RunReplay(replay, {QStringLiteral("--chunk"), QStringLiteral("1"), DataFile(c.pszFile)});
        ASSERT_TRUE(replay.Ok()) << replay.run.stderrBytes.constData();
        EXPECT_EQ(Games(replay.state), c.games);
    }
}

TEST(ReplayedGames, ReadsOfSixtyFourBytesPlaceTheEndAtTheirReadAndTheFileKeepsThem)
{
    QTemporaryDir dir;
    const QString strRecords = dir.filePath(QStringLiteral("records.sqlite"));
    Replay replay;
    RunReplay(replay, {QStringLiteral("--records"), strRecords, DataFile("press-mid-game.txt")});
    ASSERT_TRUE(replay.Ok()) << replay.run.stderrBytes.constData();
    EXPECT_EQ(Games(replay.state), (QStringList{"abandoned/press at 2 of 5 @ 117", "won/congrat at 1 of 5 @ 117"}));
    CFileReader file(strRecords);
    EXPECT_EQ(file.Rows(QStringLiteral("outcome, cause, level_reached, max_level, serial")),
              (QStringList{"abandoned|press|2|5|REPLAY01", "won|congrat|1|5|REPLAY01"}));
}
