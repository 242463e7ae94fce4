// Games played through the whole stack: a simulated adapter's input reports,
// CDravik, the receive thread, the hand-off, the adapter window's chunk
// processing, the interpreter, the real board view and a recording player.
// What the board shows is compared with a view driven directly.
#include <QTest>

#include <string>
#include <vector>

#include "app/CommandIds.h"
#include "tests/adapter/AdapterTestSupport.h"
#include "tests/support/BoardPictures.h"

using namespace adaptertest;
using testsupport::ExpectedCanvas;

namespace {

const std::wstring PressText = L"Press button\nto start\n\nDr\u00fccken Sie\nKnopf, um\nanzufangen";
const std::wstring WinText = L"You Win!\n\nSie Haben\nGewonnen!";
const std::wstring LoseText = L"You Lose!\n\nSie Haben\nVerloren!";
const std::wstring TimeoutText = L"Timeout\n\nZeitlimit\n\u00dcberschritten";

std::wstring LevelText(int nLevel, int nMax)
{
    const std::wstring strLevel = std::to_wstring(nLevel);
    const std::wstring strMax = std::to_wstring(nMax);
    return L"Level:\n" + strLevel + L" of " + strMax + L"\n\nSchwierigkeit:\n" + strLevel + L" aus " + strMax;
}

// Stands between the interpreter and the real view, noting every light.
class CLightRecorder : public IQuadoBoard {
public:
    explicit CLightRecorder(IQuadoBoard& view) : m_view(view) {}
    void LightQuadrant(int nIndex) override
    {
        m_vecLights.push_back(nIndex);
        m_view.LightQuadrant(nIndex);
    }
    void ShowPanelText(const std::wstring& strText) override { m_view.ShowPanelText(strText); }

    std::vector<int> m_vecLights;

private:
    IQuadoBoard& m_view;
};

struct Step {
    const char* pszLine;
    int nLit;                 // the quadrant lit afterwards
    const std::wstring* pPanel; // the panel afterwards, null: empty
    Strings sounds;           // what the line plays
};

class ScriptedGame : public AdapterFrameTest {};

} // namespace

TEST_F(ScriptedGame, AWonALostAndATimedOutGameLightSoundAndTellTheirEnd)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    ClickConnect();
    ASSERT_TRUE(dlg.IsConnected());
    CChildView& view = m_pFrame->View();

    const std::wstring level1 = LevelText(1, 3);
    const std::wstring level2 = LevelText(2, 3);
    const std::vector<Step> script = {
        {"Press", 0, &PressText, {}},
        {"MAX_LEVEL=3", 0, &PressText, {}},
        {"New", 0, &PressText, {}},
        {"Level 1 -", 0, &level1, {}},
        {"All", 5, &level1, {}},
        {"Off", 0, &level1, {}},
        {"G", 1, &level1, {"loop 153"}},
        {"Off", 0, &level1, {"stop"}},
        {"Level 2 -", 0, &level2, {}},
        {"G", 1, &level2, {"loop 153"}},
        {"Off", 0, &level2, {"stop"}},
        {"R", 2, &level2, {"loop 154"}},
        {"Off", 0, &level2, {"stop"}},
        {"B", 3, &level2, {"loop 151"}},
        {"Off", 0, &level2, {"stop"}},
        {"Y", 4, &level2, {"loop 156"}},
        {"Congrat", 4, &WinText, {"once 160"}},
        {"Off", 0, &WinText, {}},
        {"New", 0, &WinText, {}},
        {"Level 1 -", 0, &level1, {}},
        {"Y", 4, &level1, {"loop 156"}},
        {"Incorrect", 4, &LoseText, {"once 152"}},
        {"Off", 0, &LoseText, {}},
        {"New", 0, &LoseText, {}},
        {"Timeout", 0, &TimeoutText, {"once 152"}},
        {"Press", 0, &PressText, {}},
    };
    for (const Step& step : script) {
        SCOPED_TRACE(step.pszLine);
        m_player.m_vecCalls.clear();
        ASSERT_TRUE(FeedRead(*pAdapter, std::string(step.pszLine) + "\r\n"));
        EXPECT_EQ(view.m_nLitQuadrant, step.nLit);
        EXPECT_EQ(m_player.m_vecCalls, step.sounds);
        EXPECT_TRUE(view.Canvas() == ExpectedCanvas(step.nLit, *step.pPanel));
    }

    // Muted, a game lights but plays nothing.
    m_pFrame->FindCommand(CommandId::Mute)->trigger();
    m_player.m_vecCalls.clear();
    ASSERT_TRUE(FeedRead(*pAdapter, "New\nR\n"));
    EXPECT_EQ(view.m_nLitQuadrant, int(QuadrantRed));
    ASSERT_TRUE(FeedRead(*pAdapter, "Incorrect\n"));
    EXPECT_TRUE(view.Canvas() == ExpectedCanvas(QuadrantRed, LoseText));
    EXPECT_TRUE(m_player.m_vecCalls.empty());

    std::wstring strLog;
    for (const Step& step : script)
        strLog += std::wstring(step.pszLine, step.pszLine + std::char_traits<char>::length(step.pszLine)) + L"\n";
    EXPECT_EQ(LogText(dlg), strLog + L"New\nR\nIncorrect\n");
}

TEST_F(ScriptedGame, AStreamCutAnywhereAndBurstsOfReportsPlayTheSameGame)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    CLightRecorder recorder(m_pFrame->View());
    m_pFrame->SetBoardForTest(&recorder);
    ClickConnect();

    // Reports of 3 bytes, fed in one burst: reads take whatever is queued.
    pAdapter->SetMaxUartChunk(3);
    const std::string strGame =
        "\f\r\nPress\r\nMAX_LEVEL = 2\r\nNew\r\nLevel 1 -\r\nB\r\nOff\r\nLevel 2 -\r\nB\r\nOff\r\nY\r\nOff\r\n"
        "Congrat\r\n";
    pAdapter->FeedUart(strGame);
    ASSERT_TRUE(WaitForEvents([&] { return m_player.m_vecCalls.size() == 7; }));
    // A read holding several lines hands the board only what it leaves lit.
    ASSERT_FALSE(recorder.m_vecLights.empty());
    EXPECT_LE(recorder.m_vecLights.size(), 6u);
    EXPECT_EQ(recorder.m_vecLights.back(), 0);
    for (const int nLit : recorder.m_vecLights)
        EXPECT_TRUE(nLit == 0 || nLit == 3 || nLit == 4) << nLit;
    EXPECT_EQ(m_player.m_vecCalls,
              (Strings{"loop 151", "stop", "loop 151", "stop", "loop 156", "stop", "once 160"}));
    EXPECT_TRUE(m_pFrame->View().Canvas() == ExpectedCanvas(QuadrantNone, WinText));
    EXPECT_EQ(LogText(dlg), L"\nPress\nMAX_LEVEL = 2\nNew\nLevel 1 -\nB\nOff\nLevel 2 -\nB\nOff\nY\nOff\nCongrat\n");
    EXPECT_EQ(dlg.Interpreter().GetMaxLevel(), L"2");

    m_pFrame->SetBoardForTest(&m_pFrame->View());
}
