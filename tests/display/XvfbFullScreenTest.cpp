// One full-screen round trip on a real X server without a window manager
// (the test runs itself under xvfb-run, screen 1600 x 1000): nothing but
// Quado acts on the window, and the screen's own pixels are checked.
#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QToolBar>

#include "app/CommandIds.h"
#include "app/FullScreenNotice.h"
#include "board/PaintGeometry.h"
#include "tests/display/DisplaySupport.h"
#include "tests/support/BoardPictures.h"
#include "tests/support/HangGuard.h"

using testsupport::ScreenShot;

namespace {

// The screen shows the canvas 1:1 at rcCanvas, black around it, except
// inside rcSkip (the bar, which lies over the board).
bool ScreenShowsCanvas(const QImage& canvas, const QRect& rcCanvas, const QRect& rcSkip)
{
    const QImage shot = ScreenShot();
    for (int y = 0; y < shot.height(); y += 3) {
        for (int x = 0; x < shot.width(); x += 3) {
            if (rcSkip.contains(x, y))
                continue;
            const QRgb expected = rcCanvas.contains(x, y) ? canvas.pixel(x - rcCanvas.left(), y - rcCanvas.top())
                                                          : qRgb(0, 0, 0);
            if (shot.pixel(x, y) != expected)
                return false;
        }
    }
    return true;
}

} // namespace

TEST(XvfbFullScreen, TheBoardCoversTheScreenAndTheWindowComesBack)
{
    ASSERT_EQ(QGuiApplication::platformName(), QString("xcb"));
    QScreen* pScreen = QGuiApplication::primaryScreen();
    ASSERT_EQ(pScreen->geometry(), QRect(0, 0, 1600, 1000));

    CSilentPlayer player;
    CMainFrame frame(&player);
    ASSERT_TRUE(frame.Create());
    // The adapter window takes the focus once at start; not in this test.
    frame.SetFocusToDravikDriverForTest(false);
    const QRect rcNormal(120, 90, 1000, 700);
    frame.setGeometry(rcNormal);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame, testsupport::HangGuardMs));
    ASSERT_TRUE(WaitForEvents([&] { return frame.geometry() == rcNormal; }));
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame, testsupport::HangGuardMs));
    const QRect rcViewBefore = GlobalRect(frame.View());
    const QImage canvas = frame.View().Canvas().convertToFormat(QImage::Format_RGB32);

    frame.FindCommand(CommandId::FullScreen)->trigger();
    ASSERT_TRUE(frame.IsFullScreen());
    EXPECT_TRUE(WaitForEvents([&] { return GlobalRect(frame.View()) == pScreen->geometry(); }))
        << "the view covers " << GlobalRect(frame.View()).x() << "," << GlobalRect(frame.View()).y() << " "
        << frame.View().width() << "x" << frame.View().height();
    EXPECT_FALSE(frame.menuBar()->isVisible());
    ASSERT_TRUE(frame.FullScreenBar());
    CFullScreenBar& bar = *frame.FullScreenBar();
    EXPECT_TRUE(WaitForEvents([&] { return bar.isVisible() && bar.frameGeometry().topLeft() == QPoint(100, 100); }));

    // The hint how to leave lies over the board for a while; the keyboard
    // tests look at it, here it would only hide part of the board.
    ASSERT_TRUE(frame.FullScreenNotice());
    frame.FullScreenNotice()->Dismiss();

    // What the X server shows: the board 1:1 in the middle, black margins,
    // and the bar on top of it at its place.
    const PaintRect rc = ComputePaintRect(1600, 1000, false);
    const QRect rcCanvas(rc.nLeft, rc.nTop, 1280, 768);
    EXPECT_TRUE(WaitForEvents([&] { return ScreenShowsCanvas(canvas, rcCanvas, bar.frameGeometry()); }))
        << "the screen does not show the board";
    const QImage barShot = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(WaitForEvents([&] { return ScreenShot().copy(bar.geometry()) == barShot; }))
        << "the bar is not on top of the board";

    // The bar came up without taking the keys: Escape from the X server
    // reaches the board view.
    EXPECT_EQ(QApplication::activeWindow(), &frame);
    EXPECT_EQ(QApplication::focusWidget(), &frame.View());

    frame.FindCommand(CommandId::FullScreen)->trigger();
    EXPECT_FALSE(frame.IsFullScreen());
    EXPECT_TRUE(WaitForEvents([&] { return frame.geometry() == rcNormal; }));
    EXPECT_TRUE(WaitForEvents([&] { return GlobalRect(frame.View()) == rcViewBefore; }));
    EXPECT_TRUE(frame.menuBar()->isVisible());
    FlushDeletes();
    EXPECT_EQ(LiveFullScreenBars(), 0);
}
