// The adapter driver window as a user and an adapter meet it, on the real
// frame with simulated adapters: the list, connect and disconnect as the
// adapter sees them on the wire, the status line, every failed attempt, the
// poll that notices a pulled adapter, hotplug, the log and what a stream of
// bytes does to log and board, and the end of the program while connected.
#include <QAction>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <chrono>
#include <functional>
#include <thread>

#include "app/CommandIds.h"
#include "platform/DialogUnits.h"
#include "tests/adapter/AdapterTestSupport.h"
#include "tests/support/BoardPictures.h"

using namespace adaptertest;

namespace {

constexpr char ConnectedDefault[] =
    "CONNECTED  -  115200  -  No Parity  -  No Flow Control  -  8 Data Bits  -  1 Stop Bit";

// The connect sequence for an adapter found at 9600 8N1 without flow control.
const Strings ConnectWire9600 = Wire({
    "S 40 02", "G 42 00", "S 41 00", "G 42 01",       // handshake
    "G 46 80 25 00 00 00 00 08 00",                    // settings kept for later
    "S 45 01",                                         // UART on
    "S 4B FB 04", "S 4B 04 04",                        // around the flush
    "S 49 00 00 00 00", "S 46 00 C2 01 00 00 00 08 00", // 115200 8N1
    "G 46 00 C2 01 00 00 00 08 00",                    // the status line
});

const Strings DisconnectWire9600 = Wire({"S 45 00", "S 46 80 25 00 00 00 00 08 00", "S 40 02", "G 42 00"});

Strings Items(const QComboBox& combo)
{
    Strings items;
    for (int i = 0; i < combo.count(); ++i)
        items.push_back(combo.itemText(i).toStdString());
    return items;
}

class AdapterWindow : public AdapterFrameTest {
protected:
    void ExpectDisconnectedLook()
    {
        CQuadoDravikDriver& dlg = Dlg();
        EXPECT_FALSE(dlg.IsConnected());
        EXPECT_FALSE(dlg.ReceiveThread());
        EXPECT_FALSE(dlg.IsPollTimerActive());
        EXPECT_EQ(ReceiveBuffer, nullptr);
        EXPECT_TRUE(dlg.m_cbDevices.isEnabled());
        EXPECT_EQ(dlg.m_btnConnect.text(), QString("Connect"));
        EXPECT_EQ(dlg.m_stStatus.text(), QString("NOT CONNECTED"));
        EXPECT_FALSE(m_pFrame->IsDravikConnected());
    }
};

} // namespace

TEST_F(AdapterWindow, IsBuiltHiddenUnownedCentredWithItsControlsInTemplateOrder)
{
    AddAdapter();
    m_pFrame = std::make_unique<CMainFrame>(&m_player);
    CQuadoDravikDriver& dlg = Dlg();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.isWindow());
    EXPECT_EQ(dlg.parentWidget(), nullptr);
    EXPECT_EQ(dlg.windowTitle(), QString("QUADO Dravik Driver"));
    EXPECT_EQ(dlg.m_pMainFrame, m_pFrame.get());
    EXPECT_EQ(dlg.m_ppView, &m_pFrame->Board());
    EXPECT_EQ(dlg.m_pbMute, m_pFrame->MuteFlag());
    EXPECT_EQ(dlg.size(), CDialogUnits(dlg.font()).Size(186, 365));
    const QRect rcWork = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((dlg.geometry().center() - rcWork.center()).manhattanLength(), 4);

    EXPECT_EQ(dlg.m_btnHide.text(), QString("Hide"));
    EXPECT_EQ(dlg.m_grpSelect.title(), QString("Dravik Select"));
    EXPECT_EQ(dlg.m_btnConnect.text(), QString("Connect"));
    EXPECT_EQ(dlg.m_stReceived.text(), QString("Received Data:"));
    EXPECT_EQ(dlg.m_btnClear.text(), QString("Clear Data"));
    EXPECT_EQ(dlg.m_strStatus, QString("NOT CONNECTED"));
    EXPECT_EQ(dlg.m_stStatus.text(), QString("NOT CONNECTED"));
    EXPECT_EQ(dlg.m_stStatus.frameShadow(), QFrame::Sunken);
    EXPECT_TRUE(dlg.m_cbDevices.isEditable());
    EXPECT_EQ(Items(dlg.m_cbDevices), Strings{AdapterSerial});
    EXPECT_EQ(dlg.m_cbDevices.currentIndex(), 0);
    ASSERT_TRUE(dlg.Link().IsDeviceWatchRegistered());

    // Tab order: Hide, the list, Connect, the log, Clear Data.
    QWidget* pWidget = &dlg.m_btnHide;
    std::vector<QWidget*> order;
    for (int i = 0; i < 5; ++i) {
        order.push_back(pWidget);
        do
            pWidget = pWidget->nextInFocusChain();
        while (!(pWidget->focusPolicy() & Qt::TabFocus) || pWidget->isHidden() || pWidget->parentWidget() != &dlg);
    }
    EXPECT_EQ(order, (std::vector<QWidget*>{&dlg.m_btnHide, &dlg.m_cbDevices, &dlg.m_btnConnect, &dlg.m_reLog,
                                            &dlg.m_btnClear}));

    // The frame's window brings it up with the keyboard focus.
    ASSERT_TRUE(m_pFrame->Create());
    EXPECT_TRUE(dlg.isVisible());
    m_pFrame->show();
    m_pFrame->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg, testsupport::HangGuardMs));
    EXPECT_TRUE(m_pFrame->FindCommand(CommandId::DravikDriver)->isChecked());
}

TEST_F(AdapterWindow, ListsAdaptersBySerialInEnumerationOrderAndConnectsTheSelectedOne)
{
    AddAdapter("/dev/hidraw3", "SECOND");
    AddAdapter("/dev/hidraw1", "FIRST");
    SimulatedDeviceSetup setup;
    setup.strPath = "/dev/hidraw2";
    setup.nVendorId = 0x046D;
    setup.nProductId = 0xC52B;
    m_backend.AddDevice(setup);
    SimulatedDeviceSetup mute;
    mute.strPath = "/dev/hidraw4";
    mute.bSerialReadable = false;
    auto pUnreadable = m_backend.AddAdapter(mute);

    CQuadoDravikDriver& dlg = MakeFrame();
    EXPECT_EQ(Items(dlg.m_cbDevices), (Strings{"FIRST", "SECOND", "<no serial number>"}));
    EXPECT_EQ(dlg.m_cbDevices.currentIndex(), 0);

    dlg.m_cbDevices.setCurrentIndex(1);
    ClickConnect();
    EXPECT_TRUE(dlg.IsConnected());
    EXPECT_TRUE(m_backend.IsHeld("/dev/hidraw3"));
    EXPECT_FALSE(m_backend.IsHeld("/dev/hidraw1"));
    ClickConnect();
    EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
}

TEST_F(AdapterWindow, WithNoAdapterConnectSaysNoDeviceSelected)
{
    CQuadoDravikDriver& dlg = MakeFrame();
    EXPECT_EQ(dlg.m_cbDevices.count(), 0);
    ClickConnect();
    ASSERT_EQ(m_boxes.m_vecBoxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_vecBoxes[0].strText, QString("No device selected"));
    EXPECT_EQ(m_boxes.m_vecBoxes[0].strCaption, QString("Error"));
    EXPECT_EQ(m_boxes.m_vecBoxes[0].icon, MessageIcon::Stop);
    ExpectDisconnectedLook();

    // A typed name that is no entry selects nothing either.
    auto pAdapter = AddAdapter();
    dlg.RefreshDeviceList();
    dlg.m_cbDevices.setCurrentIndex(-1);
    dlg.m_cbDevices.setEditText("DRAVIK-0001");
    ClickConnect();
    ASSERT_EQ(m_boxes.m_vecBoxes.size(), 2u);
    EXPECT_EQ(m_boxes.m_vecBoxes[1].strText, QString("No device selected"));
    EXPECT_EQ(m_backend.GetOpenAttempts(AdapterPath), 1u) << "only the list's own walk opened it";
    ExpectDisconnectedLook();
}

TEST_F(AdapterWindow, ConnectPollAndDisconnectGoOnTheWireInOrder)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    pAdapter->SetPollReply(0x5A);
    ClickConnect();

    EXPECT_EQ(WireOf(*pAdapter), ConnectWire9600);
    EXPECT_TRUE(dlg.IsConnected());
    EXPECT_TRUE(pAdapter->IsUartEnabled());
    EXPECT_EQ(pAdapter->GetUartConfig(), (UartConfig{115200, 0, 0, 8, 0}));
    EXPECT_EQ(dlg.m_stStatus.text(), QString(ConnectedDefault));
    EXPECT_EQ(dlg.m_strStatus, QString(ConnectedDefault));
    EXPECT_FALSE(dlg.m_cbDevices.isEnabled());
    EXPECT_EQ(dlg.m_btnConnect.text(), QString("Disconnect"));
    EXPECT_TRUE(m_pFrame->IsDravikConnected());
    EXPECT_TRUE(dlg.ReceiveThread() && dlg.ReceiveThread()->IsRunning());
    ASSERT_NE(ReceiveBuffer, nullptr);
    EXPECT_EQ(ReceiveBufferSize, dlg.Link().Adapter().ReceiveCapacity());

    // While connected the poll asks the adapter whether it is there, and
    // nothing else goes on the wire meanwhile.
    pAdapter->ClearTrace();
    EXPECT_TRUE(dlg.IsPollTimerActive());
    ASSERT_TRUE(WaitForEvents([&] { return WireOf(*pAdapter).size() >= 2; }));
    EXPECT_EQ(WireOf(*pAdapter), Wire({"G 4A 5A", "G 4A 5A"}));

    pAdapter->ClearTrace();
    ClickConnect();
    EXPECT_EQ(WireOf(*pAdapter), DisconnectWire9600);
    EXPECT_FALSE(pAdapter->IsUartEnabled());
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));
    ExpectDisconnectedLook();
    EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
}

TEST_F(AdapterWindow, StatusLineShowsTheAdaptersSettingsOrTheirError)
{
    // A disconnected window and a connected one whose settings cannot be read.
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    pAdapter->FailEvery(CSimulatedAdapter::Direction::Get, 0x46);
    ClickConnect();
    EXPECT_EQ(dlg.m_stStatus.text(), QString("CONNECTED  -  <UART Settings Err> - "));
    ClickConnect();
    EXPECT_EQ(dlg.m_stStatus.text(), QString("NOT CONNECTED"));

    // An adapter that keeps odd settings because it refuses new ones.
    pAdapter->ClearFailures();
    pAdapter->SetUartConfig({9600, 3, 2, 5, 1});
    pAdapter->FailEvery(CSimulatedAdapter::Direction::Set, 0x46);
    ClickConnect();
    EXPECT_EQ(dlg.m_stStatus.text(),
              QString("CONNECTED  -  9600  -  Mark Parity  -  <Flow Control Err>  -  5 Data Bits  -  1.5 Stop Bits"));
    ClickConnect();

    const struct {
        UartConfig config;
        const char* pszText;
    } cases[] = {
        {{115200, 0, 0, 8, 0}, ConnectedDefault},
        {{9600, 1, 1, 7, 1},
         "CONNECTED  -  9600  -  Even Parity  -  RTS / CTS Flow Control  -  7 Data Bits  -  2 Stop Bits"},
        {{300, 2, 0, 6, 0}, "CONNECTED  -  300  -  Odd Parity  -  No Flow Control  -  6 Data Bits  -  1 Stop Bit"},
        {{1200, 4, 0, 5, 1},
         "CONNECTED  -  1200  -  Space Parity  -  No Flow Control  -  5 Data Bits  -  1.5 Stop Bits"},
        {{1200, 5, 0, 8, 2},
         "CONNECTED  -  1200  -  <Parity Err>  -  No Flow Control  -  8 Data Bits  -  <Stop Bit Err>"},
        {{0xFFFFFFFF, 0, 0, 8, 0},
         "CONNECTED  -  -1  -  No Parity  -  No Flow Control  -  8 Data Bits  -  1 Stop Bit"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CQuadoDravikDriver::ConnectedStatusText(&c.config), QString(c.pszText));
}

namespace {

using Dir = CSimulatedAdapter::Direction;

struct FailureCase {
    const char* pszName;
    std::function<void(CSimulatedHidBackend&, CSimulatedAdapter&)> arrange;
    const char* pszBox;
    Strings wire;
};

std::vector<FailureCase> FailureCases()
{
    const Strings handshake = Wire({"S 40 02", "G 42 00", "S 41 00", "G 42 01"});
    return {
        {"adapter refuses the first request",
         [](CSimulatedHidBackend&, CSimulatedAdapter& a) { a.SetStateAfterRequest(1); },
         "Error connecting to device", Wire({"S 40 02", "G 42 01", "S 40 01"})},
        {"adapter refuses the confirmation",
         [](CSimulatedHidBackend&, CSimulatedAdapter& a) { a.SetStateAfterConfirm(0); },
         "Error connecting to device", Wire({"S 40 02", "G 42 00", "S 41 00", "G 42 00", "S 40 01"})},
        {"adapter answers an unknown state",
         [](CSimulatedHidBackend&, CSimulatedAdapter& a) { a.SetStateAfterRequest(7); },
         "Error connecting to device", Wire({"S 40 02", "G 42 07", "S 40 02", "G 42 07"})},
        {"adapter held by another program",
         [](CSimulatedHidBackend& b, CSimulatedAdapter&) { b.SetOpenRefusal("/dev/hidraw0", HidOpenError::InUse); },
         "Error connecting to device", Wire({})},
        // Failed transfers leave the adapter open: it is closed with its
        // handshake, and no settings are written back, for none were fetched.
        {"first request lost",
         [](CSimulatedHidBackend&, CSimulatedAdapter& a) { a.FailNext(Dir::Set, 0x40); },
         "Error connecting to device", Wire({"!S 40 02", "S 40 02", "G 42 00"})},
        {"state not fetched",
         [](CSimulatedHidBackend&, CSimulatedAdapter& a) { a.FailNext(Dir::Get, 0x42); },
         "Error connecting to device", Wire({"S 40 02", "!G 42 00", "S 40 02", "G 42 00"})},
        {"confirmation lost",
         [](CSimulatedHidBackend&, CSimulatedAdapter& a) { a.FailNext(Dir::Set, 0x41); },
         "Error connecting to device", Wire({"S 40 02", "G 42 00", "!S 41 00", "S 40 02", "G 42 00"})},
        {"UART cannot be enabled",
         [](CSimulatedHidBackend&, CSimulatedAdapter& a) { a.FailNext(Dir::Set, 0x45); },
         "Error enabling UART, closing device",
         Concat({handshake,
                 Wire({"G 46 80 25 00 00 00 00 08 00", "!S 45 01", "S 46 80 25 00 00 00 00 08 00", "S 40 02",
                       "G 42 00"})})},
        {"settings unreadable and UART cannot be enabled",
         [](CSimulatedHidBackend&, CSimulatedAdapter& a) {
             a.FailNext(Dir::Get, 0x46);
             a.FailNext(Dir::Set, 0x45);
         },
         "Error enabling UART, closing device",
         Concat({handshake, Wire({"!G 46 00 00 00 00 00 00 00 00", "!S 45 01", "S 40 02", "G 42 00"})})},
    };
}

} // namespace

TEST_F(AdapterWindow, EveryFailedConnectLetsGoOfTheAdapterBeforeItsErrorIsShown)
{
    for (const FailureCase& c : FailureCases()) {
        SCOPED_TRACE(c.pszName);
        auto pAdapter = AddAdapter();
        CQuadoDravikDriver& dlg = MakeFrame();
        c.arrange(m_backend, *pAdapter);

        std::vector<bool> heldAtBox;
        const MessageBoxHook hookPrev =
            SetMessageBoxHook([&](QWidget* pOwner, const QString& strText, const QString& strCaption, MessageIcon icon) {
                heldAtBox.push_back(dlg.IsConnected());
                m_boxes.m_vecBoxes.push_back({pOwner, strText, strCaption, icon});
                return MessageBoxOk;
            });
        m_boxes.m_vecBoxes.clear();
        ClickConnect();
        SetMessageBoxHook(hookPrev);

        ASSERT_EQ(m_boxes.m_vecBoxes.size(), 1u);
        EXPECT_EQ(m_boxes.m_vecBoxes[0].strText, QString(c.pszBox));
        EXPECT_EQ(m_boxes.m_vecBoxes[0].strCaption, QString("Error"));
        EXPECT_EQ(m_boxes.m_vecBoxes[0].icon, MessageIcon::Stop);
        EXPECT_EQ(heldAtBox, std::vector<bool>{false}) << "nothing may stay open under the box";
        EXPECT_EQ(WireOf(*pAdapter), c.wire);
        EXPECT_FALSE(m_backend.IsHeld(AdapterPath));
        EXPECT_FALSE(pAdapter->IsUartEnabled());
        ExpectDisconnectedLook();

        m_pFrame.reset();
        m_backend.RemoveDevice(AdapterPath);
    }
}

TEST_F(AdapterWindow, AFailedAttemptDoesNotWriteBackAnEarlierConnectionsSettings)
{
    auto pAdapter = AddAdapter(AdapterPath, AdapterSerial, {9600, 0, 1, 8, 0});
    CQuadoDravikDriver& dlg = MakeFrame();
    ClickConnect();
    ClickConnect();
    ASSERT_EQ(dlg.Link().Session().SavedUartConfig().FlowControl, 1);

    // The adapter was set to something else meanwhile; a failed attempt must
    // leave it so.
    pAdapter->SetUartConfig({57600, 0, 0, 8, 0});
    pAdapter->ClearTrace();
    pAdapter->FailNext(Dir::Set, 0x41);
    ClickConnect();
    EXPECT_EQ(WireOf(*pAdapter), Wire({"S 40 02", "G 42 00", "!S 41 00", "S 40 02", "G 42 00"}));
    EXPECT_EQ(pAdapter->GetUartConfig(), (UartConfig{57600, 0, 0, 8, 0}));
}

namespace {

// A window whose receive buffer cannot be had.
class CStarvedDriver : public CQuadoDravikDriver {
protected:
    uint8_t* AllocateReceiveBuffer(uint32_t) override { return nullptr; }
};

} // namespace

TEST_F(AdapterWindow, NoReceiveBufferMeansAnErrorAndTheAdapterRestoredAndClosed)
{
    auto pAdapter = AddAdapter();
    CStarvedDriver dlg;
    std::vector<bool> heldAtBox;
    const MessageBoxHook hookPrev = SetMessageBoxHook([&](QWidget*, const QString& strText, const QString& strCaption,
                                                          MessageIcon icon) {
        heldAtBox.push_back(dlg.IsConnected());
        m_boxes.m_vecBoxes.push_back({nullptr, strText, strCaption, icon});
        return MessageBoxOk;
    });
    dlg.m_btnConnect.click();
    SetMessageBoxHook(hookPrev);

    ASSERT_EQ(m_boxes.m_vecBoxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_vecBoxes[0].strText, QString("Error allocating buffers, closing device"));
    EXPECT_EQ(m_boxes.m_vecBoxes[0].icon, MessageIcon::Stop);
    EXPECT_EQ(heldAtBox, std::vector<bool>{false});
    // Put back as found and closed; the steps before the failure are the session's own check.
    const Strings wire = WireOf(*pAdapter);
    ASSERT_GE(wire.size(), DisconnectWire9600.size());
    EXPECT_EQ(Strings(wire.end() - DisconnectWire9600.size(), wire.end()), DisconnectWire9600);
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));
    EXPECT_FALSE(dlg.ReceiveThread());
    EXPECT_EQ(ReceiveBuffer, nullptr);
    EXPECT_EQ(dlg.m_btnConnect.text(), QString("Connect"));
}

TEST_F(AdapterWindow, APulledAdapterIsDisconnectedSilentlyByThePoll)
{
    // Plugged in before the program started.
    auto pAdapter = AddAdapter();
    Hotplug(HidrawUevent::Action::Add, AdapterPath);
    CQuadoDravikDriver& dlg = MakeFrame();
    ClickConnect();
    ASSERT_TRUE(FeedRead(*pAdapter, "G\r\n"));
    ASSERT_EQ(m_pFrame->View().m_nLitQuadrant, int(QuadrantGreen));

    const std::shared_ptr<CReceiveThread> pThread = dlg.ReceiveThread();
    m_backend.Unplug(AdapterPath);
    Hotplug(HidrawUevent::Action::Remove, AdapterPath);
    ASSERT_TRUE(WaitForEvents([&] { return !dlg.IsConnected(); }));

    // A pulled adapter fails every read at once: one failed read is enough
    // to look, and the thread does not spin until the poll comes.
    EXPECT_EQ(pThread->GetFailedReads(), 1u);
    EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
    ExpectDisconnectedLook();
    EXPECT_TRUE(WaitForEvents([&] { return dlg.m_cbDevices.count() == 0; })) << "the removal refreshes the list";
    // What was received stays.
    EXPECT_EQ(LogText(dlg), L"G\n");
    EXPECT_EQ(m_pFrame->View().m_nLitQuadrant, int(QuadrantGreen));
}

TEST_F(AdapterWindow, ArrivalsAndRemovalsOfAdaptersRefreshTheListAlsoWhileConnected)
{
    CQuadoDravikDriver& dlg = MakeFrame();
    ASSERT_EQ(dlg.m_cbDevices.count(), 0);

    auto pAdapter = AddAdapter();
    Hotplug(HidrawUevent::Action::Add, AdapterPath);
    ASSERT_TRUE(WaitForEvents([&] { return dlg.m_cbDevices.count() == 1; }));
    EXPECT_EQ(dlg.m_cbDevices.currentIndex(), 0);

    // Another device's arrival is none of the list's business.
    AddAdapter("/dev/hidraw5", "UNANNOUNCED");
    Hotplug(HidrawUevent::Action::Add, "/dev/hidraw6", "0003:0000046D:0000C52B");
    QTest::qWait(50);
    EXPECT_EQ(Items(dlg.m_cbDevices), Strings{AdapterSerial});
    m_backend.RemoveDevice("/dev/hidraw5");

    ClickConnect();
    ASSERT_TRUE(dlg.IsConnected());
    AddAdapter("/dev/hidraw1", "LATECOMER");
    Hotplug(HidrawUevent::Action::Add, "/dev/hidraw1");
    // The greyed list goes on naming the adapter it holds, not the newcomer.
    ASSERT_TRUE(WaitForEvents([&] { return Items(dlg.m_cbDevices) == Strings{AdapterSerial, "LATECOMER"}; }));
    EXPECT_EQ(dlg.m_cbDevices.currentText(), QString(AdapterSerial));
    EXPECT_FALSE(dlg.m_cbDevices.isEnabled());
    m_backend.RemoveDevice("/dev/hidraw1");
    Hotplug(HidrawUevent::Action::Remove, "/dev/hidraw1");
    ASSERT_TRUE(WaitForEvents([&] { return dlg.m_cbDevices.count() == 1; }));
    EXPECT_EQ(dlg.m_cbDevices.currentText(), QString(AdapterSerial));
    EXPECT_TRUE(dlg.IsConnected());
    EXPECT_FALSE(dlg.m_cbDevices.isEnabled());

    // Once let go, the adapter is back on the list and can be connected again.
    ClickConnect();
    ASSERT_FALSE(dlg.IsConnected());
    EXPECT_EQ(Items(dlg.m_cbDevices), Strings{AdapterSerial});
    m_boxes.m_vecBoxes.clear();
    ClickConnect();
    EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
    EXPECT_TRUE(dlg.IsConnected());
}

TEST_F(AdapterWindow, AConnectOpensOnlyTheAdapterTheListShowed)
{
    auto pFirst = AddAdapter("/dev/hidraw0", "FIRST");
    auto pSecond = AddAdapter("/dev/hidraw1", "SECOND");
    CQuadoDravikDriver& dlg = MakeFrame();
    ASSERT_EQ(Items(dlg.m_cbDevices), (Strings{"FIRST", "SECOND"}));
    const QString strChanged("The adapter list has changed: choose the adapter again");

    // Another program takes the first one after the list was read: the
    // second is now adapter 0, and must not be opened in its place.
    m_backend.SetOpenRefusal("/dev/hidraw0", HidOpenError::InUse);
    ClickConnect();
    ASSERT_EQ(m_boxes.m_vecBoxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_vecBoxes[0].strText, strChanged);
    EXPECT_TRUE(WireOf(*pSecond).empty()) << "nothing went to an adapter nobody chose";
    EXPECT_FALSE(m_backend.IsHeld("/dev/hidraw1"));
    EXPECT_EQ(Items(dlg.m_cbDevices), Strings{"SECOND"}) << "the list is read again";
    ExpectDisconnectedLook();

    // Automatic connection by serial is told on the status line.
    m_backend.SetOpenRefusal("/dev/hidraw0", HidOpenError::None);
    dlg.RefreshDeviceList();
    m_backend.SetOpenRefusal("/dev/hidraw0", HidOpenError::InUse);
    EXPECT_FALSE(dlg.ConnectQuietly(0));
    EXPECT_EQ(dlg.m_stStatus.text(), QString("NOT CONNECTED  -  ") + strChanged);
    EXPECT_TRUE(WireOf(*pSecond).empty());

    // A node's name passes to the next device plugged in: the serial tells.
    m_backend.SetOpenRefusal("/dev/hidraw0", HidOpenError::None);
    dlg.RefreshDeviceList();
    m_backend.RemoveDevice("/dev/hidraw0");
    auto pStranger = AddAdapter("/dev/hidraw0", "STRANGER");
    EXPECT_FALSE(dlg.ConnectQuietly(0));
    EXPECT_TRUE(WireOf(*pStranger).empty());
    EXPECT_EQ(Items(dlg.m_cbDevices), (Strings{"STRANGER", "SECOND"}));
    EXPECT_TRUE(dlg.ConnectQuietly(0)) << "chosen again from the fresh list";
}

TEST_F(AdapterWindow, WhileAFailedConnectsBoxIsUpNothingConnectsBehindIt)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    CAutoConnect& autoConnect = m_pFrame->AutoConnect();
    pAdapter->FailNext(Dir::Set, 0x41);
    autoConnect.SetEnabled(true);
    ASSERT_TRUE(WaitForEvents([&] { return autoConnect.GetAttempts() == 1; }));
    ASSERT_FALSE(dlg.IsConnected());

    // The person tries too, and fails; the box's own event loop runs
    // automatic connection's retries and the poll.
    pAdapter->FailNext(Dir::Set, 0x41);
    bool bOpenAtBox = true;
    int nAttemptsAtBox = -1;
    const MessageBoxHook hookPrev =
        SetMessageBoxHook([&](QWidget*, const QString&, const QString&, MessageIcon) {
            autoConnect.OnListOrConnectionChanged();
            QCoreApplication::processEvents();
            bOpenAtBox = m_backend.IsHeld(AdapterPath) || dlg.IsConnected();
            nAttemptsAtBox = autoConnect.GetAttempts();
            return MessageBoxOk;
        });
    ClickConnect();
    SetMessageBoxHook(hookPrev);
    EXPECT_FALSE(bOpenAtBox);
    EXPECT_EQ(nAttemptsAtBox, 1);
    // Once the box is gone, automatic connection carries on.
    EXPECT_TRUE(WaitForEvents([&] { return dlg.IsConnected(); }));
}

TEST_F(AdapterWindow, OnlyAnAdaptersInterfaceNameRefreshesTheList)
{
    CQuadoDravikDriver& dlg = MakeFrame();
    AddAdapter();
    const std::wstring strAdapter = L"\\\\?\\HID#Vid_10c4&Pid_8253#7&2a1b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const auto refreshes = [&](uint32_t nEvent, uint32_t nType, const std::wstring& strName) {
        dlg.m_cbDevices.clear();
        EXPECT_TRUE(dlg.OnDeviceChange(nEvent, nType, strName));
        return dlg.m_cbDevices.count() == 1;
    };
    EXPECT_TRUE(refreshes(0x8000, 5, strAdapter));
    EXPECT_TRUE(refreshes(0x8004, 5, strAdapter));
    EXPECT_FALSE(refreshes(0x8001, 5, strAdapter)) << "query remove";
    EXPECT_FALSE(refreshes(0x8000, 2, strAdapter)) << "a volume, not an interface";
    EXPECT_FALSE(refreshes(0x8000, 5, L"\\\\?\\hid#vid_10c4&pid_8253#7&2a1b&0&0000"));
    EXPECT_FALSE(refreshes(0x8000, 5, L"\\\\?\\HID#Vid_046d&Pid_c52b#7&2a1b&0&0000"));
}

TEST(AdapterInterfaceName, TheFirst25CharactersMustMatchByteForByte)
{
    const auto matches = [](const std::wstring& str) { return CQuadoDravikDriver::IsAdapterInterfaceName(str); };
    EXPECT_TRUE(matches(L"\\\\?\\HID#Vid_10c4&Pid_8253"));
    EXPECT_TRUE(matches(L"\\\\?\\HID#Vid_10c4&Pid_8253#hidraw0"));
    EXPECT_FALSE(matches(L"\\\\?\\HID#Vid_10c4&Pid_825")) << "24 characters";
    EXPECT_FALSE(matches(L""));
    EXPECT_FALSE(matches(L"\\\\?\\HID#VID_10C4&PID_8253#hidraw0"));
    EXPECT_FALSE(matches(L"\\\\?\\hid#vid_10c4&pid_8253#hidraw0"));
    EXPECT_FALSE(matches(L"\\\\?\\HID#Vid_10c4&Pid_8254#hidraw0"));
    // Each character counts by its low byte only.
    std::wstring strWide = L"\\\\?\\HID#Vid_10c4&Pid_8253";
    strWide[8] = static_cast<wchar_t>(0x0100 | L'V');
    EXPECT_TRUE(matches(strWide));
}

TEST(HidrawEvents, BecomeArrivalsAndRemovalsWithWindowsStyleNames)
{
    CHidrawEventTranslator translator;
    using Action = HidrawUevent::Action;

    auto arrival = translator.Translate({Action::Add, "/dev/hidraw3", "0003:000010C4:00008253"});
    ASSERT_TRUE(arrival);
    EXPECT_EQ(arrival->nEvent, 0x8000u);
    EXPECT_EQ(arrival->nDeviceType, 5u);
    EXPECT_EQ(arrival->strInterfaceName, L"\\\\?\\HID#Vid_10c4&Pid_8253#hidraw3");
    EXPECT_TRUE(CQuadoDravikDriver::IsAdapterInterfaceName(arrival->strInterfaceName));

    // The removal carries no ids; the arrival's are remembered, once.
    auto removal = translator.Translate({Action::Remove, "/dev/hidraw3", ""});
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->nEvent, 0x8004u);
    EXPECT_EQ(removal->strInterfaceName, L"\\\\?\\HID#Vid_10c4&Pid_8253#hidraw3");
    removal = translator.Translate({Action::Remove, "/dev/hidraw3", ""});
    ASSERT_TRUE(removal);
    EXPECT_FALSE(CQuadoDravikDriver::IsAdapterInterfaceName(removal->strInterfaceName));

    auto foreign = translator.Translate({Action::Add, "/dev/hidraw4", "0005:0000046D:0000B01A"});
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->strInterfaceName, L"\\\\?\\HID#Vid_046d&Pid_b01a#hidraw4");

    // A node present before the monitor started is known by enumeration.
    translator.Remember("/dev/hidraw0", "0003:000010C4:00008253");
    removal = translator.Translate({Action::Remove, "/dev/hidraw0", ""});
    ASSERT_TRUE(removal);
    EXPECT_TRUE(CQuadoDravikDriver::IsAdapterInterfaceName(removal->strInterfaceName));

    EXPECT_FALSE(translator.Translate({Action::Other, "/dev/hidraw3", ""}));
    EXPECT_FALSE(translator.Translate({Action::Add, "", "0003:000010C4:00008253"}));
    auto garbled = translator.Translate({Action::Add, "/dev/hidraw7", "garbage"});
    ASSERT_TRUE(garbled);
    EXPECT_EQ(garbled->strInterfaceName, L"\\\\?\\HID#hidraw7");
}

TEST_F(AdapterWindow, ConnectingHidesTheManualDriverWhichIsThenRefused)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    QAction* pManual = m_pFrame->FindCommand(CommandId::ManualDriver);
    pManual->trigger();
    ASSERT_TRUE(m_pFrame->ManualDriver().isVisible());

    ClickConnect();
    EXPECT_FALSE(m_pFrame->ManualDriver().isVisible());
    EXPECT_FALSE(m_pFrame->IsManualDriverShown());
    EXPECT_FALSE(pManual->isChecked());

    pManual->trigger();
    ASSERT_EQ(m_boxes.m_vecBoxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_vecBoxes[0].strText,
              QString("Please disconnect the Dravik Driver device before using the manual driver"));
    EXPECT_FALSE(m_pFrame->ManualDriver().isVisible());
    EXPECT_FALSE(pManual->isChecked());

    ClickConnect();
    pManual->trigger();
    EXPECT_TRUE(m_pFrame->ManualDriver().isVisible());
    EXPECT_FALSE(dlg.IsConnected());
}

TEST_F(AdapterWindow, HideEscapeAndTheCloseBoxToggleTheWindowButKeepTheConnection)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    QAction* pShow = m_pFrame->FindCommand(CommandId::DravikDriver);
    ClickConnect();

    dlg.m_btnHide.click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(m_pFrame->IsDravikDriverShown());
    EXPECT_FALSE(pShow->isChecked());
    pShow->trigger();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(pShow->isChecked());

    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(m_pFrame->IsDravikDriverShown());
    pShow->trigger();
    EXPECT_TRUE(dlg.close());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(pShow->isChecked());

    EXPECT_TRUE(dlg.IsConnected());
    ASSERT_TRUE(FeedRead(*pAdapter, "R\n"));
    EXPECT_EQ(m_pFrame->View().m_nLitQuadrant, int(QuadrantRed));
}

TEST_F(AdapterWindow, AReadFullOfLinesComposesOnlyWhatItLeavesShowing)
{
    auto pAdapter = AddAdapter();
    MakeFrame();
    CChildView& view = m_pFrame->View();
    ClickConnect();
    ASSERT_TRUE(FeedRead(*pAdapter, "New\n"));
    m_player.m_vecCalls.clear();

    // No paint can come between the lines of one read, so the board is
    // composited once for it, and the picture is what the last lines left.
    const int nRequests = view.RepaintRequestCount();
    ASSERT_TRUE(FeedRead(*pAdapter, "G\nOff\nR\nOff\nY\nLevel 2 -\nOff\nB\nPress\n"));
    EXPECT_EQ(view.m_nLitQuadrant, int(QuadrantBlue));
    EXPECT_LE(view.RepaintRequestCount(), nRequests + 2);
    EXPECT_TRUE(view.Canvas() == testsupport::ExpectedCanvas(
                                     QuadrantBlue, L"Press button\nto start\n\nDr\u00FCcken Sie\nKnopf, um\nanzufangen"));
    // Every tone of the read was still started and stopped, in order.
    EXPECT_EQ(m_player.m_vecCalls,
              (Strings{"loop 153", "stop", "loop 154", "stop", "loop 156", "loop 151"}));
}

TEST_F(AdapterWindow, TheStreamReachesLogAndBoardReadByRead)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    CChildView& view = m_pFrame->View();
    ClickConnect();

    // CR LF arrives as LF in both.
    ASSERT_TRUE(FeedRead(*pAdapter, "G\r\n"));
    EXPECT_EQ(LogText(dlg), L"G\n");
    EXPECT_EQ(view.m_nLitQuadrant, int(QuadrantGreen));

    // A form feed clears the log; what came before it in the read is gone.
    ASSERT_TRUE(FeedRead(*pAdapter, "R\n\fY\r\n"));
    EXPECT_EQ(LogText(dlg), L"Y\n");
    EXPECT_EQ(view.m_nLitQuadrant, int(QuadrantYellow));
    ASSERT_TRUE(FeedRead(*pAdapter, "a\fb\fB\n"));
    EXPECT_EQ(LogText(dlg), L"B\n");
    EXPECT_EQ(view.m_nLitQuadrant, int(QuadrantBlue));

    // Nothing after a zero byte in the same read counts, not even a form feed.
    ASSERT_TRUE(FeedRead(*pAdapter, Bytes({'O', 'f', 'f', '\n', 0, '\f', 'G', '\n'})));
    EXPECT_EQ(LogText(dlg), L"B\nOff\n");
    EXPECT_EQ(view.m_nLitQuadrant, int(QuadrantNone));

    // A line may span reads; bytes 0x80 to 0xFF are the Latin-1 characters.
    std::string strHigh;
    for (int n = 0x80; n <= 0xBF; ++n)
        strHigh.push_back(static_cast<char>(n));
    ASSERT_TRUE(FeedRead(*pAdapter, strHigh));
    strHigh.clear();
    for (int n = 0xC0; n <= 0xFF; ++n)
        strHigh.push_back(static_cast<char>(n));
    ASSERT_TRUE(FeedRead(*pAdapter, strHigh));
    std::wstring strExpected;
    for (int n = 0x80; n <= 0xFF; ++n)
        strExpected.push_back(static_cast<wchar_t>(n));
    EXPECT_EQ(dlg.Interpreter().GetPendingLine(), strExpected);
    EXPECT_EQ(LogText(dlg), L"B\nOff\n" + strExpected);
    ASSERT_TRUE(FeedRead(*pAdapter, "\nAll\n"));
    EXPECT_EQ(view.m_nLitQuadrant, int(QuadrantAll));
    EXPECT_TRUE(dlg.Interpreter().GetPendingLine().empty());

    // A read of reports without UART data changes nothing but the caret.
    const std::wstring strBefore = LogText(dlg);
    dlg.m_reLog.Settle();
    dlg.m_reLog.verticalScrollBar()->setValue(0);
    const uint64_t nBefore = dlg.ReceiveThread()->GetProcessedChunks();
    pAdapter->PushInputReport(std::vector<uint8_t>(65, 0));
    ASSERT_TRUE(WaitForEvents([&] { return dlg.ReceiveThread()->GetProcessedChunks() > nBefore; }));
    EXPECT_EQ(LogText(dlg), strBefore);
    dlg.m_reLog.Settle();
    EXPECT_TRUE(dlg.m_reLog.IsShowingEnd());
    EXPECT_EQ(view.m_nLitQuadrant, int(QuadrantAll));
}

TEST_F(AdapterWindow, ConnectKeepsTheLogAndOnlyClearDataOrAFormFeedEmptiesIt)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    ClickConnect();
    ASSERT_TRUE(FeedRead(*pAdapter, "Level 2 -\nNo\xA0" "break  \t spaces\nNe"));
    const std::wstring strLog = LogText(dlg);
    ASSERT_EQ(strLog, L"Level 2 -\nNo\u00A0break  \t spaces\nNe");
    ClickConnect();
    EXPECT_EQ(LogText(dlg), strLog);
    ClickConnect();
    EXPECT_EQ(LogText(dlg), strLog);

    // Clear Data empties the log and nothing else: the half line waits on.
    dlg.m_btnClear.click();
    EXPECT_EQ(LogText(dlg), L"");
    EXPECT_EQ(dlg.Interpreter().GetPendingLine(), L"Ne");
    ASSERT_TRUE(FeedRead(*pAdapter, "w\n"));
    EXPECT_EQ(LogText(dlg), L"w\n");
    EXPECT_TRUE(dlg.Interpreter().IsGameRunning());
    EXPECT_TRUE(dlg.IsConnected());
}

TEST_F(AdapterWindow, TheLogKeepsTheLatestMebibyteAndAppendsAtTheEnd)
{
    CQuadoDravikDriver& dlg = MakeFrame();
    // Lines of 16 characters, numbered, well past the cap in reads of 2 KiB.
    const int nLines = 2 * (CQuadoDravikDriver::MaxLogChars + CQuadoDravikDriver::LogTrimSlack) / 15;
    std::wstring strRead;
    std::wstring strAll;
    for (int i = 0; i < nLines; ++i) {
        wchar_t szLine[17];
        std::swprintf(szLine, 17, L"line %09d\r\n", i);
        strRead += szLine;
        if (strRead.size() >= 2048 || i == nLines - 1) {
            dlg.ProcessChunk(strRead);
            strRead.clear();
        }
        strAll += std::wstring(szLine).substr(0, 14) + L"\n";
    }
    const std::wstring strLog = LogText(dlg);
    EXPECT_GE(strLog.size(), size_t(CQuadoDravikDriver::MaxLogChars));
    EXPECT_LE(strLog.size(), size_t(CQuadoDravikDriver::MaxLogChars + CQuadoDravikDriver::LogTrimSlack));
    EXPECT_EQ(strLog, strAll.substr(strAll.size() - strLog.size())) << "the newest text, in order, at the end";
}

TEST_F(AdapterWindow, DisconnectWhileAChunkWaitsForTheWindowDropsIt)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    ClickConnect();
    // The thread reads this and waits for the window, which is busy here.
    pAdapter->FeedUart("G\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The receive thread waits for the hand-off; the disconnect must not wait
    // for it in turn (a deadlock would end the test by its timeout).
    ClickConnect();
    EXPECT_FALSE(dlg.IsConnected());
    QTest::qWait(100);
    EXPECT_EQ(LogText(dlg), L"");
    EXPECT_EQ(m_pFrame->View().m_nLitQuadrant, int(QuadrantNone));
    EXPECT_TRUE(dlg.Interpreter().GetPendingLine().empty());
}

TEST_F(AdapterWindow, ClosingTheMainWindowWhileConnectedDisconnectsCleanly)
{
    auto pAdapter = AddAdapter();
    MakeFrame();
    m_pFrame->show();
    ClickConnect();
    ASSERT_TRUE(FeedRead(*pAdapter, "New\nY\n"));
    pAdapter->ClearTrace();

    m_pFrame->close();
    m_pFrame.reset();
    EXPECT_EQ(WireOf(*pAdapter), DisconnectWire9600);
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));
    EXPECT_FALSE(pAdapter->IsUartEnabled());
    EXPECT_EQ(ReceiveBuffer, nullptr);
    EXPECT_EQ(m_player.m_vecCalls, Strings{"loop 156"});
}
