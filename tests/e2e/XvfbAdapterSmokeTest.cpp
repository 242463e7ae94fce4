// The adapter window on a real X server (the test runs itself under
// xvfb-run, screen 1600 x 1000): Quado starts as a user starts it, with a
// simulated adapter plugged in; a click on Connect connects it, the board's
// lines show in the log and light the board, and what the X server shows of
// both windows is what they painted. QUADO_SCREENSHOT=<file.png> keeps a
// picture of the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <cstdlib>

#include "app/MainFrame.h"
#include "app/QuadoApp.h"
#include "device/SimulatedHidBackend.h"
#include "drivers/QuadoDravikDriver.h"
#include "drivers/ReceiveThread.h"
#include "platform/MessageBox.h"
#include "tests/support/BoardPictures.h"
#include "tests/support/MessageBoxCapture.h"
#include "tests/support/HangGuard.h"

using testsupport::ScreenShot;

namespace {

// What the X server shows at the widget's place is what the widget paints.
bool ScreenShows(QWidget& widget)
{
    const QImage painted = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect rc(widget.mapToGlobal(QPoint(0, 0)), widget.size());
    return ScreenShot().copy(rc) == painted;
}

} // namespace

TEST(XvfbAdapterSmoke, ConnectAndPlayOnARealXServer)
{
    ASSERT_EQ(QGuiApplication::platformName(), QString("xcb"));
    CSimulatedHidBackend backend;
    SetHidBackend(&backend);
    std::shared_ptr<CSimulatedAdapter> pAdapter = backend.AddAdapter("/dev/hidraw0", "QSIM0001");
    CMessageBoxCapture boxes;

    {
        CQuadoApp app;
        ASSERT_TRUE(app.InitInstance());
        CMainFrame& frame = *app.MainFrame();
        CQuadoDravikDriver& dlg = frame.DravikDriver();
        // Small, so that the adapter window, which comes beside the board,
        // covers none of it: without a window manager nothing raises an
        // activated window over another.
        frame.setGeometry(10, 30, 620, 420);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame, testsupport::HangGuardMs));
        // The adapter window comes once the board has first been painted.
        ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.isVisible(); }, testsupport::HangGuardMs));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg, testsupport::HangGuardMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dlg; }, testsupport::HangGuardMs));
        EXPECT_EQ(dlg.m_cbDevices.currentText(), QString("QSIM0001"));

        QTest::mouseClick(&dlg.m_btnConnect, Qt::LeftButton);
        ASSERT_TRUE(dlg.IsConnected());
        const char* const lines[] = {"Press\r\n", "MAX_LEVEL=4\r\n", "New\r\n", "Level 2 -\r\n", "R\r\n"};
        for (const char* pszLine : lines) {
            const uint64_t nBefore = dlg.ReceiveThread()->GetProcessedChunks();
            pAdapter->FeedUart(pszLine);
            ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.ReceiveThread()->GetProcessedChunks() > nBefore; }, testsupport::HangGuardMs));
        }
        EXPECT_EQ(dlg.m_reLog.Text(), QString("Press\nMAX_LEVEL=4\nNew\nLevel 2 -\nR\n"));
        EXPECT_EQ(frame.View().m_nLitQuadrant, int(QuadrantRed));
        EXPECT_EQ(dlg.m_stStatus.text(),
                  QString("CONNECTED  -  115200  -  No Parity  -  No Flow Control  -  8 Data Bits  -  1 Stop Bit"));

        EXPECT_TRUE(QTest::qWaitFor([&] { return ScreenShows(dlg); }, testsupport::HangGuardMs)) << "the adapter window on screen";
        EXPECT_TRUE(QTest::qWaitFor([&] { return ScreenShows(frame.View()); }, testsupport::HangGuardMs)) << "the board on screen";
        if (const char* pszShot = std::getenv("QUADO_SCREENSHOT")) {
            // The whole board beside the adapter window, for a person to look at.
            frame.setGeometry(0, 20, 1290, 800);
            dlg.move(frame.frameGeometry().right() + 8, 120);
            QTest::qWait(300);
            ScreenShot().save(QString::fromLocal8Bit(pszShot));
        }
        EXPECT_TRUE(boxes.m_vecBoxes.empty());

        frame.close();
    }
    EXPECT_FALSE(backend.IsHeld("/dev/hidraw0"));
    EXPECT_FALSE(pAdapter->IsUartEnabled());
    SetHidBackend(nullptr);
}
