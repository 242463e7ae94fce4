// The demo's simulated board, heard through the real interpreter: its games
// are games (prompt, start, levels that grow, an end), in the firmware's
// format, and its pace is a human one.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "protocol/GameMessageInterpreter.h"
#include "protocol/IQuadoBoard.h"
#include "tools/common/SimulatedGameBoard.h"

namespace {

class CBoardRecorder : public IQuadoBoard {
public:
    void LightQuadrant(int nIndex) override { m_nLit = nIndex; }
    void ShowPanelText(const std::wstring& strText) override { m_vecPanels.push_back(strText); }

    int m_nLit = 0;
    std::vector<std::wstring> m_vecPanels;
};

} // namespace

TEST(SimulatedGameBoard, PlaysWonLostAndTimedOutGamesInTheFirmwaresFormat)
{
    CSimulatedGameBoard board(7);
    CBoardRecorder recorder;
    IQuadoBoard* pView = &recorder;
    CGameMessageInterpreter interpreter;
    interpreter.SetLinks(&pView, nullptr, nullptr);

    int nWon = 0, nLost = 0, nTimedOut = 0, nLevel = 0;
    std::string strSequenceShown;
    std::string strPrevious;
    while (board.GamesStarted() <= 200) {
        const BoardLine line = board.Next();
        ASSERT_GE(line.strBytes.size(), 3u);
        ASSERT_EQ(line.strBytes.substr(line.strBytes.size() - 2), "\r\n");
        const std::string strLine = line.strBytes.substr(0, line.strBytes.size() - 2);
        ASSERT_EQ(strLine.find_first_of("\r\n"), std::string::npos);

        if (strLine.rfind("Level ", 0) == 0) {
            // Levels count up from 1 within a game; each shows one colour more.
            ASSERT_EQ(strLine, "Level " + std::to_string(nLevel + 1) + " -");
            ++nLevel;
        }
        if (strLine == "New")
            nLevel = 0;
        if (strLine.size() == 1) {
            EXPECT_NE(strPrevious.size(), 1u) << "two colours without an Off between them";
        }
        if (strLine == "Congrat") {
            EXPECT_EQ(nLevel, CSimulatedGameBoard::DefaultMaxLevel);
            ++nWon;
        }
        nLost += strLine == "Incorrect";
        nTimedOut += strLine == "Timeout";
        if (strLine == "Timeout") {
            EXPECT_GE(line.delay, CSimulatedGameBoard::TimeoutTime);
        }
        if (strLine == "Off" && strPrevious.size() == 1 && strPrevious != "G" && strPrevious != "R" &&
            strPrevious != "B" && strPrevious != "Y")
            ADD_FAILURE() << "unknown colour " << strPrevious;

        interpreter.AssembleLines(std::wstring(strLine.begin(), strLine.end()) + L"\n");
        if (strLine == "New") {
            EXPECT_TRUE(interpreter.IsGameRunning());
        }
        strPrevious = strLine;
    }
    // Every ending happens, and games are often enough won to be worth watching.
    EXPECT_GT(nWon, 20);
    EXPECT_GT(nLost, 20);
    EXPECT_GT(nTimedOut, 5);
    EXPECT_EQ(nWon + nLost + nTimedOut, 200);
    EXPECT_EQ(interpreter.GetMaxLevel(), L"5");
    EXPECT_EQ(interpreter.GetPendingLine(), L"");
}

TEST(SimulatedGameBoard, TheSameSeedPlaysTheSameGamesAndSpeedOnlyShortensThePauses)
{
    CSimulatedGameBoard slow(11);
    CSimulatedGameBoard again(11);
    CSimulatedGameBoard fast(11, 4.0);
    CSimulatedGameBoard other(12);
    bool bDiffers = false;
    for (int i = 0; i < 500; ++i) {
        const BoardLine line = slow.Next();
        const BoardLine lineAgain = again.Next();
        const BoardLine lineFast = fast.Next();
        bDiffers = bDiffers || other.Next().strBytes != line.strBytes;
        ASSERT_EQ(line.strBytes, lineAgain.strBytes);
        ASSERT_EQ(line.delay, lineAgain.delay);
        ASSERT_EQ(line.strBytes, lineFast.strBytes);
        EXPECT_EQ(lineFast.delay.count(), line.delay.count() / 4);
        // A shown colour stays on for the firmware's time.
        if (line.strBytes == "Off\r\n") {
            EXPECT_GE(line.delay.count(), CSimulatedGameBoard::PlayerHoldMin.count());
        }
    }
    EXPECT_TRUE(bDiffers);
}
