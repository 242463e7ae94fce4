// The application shell as a user meets it: title, menu, check marks, the
// Show and Mute commands, the about box, Exit, and a run that leaves no file
// behind. Runs offscreen with HOME and the XDG dirs in a scratch directory.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/AboutDlg.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/QuadoApp.h"
#include "device/SimulatedHidBackend.h"
#include "drivers/QuadoDravikDriver.h"
#include "platform/MessageBox.h"
#include "tests/support/HangGuard.h"
#include "tests/support/MessageBoxCapture.h"
#include "tests/support/RecordingSoundPlayer.h"

namespace {

// Everything the program could write to: HOME, the XDG runtime dir and the
// working directory, all inside one scratch root.
struct ScratchHome {
    QTemporaryDir root;
    QString strHome;
    QString strRuntime;
    QString strWork;

    ScratchHome()
    {
        QDir dir(root.path());
        dir.mkdir("home");
        dir.mkdir("runtime");
        dir.mkdir("work");
        strHome = dir.filePath("home");
        strRuntime = dir.filePath("runtime");
        strWork = dir.filePath("work");
        QFile::setPermissions(strRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setenv("HOME", qPrintable(strHome), 1);
        setenv("XDG_RUNTIME_DIR", qPrintable(strRuntime), 1);
        for (const char* pszName : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            unsetenv(pszName);
        QDir::setCurrent(strWork);
    }

    QStringList WrittenFiles() const
    {
        QStringList list;
        for (const QString& strDir : {strHome, strRuntime, strWork}) {
            QDirIterator it(strDir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                list << it.next();
        }
        return list;
    }
};

ScratchHome* g_pScratch = nullptr;

QMenu* PopupOf(CMainFrame& frame, const QString& strTitle)
{
    for (QAction* pPopup : frame.menuBar()->actions()) {
        if (pPopup->text() == strTitle)
            return pPopup->menu();
    }
    return nullptr;
}

QStringList ItemsOf(QMenu* pMenu)
{
    QStringList list;
    for (QAction* pAction : pMenu->actions())
        list << QString("%1=%2").arg(pAction->text()).arg(pAction->data().toInt());
    return list;
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void titleMenuAndStartState()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());

        QCOMPARE(frame.windowTitle(), QString("Quado"));
        QVERIFY(!frame.windowIcon().isNull());
        QCOMPARE(frame.centralWidget(), &frame.View());
        QCOMPARE(frame.View().m_pMainFrame, &frame);
        QCOMPARE(frame.Board(), static_cast<IQuadoBoard*>(&frame.View()));

        QStringList popups;
        QList<QStringList> items;
        for (QAction* pPopup : frame.menuBar()->actions()) {
            popups << pPopup->text();
            QVERIFY(pPopup->menu());
            items << ItemsOf(pPopup->menu());
        }
        QCOMPARE(popups, QStringList({"&File", "&Options", "&View", "&Show", "&Help"}));
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[0], QStringList({"&Export Records...=32782", "E&xit=57665"}));
        QCOMPARE(items[1], QStringList({"&Mute=32774", "&Speak Texts=32783", "&Fit to Screen=32777", "&Shapes on the Board=32795",
                                        "Connect &Automatically=32778",
                                        "&Keep Records=32779", "Show Records When &Idle=32780", "=0", "&Language=0"}));
        // Each language by its own name; English, the language of a test, checked.
        QMenu* pLanguages = frame.menuBar()->actions().at(1)->menu()->actions().last()->menu();
        QVERIFY(pLanguages);
        QCOMPARE(ItemsOf(pLanguages), QStringList({"&English=32800", "&Deutsch=32801"}));
        QVERIFY(pLanguages->actions().at(0)->isChecked() && !pLanguages->actions().at(1)->isChecked());
        QCOMPARE(items[2], QStringList({"&Full Screen=32771", "&Scale Down=32776"}));
        QCOMPARE(items[3], QStringList({"&Dravik Driver=32775", "&Manual Driver=32773", "&Records=32781"}));
        QCOMPARE(items[4], QStringList({"&About Quado...=57664"}));

        // Only Dravik Driver is checked at start; everything is enabled,
        // also after a popup's update handlers ran.
        QVERIFY(!frame.IsMuted() && !frame.IsFullScreen() && !frame.IsManualDriverShown());
        QVERIFY(!frame.IsDravikConnected() && frame.IsDravikDriverShown());
        for (QAction* pPopup : frame.menuBar()->actions())
            emit pPopup->menu()->aboutToShow();
        for (int nId : {CommandId::AppExit, CommandId::Mute, CommandId::FullScreen, CommandId::ScaleDown,
                        CommandId::DravikDriver, CommandId::ManualDriver, CommandId::AppAbout}) {
            QAction* pAction = frame.FindCommand(nId);
            QVERIFY2(pAction, qPrintable(QString::number(nId)));
            QVERIFY(pAction->isEnabled());
            QCOMPARE(pAction->isChecked(), nId == CommandId::DravikDriver);
        }
        QVERIFY(player.m_vecCalls.empty());
    }

    void showCommandsFollowTheirFlags()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        QAction* pDravik = frame.FindCommand(CommandId::DravikDriver);
        QAction* pManual = frame.FindCommand(CommandId::ManualDriver);

        pDravik->trigger();
        QVERIFY(!frame.IsDravikDriverShown());
        QVERIFY(!pDravik->isChecked());
        pDravik->trigger();
        QVERIFY(frame.IsDravikDriverShown());
        QVERIFY(pDravik->isChecked());

        pManual->trigger();
        QVERIFY(frame.IsManualDriverShown());
        QVERIFY(pManual->isChecked());
        pManual->trigger();
        QVERIFY(!frame.IsManualDriverShown());
        QVERIFY(!pManual->isChecked());

        // Another window changes a flag; the menu shows it when it opens.
        frame.SetManualDriverShownForTest(true);
        emit PopupOf(frame, "&Show")->aboutToShow();
        QVERIFY(pManual->isChecked());
    }

    void manualDriverIsRefusedWhileTheAdapterIsConnected()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        QAction* pManual = frame.FindCommand(CommandId::ManualDriver);
        frame.SetDravikConnectedForTest(true);

        CMessageBoxCapture capture;
        pManual->trigger();
        QCOMPARE(capture.m_vecBoxes.size(), size_t(1));
        const CMessageBoxCapture::Box& box = capture.m_vecBoxes.front();
        QCOMPARE(box.strText,
                 QString("Please disconnect the Dravik Driver device before using the manual driver"));
        QCOMPARE(box.strCaption, QString("Manual Driver Disabled"));
        QCOMPARE(box.icon, MessageIcon::Exclamation);
        QCOMPARE(box.pOwner, &frame);
        QVERIFY(!frame.IsManualDriverShown());
        QVERIFY(!pManual->isChecked());
        QVERIFY(frame.IsDravikDriverShown() && frame.IsDravikConnected());

        // Disconnected, the same command shows it without a word.
        frame.SetDravikConnectedForTest(false);
        pManual->trigger();
        QCOMPARE(capture.m_vecBoxes.size(), size_t(1));
        QVERIFY(frame.IsManualDriverShown());
        QVERIFY(pManual->isChecked());
    }

    void muteStopsTheSoundAndUnmuteStartsNothing()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        QAction* pMute = frame.FindCommand(CommandId::Mute);

        pMute->trigger();
        QVERIFY(frame.IsMuted());
        QVERIFY(pMute->isChecked());
        QCOMPARE(player.m_vecCalls, std::vector<std::string>({"stop"}));

        pMute->trigger();
        QVERIFY(!frame.IsMuted());
        QVERIFY(!pMute->isChecked());
        QCOMPARE(player.m_vecCalls, std::vector<std::string>({"stop"}));
    }

    void scaleDownFlipsTheViewsMode()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        QAction* pScale = frame.FindCommand(CommandId::ScaleDown);
        pScale->trigger();
        QVERIFY(frame.View().m_bScaleDown);
        QVERIFY(pScale->isChecked());
        pScale->trigger();
        QVERIFY(!frame.View().m_bScaleDown);
        QVERIFY(!pScale->isChecked());
    }

    void boardViewTakesTheFocusWhenTheWindowIsActivated()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame, testsupport::HangGuardMs));
        // No adapter window to hand the first focus to: the view has it.
        QVERIFY(!frame.IsFocusToDravikDriver());
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget*>(&frame.View()), testsupport::HangGuardMs);
    }

    // The program's own start leaves the adapter list and the adapter window
    // until the board has been painted; then both are as they would have
    // been, and a frame never painted gets them a little later all the same.
    void adapterListAndWindowFollowTheFirstPaint()
    {
        CSimulatedHidBackend backend;
        SetHidBackend(&backend);
        backend.AddAdapter("/dev/hidraw0", "QSIM0001");
        CRecordingPlayer player;
        {
            CMainFrame frame(&player, CMainFrame::StartupWork::AfterFirstPaint);
            QVERIFY(frame.Create());
            CQuadoDravikDriver& dlg = frame.DravikDriver();
            QVERIFY(!dlg.IsDeviceWatchStarted());
            QVERIFY(!dlg.isVisible());
            frame.show();
            QTRY_VERIFY_WITH_TIMEOUT(dlg.isVisible(), testsupport::HangGuardMs);
            QVERIFY(dlg.IsDeviceWatchStarted());
            QCOMPARE(frame.AdapterLink().ListedSerials(), std::vector<QString>{QString("QSIM0001")});
            QVERIFY(frame.FindCommand(CommandId::DravikDriver)->isChecked());
        }
        {
            CMainFrame frame(&player, CMainFrame::StartupWork::AfterFirstPaint);
            QVERIFY(frame.Create());
            QTRY_VERIFY_WITH_TIMEOUT(frame.DravikDriver().IsDeviceWatchStarted(), testsupport::HangGuardMs);
            QCOMPARE(frame.DravikDriver().ListedSerials(), std::vector<QString>{QString("QSIM0001")});
        }
        SetHidBackend(nullptr);
    }

    void aboutBoxIsModalOverTheFrameAndEndsWithOkOrEscape()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, testsupport::HangGuardMs));

        for (bool bByEscape : {false, true}) {
            bool bSeen = false;
            QTimer::singleShot(0, &frame, [&] {
                auto* pDlg = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
                if (!pDlg)
                    return;
                bSeen = true;
                // Should a check below fail and return early, the box still ends.
                QTimer::singleShot(testsupport::HangGuardMs, pDlg, &QDialog::reject);
                QCOMPARE(pDlg->parentWidget(), &frame);
                QCOMPARE(pDlg->windowTitle(), QString("About Quado"));
                QCOMPARE(pDlg->m_pVersion->text(), QString("Quado Version 1.0"));
                QVERIFY(!pDlg->m_pDescription->text().isEmpty());
                QCOMPARE(pDlg->m_pOk->text(), QString("OK"));
                QVERIFY(pDlg->m_pOk->isDefault());
                QVERIFY(!pDlg->m_pIcon->pixmap().isNull());
                // Icon left, texts beside it, OK top right; every text fits.
                QVERIFY(pDlg->m_pIcon->geometry().right() < pDlg->m_pVersion->geometry().left());
                QVERIFY(pDlg->m_pVersion->geometry().bottom() < pDlg->m_pDescription->geometry().top());
                QVERIFY(pDlg->m_pOk->geometry().left() > pDlg->m_pVersion->geometry().right());
                QVERIFY(pDlg->m_pOk->geometry().top() < pDlg->m_pVersion->geometry().bottom());
                for (QLabel* pLabel : {pDlg->m_pVersion, pDlg->m_pDescription})
                    QVERIFY2(pLabel->sizeHint().width() <= pLabel->width(), qPrintable(pLabel->text()));
                QVERIFY(pDlg->rect().contains(pDlg->m_pOk->geometry()));
                if (bByEscape)
                    QTest::keyClick(pDlg, Qt::Key_Escape);
                else
                    QTest::mouseClick(pDlg->m_pOk, Qt::LeftButton);
            });
            // Returns only once the box is gone.
            frame.FindCommand(CommandId::AppAbout)->trigger();
            QVERIFY(bSeen);
            QVERIFY(!QApplication::activeModalWidget());
            QVERIFY(frame.isVisible());
        }
    }

    void exitClosesTheWindow()
    {
        CRecordingPlayer player;
        CMainFrame frame(&player);
        QVERIFY(frame.Create());
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame, testsupport::HangGuardMs));
        QSignalSpy closed(&frame, &CMainFrame::Closed);
        frame.FindCommand(CommandId::AppExit)->trigger();
        QVERIFY(!frame.isVisible());
        QCOMPARE(closed.count(), 1);
    }

    void aWholeRunEndsWithExitAndWritesNothing()
    {
        {
            CQuadoApp app;
            QVERIFY(app.InitInstance());
            CMainFrame* pFrame = app.MainFrame();
            QVERIFY(pFrame && pFrame->isVisible());
            QTimer::singleShot(50, pFrame, [pFrame] {
                pFrame->FindCommand(CommandId::Mute)->trigger();
                pFrame->FindCommand(CommandId::AppExit)->trigger();
            });
            QTimer guard;
            guard.setSingleShot(true);
            connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
            guard.start(testsupport::HangGuardMs);
            QCOMPARE(QApplication::exec(), 0);
            QCOMPARE(QCoreApplication::organizationName(), QString("Norvane Quado"));
            QCOMPARE(QCoreApplication::applicationName(), QString("Quado"));
        }
        QCOMPARE(g_pScratch->WrittenFiles(), QStringList());
    }
};

int main(int argc, char* argv[])
{
    ScratchHome scratch;
    g_pScratch = &scratch;
    int nResult = 0;
    {
        QApplication app(argc, argv);
        MainFrameTest test;
        nResult = QTest::qExec(&test, argc, argv);
    }
    // Also nothing on the way out of QApplication.
    const QStringList listWritten = scratch.WrittenFiles();
    if (!listWritten.isEmpty()) {
        std::fprintf(stderr, "FAIL: files written: %s\n", qPrintable(listWritten.join(", ")));
        nResult = 1;
    }
    return nResult;
}

#include "MainFrameTest.moc"
