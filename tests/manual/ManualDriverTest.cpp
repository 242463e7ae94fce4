// The manual driver as a user meets it, against the real frame and board
// view: holding a colour button lights its quadrant, names it in the panel
// and plays its tone; letting go (anywhere) clears all three; the window
// comes and goes through Show > Manual Driver, Exit, the close box and Esc.
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <string>
#include <vector>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "assets/SoundTable.h"
#include "platform/MessageBox.h"
#include "tests/support/BoardPictures.h"
#include "tests/support/MessageBoxCapture.h"
#include "tests/support/RecordingSoundPlayer.h"
#include "tests/support/HangGuard.h"

using testsupport::ExpectedCanvas;

namespace {

using Calls = std::vector<std::string>;

// A frame with its manual driver shown through the menu, as a user opens it.
struct ShownDriver {
    CRecordingPlayer player;
    CMainFrame frame{&player};
    CQuadoDriverDialog& dlg = frame.ManualDriver();
    QAction* pCommand = nullptr;

    ShownDriver()
    {
        frame.Create();
        pCommand = frame.FindCommand(CommandId::ManualDriver);
        pCommand->trigger();
    }
};

bool Shows(const CQuadoDriverDialogButton& button, const QPixmap& icon)
{
    return button.pixmap().toImage() == icon.toImage();
}

QPoint Centre(const QWidget& widget)
{
    return widget.rect().center();
}

// The mouse as the window system delivers it: to the top-level window, so
// Qt itself picks the receiver (and keeps a pressed widget's grab).
void LeftMouse(QTest::MouseAction action, QWidget& widget, QPoint pt)
{
    QWindow* pWindow = widget.window()->windowHandle();
    QVERIFY(pWindow);
    QTest::mouseEvent(action, pWindow, Qt::LeftButton, {}, widget.mapTo(widget.window(), pt));
}

void Press(QWidget& widget)
{
    LeftMouse(QTest::MousePress, widget, Centre(widget));
}

void Release(QWidget& widget, QPoint pt)
{
    LeftMouse(QTest::MouseRelease, widget, pt);
}

void Release(QWidget& widget)
{
    Release(widget, Centre(widget));
}

} // namespace

class ManualDriverTest : public QObject {
    Q_OBJECT

private slots:
    void windowIsBuiltHiddenWithItsButtonsLaidOutLikeTheBoard()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        CQuadoDriverDialog& dlg = frame.ManualDriver();
        QVERIFY(!dlg.isVisible() && dlg.isWindow() && !dlg.parentWidget());
        QCOMPARE(dlg.windowTitle(), QString("QUADO Manual Driver"));
        QCOMPARE(dlg.m_pMainFrame, &frame);
        QCOMPARE(dlg.m_ppView, &frame.Board());
        QCOMPARE(dlg.m_pbMute, frame.MuteFlag());

        const struct {
            CQuadoDriverDialogButton* pButton;
            int nNormal, nPressed, nQuadrant, nSound;
            std::wstring strName;
        } expected[] = {
            {&dlg.m_btnBlue, AssetId::IconBlueDim, AssetId::IconBlueLit, 3, 3, L"Blue!"},
            {&dlg.m_btnGreen, AssetId::IconGreenDim, AssetId::IconGreenLit, 1, 1, L"Green!"},
            {&dlg.m_btnYellow, AssetId::IconYellowDim, AssetId::IconYellowLit, 4, 4, L"Yellow!"},
            {&dlg.m_btnRed, AssetId::IconRedDim, AssetId::IconRedLit, 2, 2, L"Red!"},
        };
        for (const auto& e : expected) {
            const CQuadoDriverDialogButton& button = *e.pButton;
            QVERIFY(button.parentWidget() == &dlg && !button.isWindow());
            QVERIFY(!button.m_hIconNormal.isNull());
            QVERIFY(button.m_hIconNormal.toImage() == LoadIconPixmap(e.nNormal).toImage());
            QVERIFY(button.m_hIconPressed.toImage() == LoadIconPixmap(e.nPressed).toImage());
            QVERIFY(Shows(button, button.m_hIconNormal));
            QCOMPARE(button.m_nQuadrant, e.nQuadrant);
            QCOMPARE(button.m_nSound, e.nSound);
            QVERIFY(button.m_strName == e.strName);
            QCOMPARE(button.m_ppView, &frame.Board());
            QCOMPARE(button.m_pbMute, frame.MuteFlag());
            QCOMPARE(button.m_pSoundPlayer, static_cast<ISoundPlayer*>(&player));
            QVERIFY(dlg.rect().contains(button.geometry()));
        }
        // Blue | green over red | yellow, Exit below them all.
        const QRect rcBlue = dlg.m_btnBlue.geometry(), rcGreen = dlg.m_btnGreen.geometry();
        const QRect rcRed = dlg.m_btnRed.geometry(), rcYellow = dlg.m_btnYellow.geometry();
        QCOMPARE(rcBlue.top(), rcGreen.top());
        QCOMPARE(rcRed.top(), rcYellow.top());
        QCOMPARE(rcBlue.left(), rcRed.left());
        QCOMPARE(rcGreen.left(), rcYellow.left());
        QVERIFY(rcGreen.left() > rcBlue.left() + rcBlue.width() / 2);
        QVERIFY(rcRed.top() > rcBlue.top() + rcBlue.height() / 2);
        QCOMPARE(dlg.m_btnExit.text(), QString("Exit"));
        QVERIFY(dlg.m_btnExit.geometry().top() > rcRed.bottom());
        QVERIFY(dlg.rect().contains(dlg.m_btnExit.geometry()));
        QVERIFY(player.m_vecCalls.empty());
    }

    void holdingEachButtonDrivesTheBoardAndLettingGoClearsIt()
    {
        ShownDriver d;
        const QImage imgIdle = ExpectedCanvas(0, L"");
        QVERIFY(d.frame.View().Canvas() == imgIdle);
        for (CQuadoDriverDialogButton* pButton : d.dlg.Buttons()) {
            d.player.m_vecCalls.clear();
            Press(*pButton);
            QVERIFY(pButton->IsPressed());
            QVERIFY(Shows(*pButton, pButton->m_hIconPressed));
            QCOMPARE(d.frame.View().m_nLitQuadrant, pButton->m_nQuadrant);
            QVERIFY(d.frame.View().Canvas() == ExpectedCanvas(pButton->m_nQuadrant, pButton->m_strName));
            const int nWave = SoundTable[pButton->m_nSound];
            QCOMPARE(d.player.m_vecCalls, Calls({"once " + std::to_string(nWave)}));

            Release(*pButton);
            QVERIFY(!pButton->IsPressed());
            QVERIFY(Shows(*pButton, pButton->m_hIconNormal));
            QCOMPARE(d.frame.View().m_nLitQuadrant, 0);
            QVERIFY(d.frame.View().Canvas() == imgIdle);
            QCOMPARE(d.player.m_vecCalls, Calls({"once " + std::to_string(nWave), "stop"}));
        }
        // The tones are the colours' own.
        QCOMPARE(SoundTable[d.dlg.m_btnBlue.m_nSound], AssetId::WaveBlue);
        QCOMPARE(SoundTable[d.dlg.m_btnYellow.m_nSound], AssetId::WaveYellow);

        // A right click is not a press.
        d.player.m_vecCalls.clear();
        const QPoint ptRed = d.dlg.m_btnRed.geometry().center();
        QTest::mouseClick(d.dlg.windowHandle(), Qt::RightButton, {}, ptRed);
        QVERIFY(d.player.m_vecCalls.empty());
        QCOMPARE(d.frame.View().m_nLitQuadrant, 0);
    }

    void mutedPressIsSilentButReleaseStillStops()
    {
        ShownDriver d;
        d.frame.FindCommand(CommandId::Mute)->trigger();
        QVERIFY(d.frame.IsMuted());
        d.player.m_vecCalls.clear();
        CQuadoDriverDialogButton& green = d.dlg.m_btnGreen;
        Press(green);
        QVERIFY(Shows(green, green.m_hIconPressed));
        QCOMPARE(d.frame.View().m_nLitQuadrant, int(QuadrantGreen));
        QVERIFY(d.frame.View().Canvas() == ExpectedCanvas(QuadrantGreen, L"Green!"));
        QVERIFY(d.player.m_vecCalls.empty());
        Release(green);
        QCOMPARE(d.player.m_vecCalls, Calls({"stop"}));
    }

    void releaseAnywhereEndsThePress()
    {
        ShownDriver d;
        CQuadoDriverDialogButton& blue = d.dlg.m_btnBlue;
        CQuadoDriverDialogButton& green = d.dlg.m_btnGreen;
        const QImage imgIdle = ExpectedCanvas(0, L"");
        // Let go over the dialog's empty corner, over another colour button,
        // outside the window, and over the main window.
        const std::vector<std::pair<QWidget*, QPoint>> releases = {
            {&d.dlg, QPoint(2, 2)},
            {&green, Centre(green)},
            {&d.dlg, QPoint(d.dlg.width() + 40, -30)},
            {&d.frame.View(), Centre(d.frame.View())},
        };
        d.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d.frame, testsupport::HangGuardMs));
        for (const auto& [pWidget, pt] : releases) {
            d.player.m_vecCalls.clear();
            Press(blue);
            QCOMPARE(d.frame.View().m_nLitQuadrant, int(QuadrantBlue));
            Release(*pWidget, pt);
            QVERIFY2(!blue.IsPressed(), qPrintable(pWidget->metaObject()->className()));
            QVERIFY(Shows(blue, blue.m_hIconNormal));
            QVERIFY(!green.IsPressed() && Shows(green, green.m_hIconNormal));
            QCOMPARE(d.frame.View().m_nLitQuadrant, 0);
            QVERIFY(d.frame.View().Canvas() == imgIdle);
            QCOMPARE(d.player.m_vecCalls, Calls({"once 151", "stop"}));
        }

        // The next press on another button is that button's alone.
        d.player.m_vecCalls.clear();
        Press(green);
        QVERIFY(!blue.IsPressed() && Shows(blue, blue.m_hIconNormal));
        QCOMPARE(d.frame.View().m_nLitQuadrant, int(QuadrantGreen));
        QVERIFY(d.frame.View().Canvas() == ExpectedCanvas(QuadrantGreen, L"Green!"));
        QCOMPARE(d.player.m_vecCalls, Calls({"once 153"}));
        Release(green);
    }

    void hidingOrLeavingTheWindowEndsAPressUnderWay()
    {
        ShownDriver d;
        CQuadoDriverDialogButton& red = d.dlg.m_btnRed;
        // The adapter window takes the focus once at start; not in this test.
        d.frame.SetFocusToDravikDriverForTest(false);
        d.frame.show();
        d.dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d.dlg, testsupport::HangGuardMs));

        Press(red);
        QCOMPARE(d.frame.View().m_nLitQuadrant, int(QuadrantRed));
        d.frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d.frame, testsupport::HangGuardMs));
        QVERIFY(!red.IsPressed() && Shows(red, red.m_hIconNormal));
        QCOMPARE(d.frame.View().m_nLitQuadrant, 0);
        QCOMPARE(d.player.m_vecCalls, Calls({"once 154", "stop"}));
        // Its release, should it still come, changes nothing more.
        Release(red);
        QCOMPARE(d.player.m_vecCalls.size(), size_t(2));

        d.player.m_vecCalls.clear();
        Press(red);
        d.pCommand->trigger();
        QVERIFY(!d.dlg.isVisible() && !red.IsPressed());
        QCOMPARE(d.frame.View().m_nLitQuadrant, 0);
        QCOMPARE(d.player.m_vecCalls, Calls({"once 154", "stop"}));
    }

    void exitCloseBoxAndEscapeHideTheSameWindowWhereItWas()
    {
        ShownDriver d;
        QVERIFY(QTest::qWaitForWindowExposed(&d.dlg, testsupport::HangGuardMs));
        // Centred on the primary screen at first.
        const QRect rcWork = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY((d.dlg.geometry().center() - rcWork.center()).manhattanLength() <= 4);

        const QPoint ptMoved(123, 145);
        d.dlg.move(ptMoved);
        enum { ByExit, ByCloseBox, ByEscape };
        for (int nWay : {ByExit, ByCloseBox, ByEscape}) {
            QVERIFY(d.dlg.isVisible() && d.frame.IsManualDriverShown() && d.pCommand->isChecked());
            if (nWay == ByExit)
                QTest::mouseClick(&d.dlg.m_btnExit, Qt::LeftButton);
            else if (nWay == ByCloseBox)
                QVERIFY(d.dlg.close());
            else
                QTest::keyClick(&d.dlg, Qt::Key_Escape);
            QVERIFY2(!d.dlg.isVisible(), qPrintable(QString::number(nWay)));
            QVERIFY(!d.frame.IsManualDriverShown());
            QVERIFY(!d.pCommand->isChecked());

            d.pCommand->trigger();
            QVERIFY(d.dlg.isVisible());
            QCOMPARE(d.dlg.pos(), ptMoved);
        }
        QVERIFY(d.player.m_vecCalls.empty());
    }

    void showingIsRefusedWhileTheAdapterIsConnected()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        frame.SetDravikConnectedForTest(true);
        CMessageBoxCapture capture;
        frame.FindCommand(CommandId::ManualDriver)->trigger();
        QCOMPARE(capture.m_vecBoxes.size(), size_t(1));
        QCOMPARE(capture.m_vecBoxes[0].strText,
                 QString("Please disconnect the Dravik Driver device before using the manual driver"));
        QCOMPARE(capture.m_vecBoxes[0].strCaption, QString("Manual Driver Disabled"));
        QCOMPARE(capture.m_vecBoxes[0].icon, MessageIcon::Exclamation);
        QCOMPARE(capture.m_vecBoxes[0].pOwner, &frame);
        QVERIFY(!frame.ManualDriver().isVisible());
        QVERIFY(!frame.IsManualDriverShown());
        QVERIFY(!frame.FindCommand(CommandId::ManualDriver)->isChecked());
    }

    void aWindowWithoutLinksOnlyChangesItsIcons()
    {
        CQuadoDriverDialog dlg;
        dlg.show();
        Press(dlg.m_btnYellow);
        QVERIFY(Shows(dlg.m_btnYellow, dlg.m_btnYellow.m_hIconPressed));
        Release(dlg.m_btnYellow);
        QVERIFY(Shows(dlg.m_btnYellow, dlg.m_btnYellow.m_hIconNormal));
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
    }

    void closingTheFrameWhileAButtonIsHeldIsSafe()
    {
        CRecordingPlayer player;
        {
            CMainFrame frame(&player);
            QVERIFY(frame.Create());
            frame.show();
            frame.FindCommand(CommandId::ManualDriver)->trigger();
            Press(frame.ManualDriver().m_btnBlue);
            QCOMPARE(frame.View().m_nLitQuadrant, int(QuadrantBlue));
        }
        QCOMPARE(player.m_vecCalls.front(), std::string("once 151"));
    }
};

QTEST_MAIN(ManualDriverTest)
#include "ManualDriverTest.moc"
