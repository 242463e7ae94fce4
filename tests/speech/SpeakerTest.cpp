// What is said for each panel text, in which order, and how a new text cuts
// the one being said: the speaker against a stand-in engine.
#include <gtest/gtest.h>

#include "speech/Speaker.h"
#include "speech/SpokenText.h"
#include "tests/speech/StandInEngine.h"

namespace {

using Script = std::vector<std::string>;

// The engine's reports go to the speaker, as the switch wires them.
struct Rig {
    Rig() { engine.Start({{}, [this](int nId) { speaker.OnSaid(nId); }}); }
    CStandInEngine engine;
    CSpeaker speaker{engine};
};

constexpr wchar_t WinText[] = L"You Win!\n\nSie Haben\nGewonnen!";
constexpr wchar_t LoseText[] = L"You Lose!\n\nSie Haben\nVerloren!";
constexpr wchar_t PressText[] = L"Press button\nto start\n\nDr\u00FCcken Sie\nKnopf, um\nanzufangen";

TEST(SpokenText, EachBoardTextSplitsIntoItsEnglishAndGermanPhrase)
{
    struct Case {
        const wchar_t* pszPanel;
        const char* pszEnglish;
        const char* pszGerman;
    };
    const Case cases[] = {
        {WinText, "You Win!", "Sie Haben Gewonnen!"},
        {LoseText, "You Lose!", "Sie Haben Verloren!"},
        {L"Timeout\n\nZeitlimit\n\u00DCberschritten", "Timeout", "Zeitlimit \u00DCberschritten"},
        {PressText, "Press button to start", "Dr\u00FCcken Sie Knopf, um anzufangen"},
        {L"Level:\n3 of 12\n\nSchwierigkeit:\n3 aus 12", "Level: 3 of 12", "Schwierigkeit: 3 aus 12"},
        {L"Level:\n3\n\nSchwierigkeit:\n3", "Level: 3", "Schwierigkeit: 3"},
        // A "Level" line without its number: the empty number leaves three
        // line breaks in a row, and the German part must not swallow one.
        {L"Level:\n\n\nSchwierigkeit:\n", "Level:", "Schwierigkeit:"},
        // The manual driver's colour names have no German part.
        {L"Blue!", "Blue!", ""},
        {L"", "", ""},
    };
    for (const Case& c : cases) {
        const SpokenParts parts = SplitPanelText(c.pszPanel);
        EXPECT_EQ(parts.strEnglish, QString::fromUtf8(c.pszEnglish)) << QString::fromWCharArray(c.pszPanel).toStdString();
        EXPECT_EQ(parts.strGerman, QString::fromUtf8(c.pszGerman)) << QString::fromWCharArray(c.pszPanel).toStdString();
    }
}

TEST(Speaker, SaysEnglishThenGermanOnlyOnceTheEnglishIsOver)
{
    Rig rig;
    CStandInEngine& engine = rig.engine;
    CSpeaker& speaker = rig.speaker;
    speaker.Speak(WinText);
    EXPECT_EQ(engine.Script(), Script({"say en You Win!"})) << "German waits for the English to end";
    engine.Said(engine.LastSayId());
    EXPECT_EQ(engine.Script(), Script({"say en You Win!", "say de Sie Haben Gewonnen!"}));
    engine.Said(engine.LastSayId());
    EXPECT_FALSE(speaker.IsSpeaking());
    EXPECT_EQ(engine.Script().size(), 2u) << "nothing more to say";
}

TEST(Speaker, ANewTextCutsTheEnglishAndItsGermanNeverComes)
{
    Rig rig;
    CStandInEngine& engine = rig.engine;
    CSpeaker& speaker = rig.speaker;
    speaker.Speak(WinText);
    const int nWinEnglish = engine.LastSayId();
    speaker.Speak(LoseText);
    EXPECT_EQ(engine.Script(), Script({"say en You Win!", "stop", "say en You Lose!"}));
    // The engine may still report the cut phrase as over: that must not
    // start the next phrase early, nor bring back the old German.
    engine.Said(nWinEnglish);
    EXPECT_EQ(engine.Script().size(), 3u);
    engine.Said(engine.LastSayId());
    EXPECT_EQ(engine.Script().back(), "say de Sie Haben Verloren!");
}

TEST(Speaker, ANewTextCutsTheGermanToo)
{
    Rig rig;
    CStandInEngine& engine = rig.engine;
    CSpeaker& speaker = rig.speaker;
    speaker.Speak(WinText);
    engine.Said(engine.LastSayId());
    const int nWinGerman = engine.LastSayId();
    speaker.Speak(L"Level:\n4\n\nSchwierigkeit:\n4");
    engine.Said(nWinGerman);
    EXPECT_EQ(engine.Script(), Script({"say en You Win!", "say de Sie Haben Gewonnen!", "stop", "say en Level: 4"}));
}

TEST(Speaker, ManyTextsInARowLeaveOnlyTheLastToSay)
{
    // A board that sends faster than speech: each text cuts the one before,
    // so the speech never falls behind the panel.
    Rig rig;
    CStandInEngine& engine = rig.engine;
    CSpeaker& speaker = rig.speaker;
    for (int i = 1; i <= 5; ++i)
        speaker.Speak(L"Level:\n" + std::to_wstring(i) + L"\n\nSchwierigkeit:\n" + std::to_wstring(i));
    engine.Said(engine.LastSayId());
    const Script script = engine.Script();
    ASSERT_GE(script.size(), 2u);
    EXPECT_EQ(script[script.size() - 2], "say en Level: 5");
    EXPECT_EQ(script.back(), "say de Schwierigkeit: 5");
}

TEST(Speaker, AClearedPanelOnlyCutsAndAnIdleSpeakerStopsNothing)
{
    Rig rig;
    CStandInEngine& engine = rig.engine;
    CSpeaker& speaker = rig.speaker;
    speaker.Speak(L"");
    EXPECT_TRUE(engine.Script().empty()) << "nothing was being said: no stop for the engine either";
    speaker.Speak(L"Blue!");
    speaker.Speak(L"");
    EXPECT_EQ(engine.Script(), Script({"say en Blue!", "stop"}));
    EXPECT_FALSE(speaker.IsSpeaking());
}

} // namespace
