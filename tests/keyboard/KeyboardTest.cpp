// A presenter without the touch board plays from the keyboard: a held colour
// key is a held colour button, whichever window has the key, and never while
// the adapter drives the board. Menu items show their shortcuts, Enter in the
// adapter list connects, and a screen reader hears what the board shows.
#include "tests/adapter/AdapterTestSupport.h"

#include "app/CommandIds.h"
#include "app/FullScreenNotice.h"
#include "app/ToolWindowPlacement.h"

#include <QAccessible>
#include <QAction>
#include <QKeyEvent>

using namespace adaptertest;

namespace {

class Keyboard : public AdapterFrameTest {
protected:
    CQuadoDriverDialog& Manual() { return m_pFrame->ManualDriver(); }
    CChildView& View() { return m_pFrame->View(); }
    // What a screen reader reads of the board now.
    QString Described() { return QAccessible::queryAccessibleInterface(&View())->text(QAccessible::Description); }

    static void Key(QWidget* pWidget, QEvent::Type nType, int nKey, bool bAutoRepeat = false)
    {
        QKeyEvent event(nType, nKey, Qt::NoModifier, QString(), bAutoRepeat);
        QCoreApplication::sendEvent(pWidget, &event);
    }
    static void Press(QWidget* pWidget, int nKey, bool bAutoRepeat = false)
    {
        Key(pWidget, QEvent::KeyPress, nKey, bAutoRepeat);
    }
    static void Release(QWidget* pWidget, int nKey, bool bAutoRepeat = false)
    {
        Key(pWidget, QEvent::KeyRelease, nKey, bAutoRepeat);
    }

    void ExpectDim()
    {
        EXPECT_EQ(View().m_nLitQuadrant, int(QuadrantNone));
        EXPECT_EQ(View().PanelText(), L"");
        for (CQuadoDriverDialogButton* pButton : Manual().Buttons())
            EXPECT_FALSE(pButton->IsPressed());
    }
};

TEST_F(Keyboard, AHeldColourKeyInEitherWindowIsAHeldButton)
{
    MakeFrame();
    for (QWidget* pWindow : {static_cast<QWidget*>(m_pFrame.get()), static_cast<QWidget*>(&Manual())}) {
        m_player.m_vecCalls.clear();
        Press(pWindow, Qt::Key_G);
        EXPECT_TRUE(Manual().m_btnGreen.IsPressed());
        EXPECT_EQ(View().m_nLitQuadrant, int(QuadrantGreen));
        EXPECT_EQ(View().PanelText(), L"Green!");
        EXPECT_TRUE(Described().contains("reen")) << Described().toStdString();
        // The keyboard repeats a held key: nothing restarts.
        for (int i = 0; i < 5; ++i) {
            Release(pWindow, Qt::Key_G, true);
            Press(pWindow, Qt::Key_G, true);
        }
        EXPECT_EQ(m_player.m_vecCalls, (Strings{"once 153"}));
        EXPECT_EQ(View().m_nLitQuadrant, int(QuadrantGreen));

        Release(pWindow, Qt::Key_G);
        ExpectDim();
        EXPECT_EQ(m_player.m_vecCalls, (Strings{"once 153", "stop"}));
    }
    // The digits in the board's reading order.
    Press(m_pFrame.get(), Qt::Key_3);
    EXPECT_EQ(View().m_nLitQuadrant, int(QuadrantRed));
    Release(m_pFrame.get(), Qt::Key_3);
    ExpectDim();
}

TEST_F(Keyboard, ASecondKeyEndsTheFirstPressAndLosingTheWindowEndsAHeldOne)
{
    MakeFrame();
    Press(m_pFrame.get(), Qt::Key_B);
    Press(m_pFrame.get(), Qt::Key_Y);
    EXPECT_FALSE(Manual().m_btnBlue.IsPressed());
    EXPECT_TRUE(Manual().m_btnYellow.IsPressed());
    EXPECT_EQ(View().m_nLitQuadrant, int(QuadrantYellow));
    EXPECT_EQ(m_player.m_vecCalls, (Strings{"once 151", "stop", "once 156"}));
    // The first key's late release must not end the second press.
    Release(m_pFrame.get(), Qt::Key_B);
    EXPECT_TRUE(Manual().m_btnYellow.IsPressed());
    Release(m_pFrame.get(), Qt::Key_Y);
    ExpectDim();

    Press(&Manual(), Qt::Key_R);
    ASSERT_TRUE(Manual().m_btnRed.IsPressed());
    // The window is not the active one, as after another window took over.
    QEvent deactivated(QEvent::ActivationChange);
    QCoreApplication::sendEvent(&Manual(), &deactivated);
    ExpectDim();
    EXPECT_EQ(m_player.m_vecCalls.back(), "stop");
}

TEST_F(Keyboard, WhileConnectedTheKeysLeaveTheBoardToTheAdapter)
{
    auto pAdapter = AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    ClickConnect();
    ASSERT_TRUE(dlg.IsConnected());
    ASSERT_TRUE(FeedRead(*pAdapter, "R\r\n"));
    m_player.m_vecCalls.clear();
    Press(m_pFrame.get(), Qt::Key_G);
    Press(&Manual(), Qt::Key_B);
    EXPECT_EQ(View().m_nLitQuadrant, int(QuadrantRed));
    EXPECT_FALSE(Manual().m_btnGreen.IsPressed());
    EXPECT_TRUE(m_player.m_vecCalls.empty());
    Release(m_pFrame.get(), Qt::Key_G);
    EXPECT_EQ(View().m_nLitQuadrant, int(QuadrantRed));
}

TEST_F(Keyboard, MenuItemsKeepTheirTextsAndShowTheirShortcuts)
{
    MakeFrame();
    const std::vector<std::tuple<int, const char*, const char*>> items = {
        {CommandId::AppExit, "E&xit", "Ctrl+Q"},
        {CommandId::Mute, "&Mute", "Ctrl+M"},
        {CommandId::FullScreen, "&Full Screen", "F11"},
        {CommandId::DravikDriver, "&Dravik Driver", "Ctrl+D"},
        {CommandId::ManualDriver, "&Manual Driver", "Ctrl+Shift+M"},
    };
    for (const auto& [nId, pszText, pszKeys] : items) {
        QAction* pAction = m_pFrame->FindCommand(nId);
        ASSERT_NE(pAction, nullptr) << pszText;
        EXPECT_EQ(pAction->text(), QString(pszText));
        EXPECT_EQ(pAction->shortcut(), QKeySequence(QString(pszKeys))) << pszText;
        // Shortcuts must reach their command with the menu bar hidden too.
        EXPECT_EQ(pAction->shortcutContext(), Qt::WindowShortcut) << pszText;
        EXPECT_TRUE(m_pFrame->actions().contains(pAction) || pAction->parent() == m_pFrame.get()) << pszText;
    }
    // Ctrl+M from the keyboard toggles Mute.
    m_pFrame->show();
    m_pFrame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get(), testsupport::HangGuardMs));
    QTest::keyClick(m_pFrame.get(), Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(m_pFrame->IsMuted());
}

TEST_F(Keyboard, EnterInTheAdapterListConnectsAndDisconnectsAndKeepsTheWindow)
{
    AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    ASSERT_TRUE(WaitForEvents([&] { return dlg.isVisible(); }));
    dlg.m_cbDevices.setFocus();
    ASSERT_EQ(dlg.focusWidget(), &dlg.m_cbDevices);
    QTest::keyClick(&dlg.m_cbDevices, Qt::Key_Return);
    EXPECT_TRUE(dlg.IsConnected());
    EXPECT_TRUE(dlg.isVisible());
    // The list is greyed out while connected; the focus waits on Disconnect.
    ASSERT_EQ(dlg.focusWidget(), &dlg.m_btnConnect);
    QTest::keyClick(dlg.focusWidget(), Qt::Key_Enter);
    EXPECT_FALSE(dlg.IsConnected());
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(Keyboard, ColourButtonsAreNamedForScreenReaders)
{
    MakeFrame();
    EXPECT_EQ(Manual().m_btnBlue.accessibleName(), QString("Blue"));
    EXPECT_EQ(Manual().m_btnGreen.accessibleName(), QString("Green"));
    EXPECT_EQ(Manual().m_btnRed.accessibleName(), QString("Red"));
    EXPECT_EQ(Manual().m_btnYellow.accessibleName(), QString("Yellow"));
    EXPECT_FALSE(View().accessibleName().isEmpty());
    const QString strDim = Described();
    Press(m_pFrame.get(), Qt::Key_Y);
    EXPECT_NE(Described(), strDim);
    Release(m_pFrame.get(), Qt::Key_Y);
    EXPECT_EQ(Described(), strDim);
}

TEST_F(Keyboard, TheManualDriverStartsOnBlueTabsThroughTheColoursAndSpaceHoldsOne)
{
    MakeFrame();
    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::ManualDriver));
    CQuadoDriverDialog& dlg = Manual();
    ASSERT_TRUE(WaitForEvents([&] { return dlg.isVisible(); }));
    EXPECT_EQ(dlg.focusWidget(), &dlg.m_btnBlue);
    std::vector<QWidget*> order = {dlg.focusWidget()};
    for (int i = 0; i < 3; ++i) {
        QWidget* pNext = order.back()->nextInFocusChain();
        while (pNext->focusPolicy() == Qt::NoFocus)
            pNext = pNext->nextInFocusChain();
        order.push_back(pNext);
    }
    EXPECT_EQ(order, (std::vector<QWidget*>{&dlg.m_btnBlue, &dlg.m_btnGreen, &dlg.m_btnRed, &dlg.m_btnYellow}));

    m_player.m_vecCalls.clear();
    dlg.m_btnRed.setFocus();
    Press(&dlg.m_btnRed, Qt::Key_Space);
    EXPECT_TRUE(dlg.m_btnRed.IsPressed());
    EXPECT_TRUE(dlg.isVisible()) << "Space must not close the window";
    EXPECT_EQ(View().m_nLitQuadrant, int(QuadrantRed));
    Release(&dlg.m_btnRed, Qt::Key_Space);
    ExpectDim();
    EXPECT_EQ(m_player.m_vecCalls, (Strings{"once 154", "stop"}));
}

TEST(ToolWindowPlacementTest, BesideTheBoardWhereThereIsRoomElseNowhere)
{
    const QRect rcWork(0, 0, 1920, 1080);
    const QSize szTool(326, 400);
    // Room on the right.
    const auto right = PlaceBesideBoard(QRect(100, 100, 1280, 768), rcWork, szTool);
    ASSERT_TRUE(right);
    EXPECT_GE(right->x(), 1380);
    EXPECT_TRUE(rcWork.contains(QRect(*right, szTool)));
    // Only on the left.
    const auto left = PlaceBesideBoard(QRect(560, 100, 1280, 768), rcWork, szTool);
    ASSERT_TRUE(left);
    EXPECT_LE(left->x() + szTool.width(), 560);
    // No room anywhere beside it: centred as before.
    EXPECT_FALSE(PlaceBesideBoard(QRect(320, 156, 1280, 768), QRect(0, 0, 1600, 1000), szTool));
    EXPECT_FALSE(QRect(*right, szTool).intersects(QRect(100, 100, 1280, 768)));
    EXPECT_FALSE(QRect(*left, szTool).intersects(QRect(560, 100, 1280, 768)));
}

TEST_F(Keyboard, EnteringFullScreenSaysHowToLeaveItButNotInKioskMode)
{
    MakeFrame();
    m_pFrame->ToggleFullScreen();
    ASSERT_TRUE(m_pFrame->IsFullScreen());
    ASSERT_NE(m_pFrame->FullScreenNotice(), nullptr);
    EXPECT_FALSE(m_pFrame->FullScreenNotice()->isHidden());
    EXPECT_EQ(m_pFrame->FullScreenNotice()->text(), QString("Press Esc to leave full screen"));
    EXPECT_TRUE(m_pFrame->FullScreenNotice()->IsHolding());
    // It fades and goes by itself.
    ASSERT_TRUE(WaitForEvents([&] { return m_pFrame->FullScreenNotice()->isHidden(); },
                        CFullScreenNotice::HoldMs + CFullScreenNotice::FadeMs + 3000));
    m_pFrame->ToggleFullScreen();

    m_pFrame.reset();
    MakeFrame();
    m_pFrame->SetKioskForTest(true);
    m_pFrame->ToggleFullScreen();
    ASSERT_TRUE(m_pFrame->IsFullScreen());
    EXPECT_TRUE(m_pFrame->FullScreenNotice() == nullptr || m_pFrame->FullScreenNotice()->isHidden());
}

} // namespace
