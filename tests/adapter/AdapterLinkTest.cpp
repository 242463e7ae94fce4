// The adapter link as its holders meet it, with no window anywhere: the list
// and connect by identity, the status and its changes, the failure of a
// connect told on the status line or to the caller, disconnects and their
// reasons, the board's text reaching every sink, and automatic connection
// driving the link alone.
#include <QApplication>
#include <QTest>

#include <string>
#include <vector>

#include "drivers/AdapterLink.h"
#include "drivers/AutoConnect.h"
#include "tests/adapter/AdapterTestSupport.h"

using namespace adaptertest;

namespace {

using Dir = CSimulatedAdapter::Direction;

constexpr char ConnectedDefault[] =
    "CONNECTED  -  115200  -  No Parity  -  No Flow Control  -  8 Data Bits  -  1 Stop Bit";

// Everything the link tells, in the order told, as short words.
class CLinkDiary : public QObject {
public:
    explicit CLinkDiary(CAdapterLink& link) : m_link(link)
    {
        connect(&link, &CAdapterLink::ListChanged, this, [this] { Note("list"); });
        connect(&link, &CAdapterLink::StatusChanged, this, [this] { Note("status " + m_link.Status().toStdString()); });
        connect(&link, &CAdapterLink::ConnectionChanged, this,
                [this](bool bConnected) { Note(bConnected ? "connected" : "disconnected"); });
        connect(&link, &CAdapterLink::Disconnected, this,
                [this](DisconnectReason nReason) { Note(std::string("lost link: ") + DisconnectReasonName(nReason)); });
        connect(&link, &CAdapterLink::LogCleared, this, [this] { Note("log cleared"); });
        connect(&link, &CAdapterLink::TextReceived, this,
                [this](const QString& strText) { Note("text " + strText.toStdString()); });
        m_subscription = CGameEventSubscription(link.GameEvents(), [this](const GameEvent& event) {
            switch (event.nKind) {
            case GameEvent::Kind::Connected:
                Note("event connected " + event.strSerial);
                break;
            case GameEvent::Kind::Disconnected:
                Note(std::string("event disconnected ") + DisconnectReasonName(event.nReason));
                break;
            case GameEvent::Kind::GameStarted:
                Note("event game started");
                break;
            case GameEvent::Kind::GameEnded:
                Note(std::string("event game ended ") + EndCauseName(event.game.nCause));
                break;
            case GameEvent::Kind::Line:
            case GameEvent::Kind::LevelShown:
                break;
            }
        });
    }

    // What was told since the last look.
    Strings Take() { return std::exchange(m_entries, {}); }

private:
    void Note(std::string strEntry) { m_entries.push_back(std::move(strEntry)); }

    CAdapterLink& m_link;
    Strings m_entries;
    CGameEventSubscription m_subscription;
};

// The lights that reach the board, one per read at most.
class CLitBoard : public IQuadoBoard {
public:
    void LightQuadrant(int nIndex) override { m_vecLit.push_back(nIndex); }
    void ShowPanelText(const std::wstring&) override {}
    std::vector<int> m_vecLit;
};

class AdapterLink : public ::testing::Test {
protected:
    static constexpr const char* AdapterPath = "/dev/hidraw0";
    static constexpr const char* AdapterSerial = "LINK-0001";

    void SetUp() override { SetHidBackend(&m_backend); }
    void TearDown() override
    {
        m_pLink.reset();
        SetHidBackend(nullptr);
    }

    std::shared_ptr<CSimulatedAdapter> AddAdapter(const std::string& strPath = AdapterPath,
                                                  const std::string& strSerial = AdapterSerial)
    {
        SimulatedDeviceSetup setup;
        setup.strPath = strPath;
        setup.strSerial = strSerial;
        return m_backend.AddAdapter(setup);
    }

    // The link as a headless holder makes it: outputs set, list read.
    CAdapterLink& MakeLink()
    {
        m_pLink = std::make_unique<CAdapterLink>();
        m_pLink->SetOutputs(&m_pBoard, &m_bMute, &m_player);
        m_pLink->RefreshAdapters();
        return *m_pLink;
    }

    // One read's bytes, processed before this returns.
    bool FeedRead(CSimulatedAdapter& adapter, std::string_view bytes)
    {
        const std::shared_ptr<CReceiveThread> pThread = m_pLink->ReceiveThread();
        if (!pThread)
            return false;
        const uint64_t nBefore = pThread->GetProcessedChunks();
        adapter.FeedUart(bytes);
        WaitForEvents([&] { return pThread->GetProcessedChunks() > nBefore || !m_pLink->IsConnected(); });
        return pThread->GetProcessedChunks() > nBefore;
    }

    CSimulatedHidBackend m_backend;
    CRecordingPlayer m_player;
    CLitBoard m_board;
    IQuadoBoard* m_pBoard = &m_board;
    bool m_bMute = false;
    std::unique_ptr<CAdapterLink> m_pLink;
};

} // namespace

TEST_F(AdapterLink, ConnectsTheListedAdapterByItsIdentityWithoutAnyWindow)
{
    AddAdapter("/dev/hidraw0", "FIRST");
    auto pSecond = AddAdapter("/dev/hidraw3", "SECOND");
    CAdapterLink& link = MakeLink();
    ASSERT_EQ(link.ListedSerials(), (std::vector<QString>{"FIRST", "SECOND"}));
    EXPECT_EQ(link.Status(), QString("NOT CONNECTED"));
    CLinkDiary diary(link);

    const CHIDDevice::AdapterIdentity second = link.Adapters()[1];
    ASSERT_EQ(link.Connect(second), CAdapterLink::ConnectResult::Connected);
    EXPECT_TRUE(m_backend.IsHeld("/dev/hidraw3"));
    EXPECT_FALSE(m_backend.IsHeld("/dev/hidraw0"));
    EXPECT_TRUE(pSecond->IsUartEnabled());
    EXPECT_EQ(link.ConnectedAdapter(), second);
    EXPECT_TRUE(link.IsPollTimerActive());
    EXPECT_TRUE(link.LastFailure().isEmpty());
    // Told once, in this order: the words first, then the stream, then the
    // change itself, so whoever follows the change reads a current status.
    EXPECT_EQ(diary.Take(), (Strings{std::string("status ") + ConnectedDefault, "event connected SECOND", "connected"}));
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "the link made a widget";

    link.UpdateStatus();
    EXPECT_TRUE(diary.Take().empty()) << "an unchanged status is not told again";
}

TEST_F(AdapterLink, DisconnectTellsItsReasonAndEndsTheGameInProgress)
{
    auto pAdapter = AddAdapter();
    CAdapterLink& link = MakeLink();
    ASSERT_EQ(link.Connect(link.Adapters().front()), CAdapterLink::ConnectResult::Connected);
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\n"));
    ASSERT_TRUE(link.GameEvents().IsGameOpen());
    CLinkDiary diary(link);

    link.Disconnect(DisconnectReason::User);
    EXPECT_EQ(diary.Take(), (Strings{"event game ended disconnect", "event disconnected user", "status NOT CONNECTED",
                                     "lost link: user", "disconnected"}));
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));
    EXPECT_FALSE(pAdapter->IsUartEnabled());
    EXPECT_FALSE(link.ReceiveThread());
    EXPECT_FALSE(link.IsPollTimerActive());

    // Nothing was open: the steps run, but no link was lost.
    link.Disconnect(DisconnectReason::User);
    EXPECT_EQ(diary.Take(), (Strings{"disconnected"}));
}

TEST_F(AdapterLink, APulledAdapterEndsTheLinkAsLostAndKeepsWhatTheBoardShowed)
{
    auto pAdapter = AddAdapter();
    CAdapterLink& link = MakeLink();
    ASSERT_EQ(link.Connect(link.Adapters().front()), CAdapterLink::ConnectResult::Connected);
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nG\r\n"));
    ASSERT_FALSE(m_board.m_vecLit.empty());
    const int nLit = m_board.m_vecLit.back();
    CLinkDiary diary(link);

    m_backend.Unplug(AdapterPath);
    ASSERT_TRUE(WaitForEvents([&] { return !link.IsConnected(); }));
    const Strings told = diary.Take();
    EXPECT_EQ(told, (Strings{"event game ended adapter_lost", "event disconnected adapter_lost",
                             "status NOT CONNECTED", "lost link: adapter_lost", "disconnected"}));
    EXPECT_EQ(m_board.m_vecLit.back(), nLit) << "the board stays as it was";
    EXPECT_EQ(m_player.m_vecCalls.back(), "stop") << "a tone the board can no longer end is stopped";
}

TEST_F(AdapterLink, AFailedConnectIsToldOnTheStatusLineOrLeftToTheCaller)
{
    auto pAdapter = AddAdapter();
    CAdapterLink& link = MakeLink();
    const CHIDDevice::AdapterIdentity adapter = link.Adapters().front();

    pAdapter->FailNext(Dir::Set, 0x45);
    EXPECT_EQ(link.Connect(adapter), CAdapterLink::ConnectResult::EnableUartFailed);
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath)) << "a failed connect lets go of the adapter";
    EXPECT_EQ(link.LastFailure(), QString("Error enabling UART, closing device"));
    EXPECT_EQ(link.Status(), QString("NOT CONNECTED  -  Error enabling UART, closing device"));

    // The caller shows its own box: the status line keeps what it said.
    pAdapter->FailNext(Dir::Set, 0x45);
    CLinkDiary diary(link);
    EXPECT_EQ(link.Connect(adapter, CAdapterLink::FailureReport::ByCaller),
              CAdapterLink::ConnectResult::EnableUartFailed);
    EXPECT_EQ(link.LastConnectResult(), CAdapterLink::ConnectResult::EnableUartFailed);
    EXPECT_EQ(link.Status(), QString("NOT CONNECTED  -  Error enabling UART, closing device"));
    EXPECT_EQ(diary.Take(), (Strings{"disconnected"})) << "no link was made, none was lost";

    // An identity the list does not show is never opened.
    CHIDDevice::AdapterIdentity stranger = adapter;
    stranger.strPath = "/dev/hidraw9";
    EXPECT_EQ(link.Connect(stranger), CAdapterLink::ConnectResult::NotListed);
    EXPECT_EQ(link.Status(), QString("NOT CONNECTED  -  No device selected"));
    EXPECT_EQ(link.Connect(CHIDDevice::AdapterIdentity{}), CAdapterLink::ConnectResult::NotListed);
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));

    // A working connect clears the failure.
    ASSERT_EQ(link.Connect(adapter), CAdapterLink::ConnectResult::Connected);
    EXPECT_TRUE(link.LastFailure().isEmpty());
    EXPECT_EQ(link.Status(), QString(ConnectedDefault));
}

TEST_F(AdapterLink, AnAdapterTakenSinceTheListWasReadIsNotConnectedInItsPlace)
{
    AddAdapter("/dev/hidraw0", "GONE");
    CAdapterLink& link = MakeLink();
    const CHIDDevice::AdapterIdentity gone = link.Adapters().front();
    m_backend.RemoveDevice("/dev/hidraw0");
    AddAdapter("/dev/hidraw0", "NEWCOMER");

    EXPECT_EQ(link.Connect(gone), CAdapterLink::ConnectResult::WrongAdapter);
    EXPECT_FALSE(m_backend.IsHeld("/dev/hidraw0"));
    EXPECT_EQ(link.ListedSerials(), std::vector<QString>{"NEWCOMER"}) << "the list is read again";
}

TEST_F(AdapterLink, TheBoardsTextReachesEverySinkReadByRead)
{
    AddAdapter();
    CAdapterLink& link = MakeLink();
    CLinkDiary diary(link);
    QString strSecondSink;
    QObject::connect(&link, &CAdapterLink::TextReceived, &link,
                     [&](const QString& strText) { strSecondSink += strText; });

    link.ProcessChunk(L"a\r\nb\fNew\r\nG\r");
    link.ProcessChunk(L"\n");
    link.ProcessChunk(std::wstring(L"R\n\0Y\n\f", 7));
    link.ProcessChunk(L"");
    EXPECT_EQ(diary.Take(), (Strings{"log cleared", "text New\nG", "event game started", "text \n", "text R\n", "text "}));
    EXPECT_EQ(strSecondSink, QString("New\nG\nR\n"));
    EXPECT_EQ(link.GameEvents().LineCount(), 3u);
    // Only the last light of a read reaches the board: green with the read
    // that ended its line, red with the next.
    ASSERT_GE(m_board.m_vecLit.size(), 2u);
    EXPECT_EQ(m_board.m_vecLit[m_board.m_vecLit.size() - 2], int(QuadrantGreen));
    EXPECT_EQ(m_board.m_vecLit.back(), int(QuadrantRed));
}

TEST_F(AdapterLink, ClosingEndsTheGameAndTheConnectionWithoutAnotherWord)
{
    auto pAdapter = AddAdapter();
    CAdapterLink& link = MakeLink();
    ASSERT_EQ(link.Connect(link.Adapters().front()), CAdapterLink::ConnectResult::Connected);
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\n"));
    CLinkDiary diary(link);

    link.Close();
    EXPECT_EQ(diary.Take(), (Strings{"event game ended closing", "event disconnected closing"}));
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));
    EXPECT_FALSE(link.ReceiveThread());
    link.Close();
    EXPECT_TRUE(diary.Take().empty());
}

TEST_F(AdapterLink, AutomaticConnectionFollowsTheLinkAndAPersonsDisconnectTurnsItOff)
{
    auto pAdapter = AddAdapter();
    CAdapterLink& link = MakeLink();
    CDravikAutoConnect automatic(link);

    link.HoldConnects(true);
    automatic.Control().SetEnabled(true);
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(link.IsConnected()) << "nothing connects while a failure waits for an answer";
    link.HoldConnects(false);
    ASSERT_TRUE(WaitForEvents([&] { return link.IsConnected(); }));

    // A lost adapter is not a person's choice: the adapter's return connects.
    m_backend.Unplug(AdapterPath);
    ASSERT_TRUE(WaitForEvents([&] { return !link.IsConnected(); }));
    EXPECT_TRUE(automatic.Control().IsEnabled());
    m_backend.Replug(AdapterPath);
    link.RefreshAdapters();
    ASSERT_TRUE(WaitForEvents([&] { return link.IsConnected(); }));

    link.Disconnect(DisconnectReason::User);
    EXPECT_FALSE(automatic.Control().IsEnabled());
    EXPECT_FALSE(link.IsConnected());
}
