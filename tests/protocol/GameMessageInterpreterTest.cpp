// What the board shows and plays for the game board's text lines.

#include "protocol/GameEvents.h"
#include "protocol/GameMessageInterpreter.h"
#include "tests/protocol/RecordingDoubles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace std::string_view_literals;

namespace {

RecordedCall Light(int n) { return {RecordedCall::Light, n, {}}; }
RecordedCall Panel(std::wstring_view s) { return {RecordedCall::Panel, 0, std::wstring(s)}; }
RecordedCall Once(int nId) { return {RecordedCall::PlayOnce, nId, {}}; }
RecordedCall Loop(int nId) { return {RecordedCall::PlayLooping, nId, {}}; }
RecordedCall Stop() { return {RecordedCall::Stop, 0, {}}; }

constexpr std::wstring_view LoseText = L"You Lose!\n\nSie Haben\nVerloren!";
constexpr std::wstring_view TimeoutText = L"Timeout\n\nZeitlimit\n\u00DCberschritten";
constexpr std::wstring_view WinText = L"You Win!\n\nSie Haben\nGewonnen!";
constexpr std::wstring_view PressText =
    L"Press button\nto start\n\nDr\u00FCcken Sie\nKnopf, um\nanzufangen";

class GameMessages : public ::testing::Test {
protected:
    GameMessages() { m_interpreter.SetLinks(&m_pView, &m_bMute, &m_player); }

    CallLog Feed(std::wstring_view text)
    {
        m_log.clear();
        m_interpreter.AssembleLines(text);
        return m_log;
    }
    auto State() const
    {
        const CGameMessageInterpreter& i = m_interpreter;
        return std::tuple(i.GetPendingLine(), i.IsLineOverLong(), i.IsTonePlaying(),
                          i.IsGameRunning(), i.IsMaxLevelKnown(), i.GetMaxLevel());
    }

    CallLog m_log;
    CRecordingBoard m_board{m_log};
    CRecordingPlayer m_player{m_log};
    IQuadoBoard* m_pView = &m_board;
    bool m_bMute = false;
    CGameMessageInterpreter m_interpreter;
};

TEST_F(GameMessages, ColourAndLightKeywordsMustBeTheWholeLine)
{
    EXPECT_EQ(Feed(L"B\nG\nR\nY\nAll\nOff\n"),
              (CallLog{Light(3), Light(1), Light(2), Light(4), Light(5), Light(0)}));
    EXPECT_EQ(Feed(L"Blue\nGr\nAlles\nOffline\nB G\n"), CallLog{});
}

TEST_F(GameMessages, PrefixKeywordsAcceptAnyTail)
{
    EXPECT_EQ(Feed(L"Newton\n"), CallLog{});
    EXPECT_TRUE(m_interpreter.IsGameRunning());
    EXPECT_EQ(Feed(L"Timeouts\nCongratulations!\nPress button\nIncorrect colour\nLevel\n"),
              (CallLog{Once(152), Panel(TimeoutText), Once(160), Panel(WinText), Panel(PressText),
                       Once(152), Panel(LoseText), Panel(L"Level:\n\n\nSchwierigkeit:\n")}));
    EXPECT_EQ(Feed(L"Ne\nTime\nCongra\nPres\nLeve\n"), CallLog{});
}

TEST_F(GameMessages, KeywordsIgnoreAsciiCaseAndSurroundingWhiteSpace)
{
    EXPECT_EQ(Feed(L"off\nOFF\n Off \n\u00A0G\u00A0\n\t\vr\f\r\nyEs\npReSs\n"),
              (CallLog{Light(0), Light(0), Light(0), Light(1), Light(2), Panel(PressText)}));
    // Unicode case folding would turn these into "Press" and "Incorrect".
    EXPECT_EQ(Feed(L"Pre\u017F\u017F\n\u0130ncorrect\n"), CallLog{});
}

TEST_F(GameMessages, EmptyAndUnknownLinesChangeNothing)
{
    Feed(L"New\nG\n");
    const auto state = State();
    EXPECT_EQ(Feed(L"\n \t\u00A0\r\n\nhello\n-\n=\n"), CallLog{});
    EXPECT_EQ(State(), state);
    EXPECT_EQ(Feed(L"Off\n"), (CallLog{Light(0), Stop()}));
}

TEST_F(GameMessages, LevelTextShowsTheNumberAndAKnownHighestLevel)
{
    const std::pair<std::wstring_view, std::wstring_view> withoutMax[] = {
        {L"Level 3 -", L"Level:\n3\n\nSchwierigkeit:\n3"},
        {L"Level 3", L"Level:\n\n\nSchwierigkeit:\n"},
        {L"Level5-", L"Level:\nLevel5\n\nSchwierigkeit:\nLevel5"},
        {L"LEVEL 7 -", L"Level:\n7\n\nSchwierigkeit:\n7"},
        {L"Level   10  - 4 - 5", L"Level:\n10\n\nSchwierigkeit:\n10"},
        {L"Level two words -", L"Level:\ntwo words\n\nSchwierigkeit:\ntwo words"},
    };
    for (const auto& [line, text] : withoutMax)
        EXPECT_EQ(Feed(std::wstring(line) + L"\n"), CallLog{Panel(text)}) << ::testing::PrintToString(std::wstring(line));

    EXPECT_EQ(Feed(L"MAX_LEVEL=12\nLevel 3 -\n"),
              CallLog{Panel(L"Level:\n3 of 12\n\nSchwierigkeit:\n3 aus 12")});
    EXPECT_EQ(Feed(L"Level 3\n"), CallLog{Panel(L"Level:\n of 12\n\nSchwierigkeit:\n aus 12")});
}

TEST_F(GameMessages, HighestLevelIsTheTextAfterTheFirstEqualsOrTheWholeLine)
{
    const std::pair<std::wstring_view, std::wstring_view> cases[] = {
        {L"MAX_LEVEL=12", L"12"},
        {L" max_level =\u00A09 = 10 ", L"9 = 10"},
        {L"MAX_LEVEL", L"MAX_LEVEL"},
        {L"MAX_LEVEL 20", L"MAX_LEVEL 20"},
        {L"MAX_LEVEL=", L""},
    };
    EXPECT_FALSE(m_interpreter.IsMaxLevelKnown());
    for (const auto& [line, level] : cases) {
        EXPECT_EQ(Feed(std::wstring(line) + L"\n"), CallLog{});
        EXPECT_TRUE(m_interpreter.IsMaxLevelKnown());
        EXPECT_EQ(m_interpreter.GetMaxLevel(), level);
    }
}

TEST_F(GameMessages, ColourTonesPlayOnlyInARunningUnmutedGame)
{
    // Before "New": lit silently, yet the tone flag is set; "Off" then sends no stop.
    EXPECT_EQ(Feed(L"G\n"), CallLog{Light(1)});
    EXPECT_TRUE(m_interpreter.IsTonePlaying());
    EXPECT_EQ(Feed(L"Off\n"), CallLog{Light(0)});

    EXPECT_EQ(Feed(L"New\nB\nG\nR\nY\nY\nOff\n"),
              (CallLog{Light(3), Loop(151), Light(1), Loop(153), Light(2), Loop(154), Light(4),
                       Loop(156), Light(4), Loop(156), Light(0), Stop()}));

    m_bMute = true;
    EXPECT_EQ(Feed(L"R\n"), CallLog{Light(2)});
    // Mute gates new sounds, not the stop of one that may still be playing.
    EXPECT_EQ(Feed(L"Off\n"), (CallLog{Light(0), Stop()}));
    m_bMute = false;

    EXPECT_EQ(Feed(L"Congrat\nG\nOff\n"), (CallLog{Once(160), Panel(WinText), Light(1), Light(0)}));
}

TEST_F(GameMessages, AllKeepsTheToneLoopingAndDisarmsTheNextOff)
{
    EXPECT_EQ(Feed(L"New\nG\nAll\nOff\n"), (CallLog{Light(1), Loop(153), Light(5), Light(0)}));
    // Every recognised non-colour line disarms "Off"; an unknown one does not.
    for (const std::wstring_view line : {L"Level 1 -\n", L"MAX_LEVEL=3\n", L"New\n"}) {
        Feed(L"G\n");
        Feed(line);
        EXPECT_FALSE(m_interpreter.IsTonePlaying());
        EXPECT_EQ(Feed(L"Off\n"), CallLog{Light(0)});
    }
    EXPECT_EQ(Feed(L"G\nnoise\nOff\n"), (CallLog{Light(1), Loop(153), Light(0), Stop()}));
}

TEST_F(GameMessages, LoseAndWinSoundsIgnoreTheGameButObeyMute)
{
    EXPECT_FALSE(m_interpreter.IsGameRunning());
    EXPECT_EQ(Feed(L"Incorrect\nTimeout\nCongrat\n"),
              (CallLog{Once(152), Panel(LoseText), Once(152), Panel(TimeoutText), Once(160),
                       Panel(WinText)}));
    m_bMute = true;
    EXPECT_EQ(Feed(L"New\nIncorrect\n"), CallLog{Panel(LoseText)});
    for (const std::wstring_view line : {L"Timeout\n", L"Congrat\n", L"Press\n", L"Incorrect\n"}) {
        Feed(L"New\n");
        Feed(line);
        EXPECT_FALSE(m_interpreter.IsGameRunning()) << ::testing::PrintToString(std::wstring(line));
    }
}

TEST_F(GameMessages, LinesAreAssembledAcrossAndWithinReads)
{
    EXPECT_EQ(Feed(L"Lev"), CallLog{});
    EXPECT_EQ(Feed(L"el 4"), CallLog{});
    EXPECT_EQ(Feed(L""), CallLog{});
    EXPECT_EQ(Feed(L" -"), CallLog{});
    EXPECT_EQ(m_interpreter.GetPendingLine(), L"Level 4 -");
    EXPECT_EQ(Feed(L"\nG\nR\nY"), (CallLog{Panel(L"Level:\n4\n\nSchwierigkeit:\n4"), Light(1), Light(2)}));
    EXPECT_EQ(Feed(L"\r\n"), CallLog{Light(4)});
    EXPECT_EQ(m_interpreter.GetPendingLine(), L"");

    // A zero character ends the read: nothing after it is collected or acted on.
    EXPECT_EQ(Feed(L"G\nR\0Y\nB\n"sv), CallLog{Light(1)});
    EXPECT_EQ(m_interpreter.GetPendingLine(), L"R");
    EXPECT_EQ(Feed(L"\0\n"sv), CallLog{});
    EXPECT_EQ(Feed(L"\n"), CallLog{Light(2)});
}

TEST_F(GameMessages, TheViewIsLookedUpAtEachUseAndMissingLinksAreSkipped)
{
    CallLog secondLog;
    CRecordingBoard otherBoard(secondLog);
    Feed(L"New\nG\n");
    m_pView = &otherBoard;
    EXPECT_EQ(Feed(L"R\nPress\n"), CallLog{Loop(154)});
    EXPECT_EQ(secondLog, (CallLog{Light(2), Panel(PressText)}));

    m_pView = nullptr;
    EXPECT_EQ(Feed(L"New\nY\nLevel 2 -\nIncorrect\n"), (CallLog{Loop(156), Once(152)}));

    m_interpreter.SetLinks(nullptr, nullptr, nullptr);
    EXPECT_EQ(Feed(L"New\nB\nMAX_LEVEL=5\nCongrat\nOff\n"), CallLog{});
    EXPECT_EQ(m_interpreter.GetMaxLevel(), L"5");
    EXPECT_FALSE(m_interpreter.IsGameRunning());
}

TEST_F(GameMessages, AnOverLongLineIsDroppedWholeAndTheNextStartsClean)
{
    const std::size_t nCap = CGameMessageInterpreter::MaxLineLength;
    // Exactly at the cap the line still counts.
    EXPECT_EQ(Feed(L"Press" + std::wstring(nCap - 5, L' ') + L"\n"), CallLog{Panel(PressText)});

    // One character more, delivered over several reads: nothing of it is acted
    // on, although its head reads "Congrat".
    const std::wstring strLong = L"Congrat" + std::wstring(nCap, L'x');
    EXPECT_EQ(Feed(std::wstring_view(strLong).substr(0, 3000)), CallLog{});
    EXPECT_EQ(Feed(std::wstring_view(strLong).substr(3000)), CallLog{});
    EXPECT_EQ(m_interpreter.GetPendingLine().size(), nCap);
    EXPECT_TRUE(m_interpreter.IsLineOverLong());
    EXPECT_EQ(Feed(L"more\nG\n"), CallLog{Light(1)});
    EXPECT_FALSE(m_interpreter.IsLineOverLong());
}

// Where the reads happen to split the stream must never show: the same calls,
// in the same order, and the same final state as one read of the whole stream.
TEST_F(GameMessages, ReadBoundariesNeverChangeTheOutcome)
{
    const std::wstring strStream = L"Press\nG\nNew\nMAX_LEVEL=12\nLevel 1 -\nG\n Off\nR\nAll\nOff\n"
                                   L"Level 2 -\nB\n\u00A0y\u00A0\nOFF\nIncorrect\nNew\n" +
                                   std::wstring(5000, L'G') +
                                   L"\nR\nTimeouts\nNewton\nY\nCongratulations!\nLevel5-\nmax_level 9";
    auto Run = [&](const std::vector<std::size_t>& cuts) {
        CGameMessageInterpreter interpreter;
        m_log.clear();
        interpreter.SetLinks(&m_pView, &m_bMute, &m_player);
        std::size_t nFrom = 0;
        for (const std::size_t nCut : cuts) {
            interpreter.AssembleLines(std::wstring_view(strStream).substr(nFrom, nCut - nFrom));
            nFrom = nCut;
        }
        interpreter.AssembleLines(std::wstring_view(strStream).substr(nFrom));
        return std::tuple(m_log, interpreter.GetPendingLine(), interpreter.IsLineOverLong(),
                          interpreter.IsTonePlaying(), interpreter.IsGameRunning(),
                          interpreter.IsMaxLevelKnown(), interpreter.GetMaxLevel());
    };

    const auto whole = Run({});
    ASSERT_EQ(std::get<0>(whole).size(), 29u);
    for (std::size_t nCut = 0; nCut <= strStream.size(); ++nCut)
        ASSERT_EQ(Run({nCut}), whole) << "split at " << nCut;

    std::mt19937 random(20240607);
    for (int nRound = 0; nRound < 500; ++nRound) {
        std::uniform_int_distribution<std::size_t> position(0, strStream.size());
        std::vector<std::size_t> cuts(1 + random() % 40);
        for (std::size_t& nCut : cuts)
            nCut = position(random);
        std::sort(cuts.begin(), cuts.end());
        ASSERT_EQ(Run(cuts), whole) << "round " << nRound;
    }
}

// The game events a stream gives, each in a word or two: what records and
// telemetry will see.
class GameEventStream : public GameMessages {
protected:
    GameEventStream()
    {
        m_interpreter.SetEvents(&m_events);
        m_events.Subscribe([this](const GameEvent& event) {
            using Kind = GameEvent::Kind;
            const std::string strLevel(event.game.levelReached.strText.begin(), event.game.levelReached.strText.end());
            switch (event.nKind) {
            case Kind::GameStarted:
                m_seen.push_back("started");
                break;
            case Kind::GameEnded:
                m_seen.push_back(std::string(OutcomeName(event.game.nOutcome)) + "/" +
                                 EndCauseName(event.game.nCause) + " at " + strLevel +
                                 (event.game.strMaxLevel ? " of " + std::string(event.game.strMaxLevel->begin(),
                                                                                event.game.strMaxLevel->end())
                                                         : std::string()));
                break;
            case Kind::Connected:
            case Kind::Disconnected:
                m_seen.push_back(event.nKind == Kind::Connected ? "connected " + event.strSerial
                                                                : std::string("disconnected ") +
                                                                      DisconnectReasonName(event.nReason));
                break;
            case Kind::LevelShown:
            case Kind::Line:
                break;
            }
        });
    }

    std::vector<std::string> Events(std::wstring_view text)
    {
        m_seen.clear();
        Feed(text);
        return m_seen;
    }

    CGameEvents m_events;
    std::vector<std::string> m_seen;
};

TEST_F(GameEventStream, EachGameEndsOnceWithItsOutcomeAndTheHighestLevelReached)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(Events(L"Press\nNew\nMAX_LEVEL=12\nLevel 1 -\nG\nLevel 3 -\nLevel 2 -\nCongratulations!\n"),
              (V{"started", "won/congrat at 3 of 12"}));
    EXPECT_EQ(Events(L"New\nLevel 1 -\nIncorrect\nNew\nTimeout\n"),
              (V{"started", "lost/incorrect at 1 of 12", "started", "timeout/timeout at  of 12"}));
    // A "Press" or another "New" while a game runs abandons it; the end
    // lines with no game running end nothing.
    EXPECT_EQ(Events(L"Congrat\nNew\nLevel x -\nPress\nNew\nNewton\nTimeout\nIncorrect\n"),
              (V{"started", "abandoned/press at x of 12", "started", "abandoned/new at  of 12", "started",
                 "timeout/timeout at  of 12"}));
    EXPECT_EQ(m_events.LineCount(), 21u);

    // The link going away ends the game it carried, and only that one.
    m_events.OnConnected("DRAVIK-7");
    EXPECT_EQ(Events(L"New\nLevel 4 -\n"), V{"started"});
    m_events.OnDisconnected(DisconnectReason::AdapterLost);
    m_events.OnConnected("DRAVIK-7");
    m_events.OnDisconnected(DisconnectReason::User);
    EXPECT_EQ(m_seen, (V{"started", "abandoned/adapter_lost at 4 of 12", "disconnected adapter_lost",
                         "connected DRAVIK-7", "disconnected user"}));
    EXPECT_EQ(Events(L"Congrat\n"), V{}) << "the board's end of a game already abandoned";
}

// Observers come and go while they are told: one that leaves is not told
// again, one that joins hears from the next event on.
TEST(GameEvents, ObserversMayLeaveAndJoinWhileTheyAreTold)
{
    CGameEvents events;
    std::vector<std::string> heard;
    int nJoined = 0;
    int nSelf = 0;
    nSelf = events.Subscribe([&](const GameEvent&) {
        heard.push_back("self");
        events.Unsubscribe(nSelf);
        nJoined = events.Subscribe([&](const GameEvent&) { heard.push_back("joined"); });
    });
    events.Subscribe([&](const GameEvent&) { heard.push_back("other"); });
    events.OnLine();
    EXPECT_EQ(heard, (std::vector<std::string>{"self", "other"}));
    events.OnLine();
    EXPECT_EQ(heard, (std::vector<std::string>{"self", "other", "other", "joined"}));
    events.Unsubscribe(nJoined);
    events.OnLine();
    EXPECT_EQ(heard.back(), "other");
}

} // namespace
