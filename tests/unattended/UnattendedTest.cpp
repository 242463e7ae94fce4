// What an exhibit left alone relies on: the start options refuse what they do
// not know, automatic connection finds the adapter at start, on its return and
// after a failure without asking anybody, a person's Disconnect is respected,
// and a tone never outlives its connection.
#include "tests/adapter/AdapterTestSupport.h"

#include "app/CommandIds.h"
#include "app/StartOptions.h"

#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

using namespace adaptertest;

namespace {

StartOptionsResult Parse(std::vector<std::string> args, bool bDemo = false)
{
    return ParseStartOptions(args, bDemo);
}

TEST(StartOptionsTest, KioskImpliesFullScreenFitAndConnectAndTheToolkitsOptionsPass)
{
    const StartOptionsResult kiosk = Parse({"-platform", "offscreen", "--kiosk", "--mute"});
    ASSERT_EQ(kiosk.strError, "");
    EXPECT_TRUE(kiosk.options.bKiosk && kiosk.options.bFullScreen && kiosk.options.bFit && kiosk.options.bConnect);
    EXPECT_TRUE(kiosk.options.bMute);
    EXPECT_EQ(kiosk.options.strSerial, "");

    const StartOptionsResult serial = Parse({"--connect=QSIM0002"});
    ASSERT_EQ(serial.strError, "");
    EXPECT_TRUE(serial.options.bConnect);
    EXPECT_EQ(serial.options.strSerial, "QSIM0002");
    EXPECT_FALSE(serial.options.bFullScreen);

    const StartOptionsResult demo = Parse({"--replug-every", "4"}, true);
    ASSERT_EQ(demo.strError, "");
    EXPECT_EQ(demo.options.fReplugEverySeconds, 4);
}

TEST(StartOptionsTest, UnknownOptionsAndBadValuesAreRefusedWithOneLine)
{
    const std::vector<std::pair<std::vector<std::string>, bool>> refused = {
        {{"--bogus"}, false},          {{"--mute=yes"}, false},           {{"--connect="}, false},
        {{"stray"}, false},            {{"--replug-every", "4"}, false},  {{"--replug-every"}, true},
        {{"--replug-every=x"}, true},  {{"--replug-every=1"}, true},      {{"--kiosk", "--help=1"}, false},
    };
    for (const auto& [args, bDemo] : refused) {
        const StartOptionsResult result = ParseStartOptions(args, bDemo);
        EXPECT_NE(result.strError, "") << args[0];
        EXPECT_EQ(result.strError.find('\n'), std::string::npos) << args[0];
    }

    StartOptions options;
    char szProgram[] = "quado";
    char szHelp[] = "--help";
    char szBad[] = "--nonsense";
    char* helpArgv[] = {szProgram, szHelp, nullptr};
    char* badArgv[] = {szProgram, szBad, nullptr};
    testing::internal::CaptureStdout();
    EXPECT_EQ(HandleStartOptions(2, helpArgv, false, &options), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("--kiosk"), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(HandleStartOptions(2, badArgv, false, &options), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("--nonsense"), std::string::npos);
}

class Unattended : public AdapterFrameTest {
protected:
    // The frame as quado starts it with these options.
    CQuadoDravikDriver& StartFrame(const StartOptions& options)
    {
        m_pFrame = std::make_unique<CMainFrame>(&m_player);
        m_pFrame->ApplyStartOptionsBeforeCreate(options);
        EXPECT_TRUE(m_pFrame->Create());
        m_pFrame->ApplyStartOptionsAfterShow(options);
        return Dlg();
    }

    bool AutomaticIsChecked() { return m_pFrame->FindCommand(CommandId::ConnectAutomatically)->isChecked(); }

    CAutoConnect& Auto() { return m_pFrame->AutoConnect(); }
};

TEST_F(Unattended, ConnectsAtStartAndAgainWhenThePulledAdapterReturns)
{
    auto pAdapter = AddAdapter();
    Hotplug(HidrawUevent::Action::Add, AdapterPath);
    StartOptions options;
    options.bConnect = true;
    CQuadoDravikDriver& dlg = StartFrame(options);
    ASSERT_TRUE(WaitForEvents([&] { return dlg.IsConnected(); }));
    EXPECT_TRUE(AutomaticIsChecked());
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nR\r\n"));

    m_backend.RemoveDevice(AdapterPath);
    Hotplug(HidrawUevent::Action::Remove, AdapterPath);
    ASSERT_TRUE(WaitForEvents([&] { return !dlg.IsConnected(); }));

    pAdapter = AddAdapter();
    Hotplug(HidrawUevent::Action::Add, AdapterPath);
    ASSERT_TRUE(WaitForEvents([&] { return dlg.IsConnected(); }));
    ASSERT_TRUE(FeedRead(*pAdapter, "G\r\n"));
    EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
    EXPECT_EQ(LogText(dlg), L"New\nR\nG\n") << "the log carries on across the reconnection";
    EXPECT_EQ(Auto().GetConnections(), 2);
}

TEST_F(Unattended, TheMenuItemConnectsTheAdapterWithTheGivenSerialWhenItArrives)
{
    AddAdapter("/dev/hidraw0", "OTHER");
    Hotplug(HidrawUevent::Action::Add, "/dev/hidraw0");
    StartOptions options;
    options.strSerial = "WANTED";
    CQuadoDravikDriver& dlg = StartFrame(options);
    EXPECT_FALSE(AutomaticIsChecked());
    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::ConnectAutomatically));
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(AutomaticIsChecked());
    QTest::qWait(100);
    EXPECT_FALSE(dlg.IsConnected()) << "only the adapter with that serial is wanted";

    AddAdapter("/dev/hidraw1", "WANTED");
    Hotplug(HidrawUevent::Action::Add, "/dev/hidraw1");
    ASSERT_TRUE(WaitForEvents([&] { return dlg.IsConnected(); }));
    EXPECT_TRUE(m_backend.IsHeld("/dev/hidraw1"));
    EXPECT_FALSE(m_backend.IsHeld("/dev/hidraw0"));
}

TEST_F(Unattended, AFailedAttemptShowsNoBoxSaysWhyBacksOffAndSucceedsLater)
{
    using Dir = CSimulatedAdapter::Direction;
    // Each way the adapter can fail the connect sequence, with what the
    // status line then says.
    struct Fault {
        const char* pszName;
        std::function<void(CSimulatedAdapter&)> arrange;
        const char* pszReason;
    };
    const std::vector<Fault> faults = {
        {"first request lost", [](CSimulatedAdapter& a) { a.FailNext(Dir::Set, 0x40); }, "Error connecting to device"},
        {"state not fetched", [](CSimulatedAdapter& a) { a.FailNext(Dir::Get, 0x42); }, "Error connecting to device"},
        {"handshake not confirmed", [](CSimulatedAdapter& a) { a.FailNext(Dir::Set, 0x41); },
         "Error connecting to device"},
        {"UART not enabled", [](CSimulatedAdapter& a) { a.FailNext(Dir::Set, 0x45); },
         "Error enabling UART, closing device"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.pszName);
        auto pAdapter = AddAdapter();
        fault.arrange(*pAdapter);
        StartOptions options;
        options.bConnect = true;
        CQuadoDravikDriver& dlg = StartFrame(options);
        ASSERT_TRUE(WaitForEvents([&] { return Auto().GetAttempts() >= 1; }));
        EXPECT_FALSE(dlg.IsConnected());
        EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
        EXPECT_EQ(dlg.Link().Status(), QStringLiteral("NOT CONNECTED  -  ") + QString::fromLatin1(fault.pszReason));
        EXPECT_TRUE(Auto().IsRetryPending());
        EXPECT_EQ(Auto().GetBackOffMs(), 2 * CAutoConnect::FirstBackOffMs) << "the next pause is longer";
        EXPECT_FALSE(m_backend.IsHeld(AdapterPath)) << "a failed attempt lets the adapter go";

        // The fault has passed; the retry finds the adapter.
        ASSERT_TRUE(WaitForEvents([&] { return dlg.IsConnected(); }, 5000));
        EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
        EXPECT_EQ(Auto().GetBackOffMs(), CAutoConnect::FirstBackOffMs);
        EXPECT_FALSE(dlg.Link().Status().startsWith("NOT CONNECTED"));

        m_pFrame.reset();
        m_backend.RemoveDevice(AdapterPath);
    }
}

TEST_F(Unattended, AnAdapterHeldByAnotherProgramIsConnectedOnceItIsLetGo)
{
    AddAdapter();
    m_backend.SetOpenRefusal(AdapterPath, HidOpenError::InUse);
    StartOptions options;
    options.bConnect = true;
    CQuadoDravikDriver& dlg = StartFrame(options);
    ASSERT_TRUE(WaitForEvents([&] { return m_backend.GetOpenAttempts(AdapterPath) >= 1; }));
    QTest::qWait(100);
    EXPECT_FALSE(dlg.IsConnected());
    EXPECT_TRUE(Auto().IsRetryPending()) << "the list is read again later";
    // No arrival tells of its release: the periodic list refresh finds it.
    m_backend.SetOpenRefusal(AdapterPath, HidOpenError::None);
    ASSERT_TRUE(WaitForEvents([&] { return dlg.IsConnected(); }, 5000));
    EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
}

TEST_F(Unattended, KioskSaysAtTheFootWhatItWaitsForAndHidesTheRestingPointer)
{
    StartOptions options;
    options.bKiosk = options.bFullScreen = options.bFit = options.bConnect = true;
    CQuadoDravikDriver& dlg = StartFrame(options);
    CChildView& view = m_pFrame->View();
    QLabel* pStatus = m_pFrame->KioskStatus();
    ASSERT_TRUE(pStatus);
    EXPECT_TRUE(pStatus->isVisibleTo(&view));
    EXPECT_TRUE(pStatus->text().startsWith("NOT CONNECTED")) << pStatus->text().toStdString();
    EXPECT_EQ(pStatus->geometry().bottom(), view.rect().bottom()) << "at the foot of the screen";
    EXPECT_LT(pStatus->height(), view.height() / 10) << "small";

    // The pointer: its timer is driven by hand, so no clock is read.
    QTimer* pTimer = m_pFrame->PointerTimer();
    ASSERT_TRUE(pTimer);
    EXPECT_EQ(pTimer->interval(), CMainFrame::KioskPointerHideMs);
    EXPECT_TRUE(pTimer->isActive());
    pTimer->stop();
    QMetaObject::invokeMethod(pTimer, "timeout");
    EXPECT_EQ(view.cursor().shape(), Qt::BlankCursor);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &move);
    EXPECT_NE(view.cursor().shape(), Qt::BlankCursor) << "movement brings the pointer back";
    EXPECT_TRUE(pTimer->isActive()) << "and it hides again after the next rest";

    AddAdapter();
    Hotplug(HidrawUevent::Action::Add, AdapterPath);
    ASSERT_TRUE(WaitForEvents([&] { return dlg.IsConnected(); }));
    ASSERT_TRUE(WaitForEvents([&] { return pStatus->isHidden(); })) << "gone once connected";
}

TEST_F(Unattended, APersonsDisconnectTurnsAutomaticConnectionOff)
{
    AddAdapter();
    Hotplug(HidrawUevent::Action::Add, AdapterPath);
    StartOptions options;
    options.bConnect = true;
    CQuadoDravikDriver& dlg = StartFrame(options);
    ASSERT_TRUE(WaitForEvents([&] { return dlg.IsConnected(); }));

    ClickConnect();
    EXPECT_FALSE(dlg.IsConnected());
    EXPECT_FALSE(Auto().IsEnabled());
    m_pFrame->UpdateCommandUI();
    EXPECT_FALSE(AutomaticIsChecked());
    // The list refresh that follows a disconnect must not connect again.
    QTest::qWait(200);
    EXPECT_FALSE(dlg.IsConnected());
    EXPECT_EQ(Auto().GetConnections(), 1);
}

TEST_F(Unattended, DisconnectEndsATheBoardsLoopingToneButKeepsThePicture)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    ClickConnect();
    ASSERT_TRUE(dlg.IsConnected());
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nG\r\n"));
    ASSERT_EQ(m_player.m_vecCalls, (Strings{"loop 153"}));

    ClickConnect();
    ASSERT_FALSE(dlg.IsConnected());
    EXPECT_EQ(m_player.m_vecCalls, (Strings{"loop 153", "stop"}));
    EXPECT_EQ(m_pFrame->View().m_nLitQuadrant, int(QuadrantGreen));

    // A colour lit before any game played no tone: nothing to stop.
    m_player.m_vecCalls.clear();
    ClickConnect();
    ASSERT_TRUE(FeedRead(*pAdapter, "Congrat\r\nB\r\n"));
    ClickConnect();
    EXPECT_EQ(std::count(m_player.m_vecCalls.begin(), m_player.m_vecCalls.end(), "stop"), 0)
        << testing::PrintToString(m_player.m_vecCalls);
}

} // namespace
