// Full-screen mode as a user meets it, on the offscreen platform with two
// monitors side by side (see screens.json): the board covers the monitor
// the window is on, a "Full Screen" tool window stands near its corner, and
// every way out restores the window as it was.
#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QToolBar>

#include "app/CommandIds.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "tests/display/DisplaySupport.h"
#include "tests/support/HangGuard.h"

namespace {

QScreen* ScreenNamed(const QString& strName)
{
    for (QScreen* pScreen : QGuiApplication::screens())
        if (pScreen->name() == strName)
            return pScreen;
    return nullptr;
}

class FullScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_frame.Create());
        m_pFullScreen = m_frame.FindCommand(CommandId::FullScreen);
        ASSERT_TRUE(m_pFullScreen);
    }

    void TearDown() override { FlushDeletes(); }

    // Shows the frame in its normal state with the given client rectangle.
    void ShowAt(const QRect& rc)
    {
        m_frame.setGeometry(rc);
        m_frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame, testsupport::HangGuardMs));
        ASSERT_TRUE(WaitForEvents([&] { return m_frame.geometry() == rc; })) << "the frame never got its place";
    }

    // Checks everything that makes full screen on pScreen, bar included.
    void ExpectFullScreenOn(QScreen* pScreen)
    {
        const QRect rcMonitor = pScreen->geometry();
        EXPECT_TRUE(m_frame.IsFullScreen());
        EXPECT_TRUE(m_pFullScreen->isChecked());
        EXPECT_EQ(m_frame.FullScreenRect(), rcMonitor);
        EXPECT_TRUE(WaitForEvents([&] { return GlobalRect(m_frame.View()) == rcMonitor; }))
            << "the view covers " << GlobalRect(m_frame.View()).x() << "," << GlobalRect(m_frame.View()).y()
            << " " << m_frame.View().width() << "x" << m_frame.View().height();
        EXPECT_FALSE(m_frame.menuBar()->isVisible());
        EXPECT_TRUE(m_frame.isFullScreen());

        ASSERT_TRUE(m_frame.FullScreenBar());
        const CFullScreenBar& bar = *m_frame.FullScreenBar();
        EXPECT_TRUE(bar.isWindow());
        EXPECT_TRUE(bar.isVisible());
        EXPECT_EQ(bar.windowType(), Qt::Tool);
        EXPECT_EQ(bar.parentWidget(), &m_frame) << "owned by the frame, so it stays above it";
        EXPECT_EQ(bar.windowTitle(), QString("Full Screen"));
        EXPECT_EQ(bar.frameGeometry().topLeft(), rcMonitor.topLeft() + QPoint(100, 100));
        ASSERT_EQ(bar.ToolBar()->actions().size(), 1);
        EXPECT_EQ(bar.Button()->data().toInt(), CommandId::FullScreenBar);
        const QImage image = LoadBitmapResource(AssetId::ToolBarFullScreen);
        EXPECT_EQ(bar.Button()->icon().pixmap(image.size()).toImage().convertToFormat(QImage::Format_RGB32),
                  image.convertToFormat(QImage::Format_RGB32));
        EXPECT_TRUE(bar.Button()->isEnabled());
        EXPECT_EQ(LiveFullScreenBars(), 1);
    }

    void ExpectWindowedAt(const QRect& rc)
    {
        EXPECT_FALSE(m_frame.IsFullScreen());
        EXPECT_FALSE(m_pFullScreen->isChecked());
        EXPECT_FALSE(m_frame.FullScreenBar());
        EXPECT_TRUE(WaitForEvents([&] { return m_frame.geometry() == rc; }))
            << "the frame is at " << m_frame.geometry().x() << "," << m_frame.geometry().y() << " "
            << m_frame.width() << "x" << m_frame.height();
        EXPECT_TRUE(m_frame.menuBar()->isVisible());
        EXPECT_EQ(m_frame.windowState() & ~Qt::WindowActive, Qt::WindowNoState);
        FlushDeletes();
        EXPECT_EQ(LiveFullScreenBars(), 0) << "the bar was hidden but not deleted";
    }

    CSilentPlayer m_player;
    CTestFrame m_frame{&m_player};
    QAction* m_pFullScreen = nullptr;
};

} // namespace

TEST_F(FullScreenTest, CoversTheWholeMonitorAndLeavingRestoresTheWindow)
{
    QScreen* pLeft = ScreenNamed("left");
    ASSERT_TRUE(pLeft);
    const QRect rcNormal(140, 90, 900, 600);
    ShowAt(rcNormal);
    const QRect rcViewBefore = GlobalRect(m_frame.View());

    m_pFullScreen->trigger();
    ExpectFullScreenOn(pLeft);
    EXPECT_EQ(m_frame.PlacementBeforeFullScreen().rcNormal, rcNormal);

    m_pFullScreen->trigger();
    ExpectWindowedAt(rcNormal);
    EXPECT_EQ(GlobalRect(m_frame.View()), rcViewBefore);

    // And again: nothing of the first round is left over.
    m_pFullScreen->trigger();
    ExpectFullScreenOn(pLeft);
    m_pFullScreen->trigger();
    ExpectWindowedAt(rcNormal);
}

TEST_F(FullScreenTest, OnTheSecondMonitorFillsThatMonitor)
{
    QScreen* pRight = ScreenNamed("right");
    ASSERT_TRUE(pRight) << "the test runs with two offscreen monitors";
    const QRect rcNormal = QRect(pRight->geometry().topLeft() + QPoint(200, 150), QSize(800, 500));
    ShowAt(rcNormal);
    ASSERT_EQ(m_frame.screen(), pRight);

    m_frame.OnCommand(CommandId::FullScreen);
    ExpectFullScreenOn(pRight);
    m_frame.OnCommand(CommandId::FullScreen);
    ExpectWindowedAt(rcNormal);
}

TEST_F(FullScreenTest, AMaximisedWindowIsMaximisedAgain)
{
    const QRect rcNormal(300, 200, 700, 500);
    ShowAt(rcNormal);
    m_frame.showMaximized();
    ASSERT_TRUE(WaitForEvents([&] { return m_frame.isMaximized() && m_frame.geometry() != rcNormal; }));
    const QRect rcMaximised = m_frame.geometry();

    m_pFullScreen->trigger();
    ExpectFullScreenOn(ScreenNamed("left"));
    EXPECT_FALSE(m_frame.isMaximized());

    m_pFullScreen->trigger();
    EXPECT_FALSE(m_frame.IsFullScreen());
    EXPECT_TRUE(m_frame.isMaximized());
    EXPECT_FALSE(m_frame.isFullScreen());
    EXPECT_TRUE(WaitForEvents([&] { return m_frame.geometry() == rcMaximised; }));
    EXPECT_TRUE(m_frame.menuBar()->isVisible());

    // Un-maximising afterwards still finds the old normal place.
    m_frame.showNormal();
    EXPECT_TRUE(WaitForEvents([&] { return m_frame.geometry() == rcNormal; }));
}

TEST_F(FullScreenTest, TheBarsButtonEscapeAndTheMenuEachLeave)
{
    const QRect rcNormal(120, 100, 1000, 700);
    ShowAt(rcNormal);
    m_frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_frame, testsupport::HangGuardMs));
    ASSERT_TRUE(WaitForEvents([&] { return QApplication::focusWidget() == &m_frame.View(); }));

    // Windowed, Escape changes nothing.
    QTest::keyClick(m_frame.windowHandle(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_frame.IsFullScreen());
    EXPECT_EQ(m_frame.geometry(), rcNormal);
    EXPECT_EQ(LiveFullScreenBars(), 0);

    // The button, clicked as a user would; the bar is deleted under a click
    // that it is still handling only once that click is over.
    m_pFullScreen->trigger();
    ASSERT_TRUE(m_frame.FullScreenBar());
    QPointer<CFullScreenBar> pBar = m_frame.FullScreenBar();
    QToolButton* pButton = BarButton(*pBar);
    ASSERT_TRUE(pButton);
    QTest::mouseClick(pButton, Qt::LeftButton);
    ExpectWindowedAt(rcNormal);
    EXPECT_TRUE(pBar.isNull());

    // Escape; other keys before it leave full screen alone. The keys go to
    // the frame's window and find the view there. (Whether the bar leaves
    // the frame active is the window system's matter: the Xvfb test.)
    m_pFullScreen->trigger();
    ASSERT_TRUE(m_frame.IsFullScreen());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_frame.focusWidget(), &m_frame.View());
    for (Qt::Key key : {Qt::Key_A, Qt::Key_Return, Qt::Key_Space, Qt::Key_Backspace, Qt::Key_F12})
        QTest::keyClick(m_frame.windowHandle(), key);
    QTest::keyClick(m_frame.windowHandle(), 'q');
    EXPECT_TRUE(m_frame.IsFullScreen());
    EXPECT_TRUE(m_frame.FullScreenBar());
    QTest::keyClick(m_frame.windowHandle(), Qt::Key_Escape);
    ExpectWindowedAt(rcNormal);

    // The menu command, and the bar's command id sent as a command.
    m_frame.OnCommand(CommandId::FullScreenBar);
    ASSERT_TRUE(m_frame.IsFullScreen());
    m_pFullScreen->trigger();
    ExpectWindowedAt(rcNormal);
}

TEST_F(FullScreenTest, AFailedBarChangesNothingAndTheNextCommandTriesAgain)
{
    const QRect rcNormal(160, 120, 900, 640);
    ShowAt(rcNormal);
    m_frame.m_nBarFailures = 2;

    for (int i = 1; i <= 2; ++i) {
        m_pFullScreen->trigger();
        EXPECT_EQ(m_frame.m_nBarAttempts, i);
        EXPECT_FALSE(m_frame.IsFullScreen());
        EXPECT_FALSE(m_pFullScreen->isChecked());
        EXPECT_FALSE(m_frame.FullScreenBar());
        EXPECT_FALSE(m_frame.isFullScreen());
        EXPECT_TRUE(m_frame.menuBar()->isVisible());
        QCoreApplication::processEvents();
        EXPECT_EQ(m_frame.geometry(), rcNormal);
        EXPECT_EQ(LiveFullScreenBars(), 0);
    }

    m_pFullScreen->trigger();
    EXPECT_EQ(m_frame.m_nBarAttempts, 3);
    ExpectFullScreenOn(ScreenNamed("left"));
    m_pFullScreen->trigger();
    ExpectWindowedAt(rcNormal);
}

TEST_F(FullScreenTest, ClosingTheFrameInFullScreenTakesTheBarAlong)
{
    QPointer<CFullScreenBar> pBar;
    {
        CSilentPlayer player;
        CMainFrame frame(&player);
        ASSERT_TRUE(frame.Create());
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame, testsupport::HangGuardMs));
        frame.ToggleFullScreen();
        pBar = frame.FullScreenBar();
        ASSERT_TRUE(pBar);
    }
    EXPECT_TRUE(pBar.isNull());
}
