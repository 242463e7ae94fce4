// The Speak Texts switch: what it loads and when, the board's texts reaching
// the engine through the main frame, Mute leaving speech alone, the menu item
// greyed with its reason when no engine loads, the start option and the
// venue's set/speak.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QSignalSpy>

#include <memory>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/StartOptions.h"
#include "app/VenueLink.h"
#include "fleet/VenueCommand.h"
#include "fleet/VenueReport.h"
#include "speech/SpeechOutput.h"
#include "tests/speech/StandInEngine.h"
#include "tests/support/RecordingSoundPlayer.h"
#include "tests/support/WaitFor.h"

namespace {

using Script = std::vector<std::string>;

constexpr wchar_t WinText[] = L"You Win!\n\nSie Haben\nGewonnen!";

// Hands out one stand-in, which the test keeps looking at.
struct StandInFactory {
    CStandInEngine* pEngine = nullptr;
    int nMade = 0;
    CSpeechOutput::EngineFactory Make()
    {
        return [this] {
            ++nMade;
            auto pNew = std::make_unique<CStandInEngine>();
            pEngine = pNew.get();
            return pNew;
        };
    }
};

bool Installed(QString*)
{
    return true;
}

bool NothingInstalled(QString* pstrReason)
{
    *pstrReason = QStringLiteral("no engine here");
    return false;
}

bool WaitForEvents(const std::function<bool()>& predicate)
{
    return testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return predicate();
    });
}

TEST(SpeechSwitch, OffLoadsNothingAndSaysNothing)
{
    StandInFactory factory;
    CSpeechOutput speech(factory.Make(), &Installed);
    speech.ShowText(WinText);
    EXPECT_EQ(factory.nMade, 0) << "an engine (and a speech server) only once speech is wanted";
    ASSERT_TRUE(speech.SetOn(true));
    ASSERT_EQ(factory.nMade, 1);
    factory.pEngine->Loaded(true);
    speech.ShowText(WinText);
    EXPECT_EQ(factory.pEngine->Script(), Script({"say en You Win!"}));

    // Off cuts the phrase being said; back on reuses the engine.
    ASSERT_TRUE(speech.SetOn(false));
    EXPECT_EQ(factory.pEngine->Script().back(), "stop");
    factory.pEngine->Clear();
    speech.ShowText(WinText);
    EXPECT_TRUE(factory.pEngine->Script().empty());
    ASSERT_TRUE(speech.SetOn(true));
    EXPECT_EQ(factory.nMade, 1);
    EXPECT_EQ(factory.pEngine->m_nStarts, 1);
}

TEST(SpeechSwitch, NoEngineInstalledGreysTheSwitchAndLoadsNothing)
{
    StandInFactory factory;
    CSpeechOutput speech(factory.Make(), &NothingInstalled);
    QSignalSpy changed(&speech, &CSpeechOutput::Changed);
    EXPECT_FALSE(speech.SetOn(true));
    EXPECT_FALSE(speech.IsOn());
    EXPECT_FALSE(speech.IsAvailable());
    EXPECT_EQ(speech.UnavailableReason(), QStringLiteral("no engine here"));
    EXPECT_EQ(factory.nMade, 0);
    EXPECT_EQ(changed.count(), 1);
}

TEST(SpeechSwitch, AnEngineThatFailsToLoadTurnsTheSwitchOffWithItsReason)
{
    StandInFactory factory;
    CSpeechOutput speech(factory.Make(), &Installed);
    ASSERT_TRUE(speech.SetOn(true));
    // Texts shown while it loads are handed on; the failure cuts them.
    speech.ShowText(WinText);
    factory.pEngine->Loaded(false, QStringLiteral("speechd: Connection to speech-dispatcher failed"));
    EXPECT_FALSE(speech.IsOn());
    EXPECT_FALSE(speech.IsAvailable());
    EXPECT_TRUE(speech.UnavailableReason().contains(QStringLiteral("speech-dispatcher")));
    EXPECT_EQ(factory.pEngine->Script(), Script({"say en You Win!", "stop"}));
    EXPECT_FALSE(speech.SetOn(true)) << "greyed for good: no second attempt to load";
}

// The frame in the tests' own world: no engine of the machine's is used.
class SpeechFrame : public ::testing::Test {
protected:
    void MakeFrame()
    {
        m_pFrame = std::make_unique<CMainFrame>(&m_player);
        ASSERT_TRUE(m_pFrame->Create());
    }

    CRecordingPlayer m_player;
    std::unique_ptr<CMainFrame> m_pFrame;
};

TEST_F(SpeechFrame, ThePanelsTextsAreSaidWhateverMuteSays)
{
    MakeFrame();
    CMainFrame& frame = *m_pFrame;
    StandInFactory factory;
    frame.Speech().SetEngineFactory(factory.Make());
    QSignalSpy spoken(&frame, &CMainFrame::SpeakChanged);
    QAction* pSpeak = frame.FindCommand(CommandId::Speak);
    ASSERT_TRUE(pSpeak);
    EXPECT_FALSE(pSpeak->isChecked()) << "off unless asked for";

    ASSERT_TRUE(frame.OnCommand(CommandId::Speak));
    ASSERT_TRUE(frame.IsSpeakOn());
    EXPECT_TRUE(pSpeak->isChecked());
    ASSERT_EQ(spoken.count(), 1);
    factory.pEngine->Loaded(true);

    frame.View().ShowPanelText(WinText);
    EXPECT_EQ(factory.pEngine->Script(), Script({"say en You Win!"}));
    frame.OnCommand(CommandId::Mute);
    ASSERT_TRUE(frame.IsMuted());
    EXPECT_TRUE(frame.IsSpeakOn()) << "Mute silences the tones only";
    EXPECT_EQ(factory.pEngine->Script().size(), 1u) << "nor does it cut what is being said";
    frame.View().ShowPanelText(L"Timeout\n\nZeitlimit\n\u00DCberschritten");
    EXPECT_EQ(factory.pEngine->Script().back(), "say en Timeout");
    EXPECT_EQ(m_player.m_vecCalls, std::vector<std::string>{"stop"})
        << "only Mute's own stop: speech plays nothing through the tones' player";

    frame.OnCommand(CommandId::Speak);
    EXPECT_FALSE(frame.IsSpeakOn());
    ASSERT_EQ(spoken.count(), 2);
    EXPECT_FALSE(spoken.at(1).at(0).toBool());
}

TEST_F(SpeechFrame, WhenNoEngineLoadsTheMenuItemIsGreyedWithTheReasonAndQuadoRunsOn)
{
    // Qt's own loader, asked for an engine no machine has.
    qputenv("QUADO_SPEECH_ENGINE", "none-such");
    MakeFrame();
    qunsetenv("QUADO_SPEECH_ENGINE");
    CMainFrame& frame = *m_pFrame;
    QAction* pSpeak = frame.FindCommand(CommandId::Speak);
    ASSERT_TRUE(pSpeak);
    frame.OnCommand(CommandId::Speak);
    if (!frame.IsSpeakAvailable())
        GTEST_SKIP() << "no speech engine installed at all: " << frame.SpeakUnavailableReason().toStdString();
    ASSERT_TRUE(WaitForEvents([&] { return !frame.IsSpeakAvailable(); }));
    EXPECT_FALSE(frame.IsSpeakOn());
    EXPECT_FALSE(pSpeak->isEnabled());
    EXPECT_FALSE(pSpeak->isChecked());
    EXPECT_FALSE(pSpeak->toolTip().isEmpty());
    EXPECT_EQ(pSpeak->toolTip(), frame.SpeakUnavailableReason());
    EXPECT_TRUE(pSpeak->toolTip().contains(QStringLiteral("none-such"))) << pSpeak->toolTip().toStdString();

    // The board goes on as before, and a venue's set/speak is refused.
    frame.View().ShowPanelText(WinText);
    EXPECT_EQ(frame.PanelText(), WinText);
    CVenueLink venue(frame, VenueOptions{}, "test", {});
    venue.RunCommand(VenueCommand{.nKind = VenueCommand::Kind::Speak, .bOn = true, .strSerial = {}});
    EXPECT_FALSE(frame.IsSpeakOn());
    EXPECT_FALSE(venue.Snapshot().bSpeak);
}

TEST_F(SpeechFrame, AVenueSwitchesSpeechAndSeesItInTheState)
{
    MakeFrame();
    CMainFrame& frame = *m_pFrame;
    StandInFactory factory;
    frame.Speech().SetEngineFactory(factory.Make());
    CVenueLink venue(frame, VenueOptions{}, "test", {});
    const VenueSnapshot before = venue.Snapshot();
    EXPECT_FALSE(before.bSpeak);

    std::string strError;
    const auto on = ParseVenueCommand("speak", "ON", strError);
    ASSERT_TRUE(on) << strError;
    venue.RunCommand(*on);
    EXPECT_TRUE(frame.IsSpeakOn());
    const VenueSnapshot after = venue.Snapshot();
    EXPECT_TRUE(after.bSpeak);
    EXPECT_FALSE(after.SameShown(before)) << "the switch's change sends a state";
    EXPECT_NE(StateJson(after, 0).find("\"speak\":true"), std::string::npos);
    EXPECT_NE(StateJson(before, 0).find("\"speak\":false"), std::string::npos);

    venue.RunCommand(*on);
    EXPECT_TRUE(frame.IsSpeakOn()) << "a switch already as asked stays";
    venue.RunCommand(*ParseVenueCommand("speak", "off", strError));
    EXPECT_FALSE(frame.IsSpeakOn());
    EXPECT_FALSE(ParseVenueCommand("speak", "yes", strError));
}

TEST(SpeechStartOption, SpeakIsItsOwnOptionAndKioskLeavesItOff)
{
    EXPECT_FALSE(ParseStartOptions({}, false).options.bSpeak);
    EXPECT_TRUE(ParseStartOptions({"--speak"}, false).options.bSpeak);
    EXPECT_TRUE(ParseStartOptions({"--speak"}, true).options.bSpeak) << "quado-demo has it too";
    EXPECT_FALSE(ParseStartOptions({"--kiosk"}, false).options.bSpeak);
    EXPECT_NE(ParseStartOptions({"--speak=yes"}, false).strError, "");
    EXPECT_NE(StartOptionsHelp("quado", false).find("--speak"), std::string::npos);
}

TEST_F(SpeechFrame, TheStartOptionTurnsItOnAfterTheWindowIsUp)
{
    MakeFrame();
    CMainFrame& frame = *m_pFrame;
    StandInFactory factory;
    frame.Speech().SetEngineFactory(factory.Make());
    StartOptions options;
    options.bSpeak = true;
    frame.ApplyStartOptionsAfterShow(options);
    EXPECT_TRUE(frame.IsSpeakOn());
    EXPECT_TRUE(frame.FindCommand(CommandId::Speak)->isChecked());
}

} // namespace
