// The records in the running program: Keep Records off touches no file, on
// keeps every game; games cut short by an unplug, a Disconnect or the end
// of the program are kept as abandoned; a bad file is told once on the
// status bar; the idle screen comes after the wait with the day's figures,
// over the whole view, and goes at the first line.
#include "tests/adapter/AdapterTestSupport.h"
#include "tests/records/RecordsTestSupport.h"

#include <QStatusBar>

#include "app/CommandIds.h"
#include "app/StartOptions.h"
#include "records/RecordsWindow.h"

using namespace adaptertest;
using namespace recordstest;

namespace {

class FrameRecords : public AdapterFrameTest {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    // The frame with records in the test's file, and one adapter connected.
    std::shared_ptr<CSimulatedAdapter> StartConnected(bool bKeep)
    {
        auto pAdapter = AddAdapter();
        MakeFrame();
        m_pFrame->SetRecordsFile(Path());
        m_pFrame->SetKeepRecords(bKeep);
        ClickConnect();
        EXPECT_TRUE(Dlg().IsConnected());
        return pAdapter;
    }

    // The pulled adapter back, and connected again.
    void Replug()
    {
        m_backend.Replug(AdapterPath);
        Hotplug(HidrawUevent::Action::Add, AdapterPath);
        EXPECT_TRUE(WaitForEvents([&] { return Dlg().Link().Adapters().size() == 1; }));
        ClickConnect();
        EXPECT_TRUE(Dlg().IsConnected());
    }

    // Waits until the store has written nGames games in all.
    bool WaitForWritten(int nGames)
    {
        CRecordStore* pStore = m_pFrame->RecordStore();
        if (!pStore)
            return false;
        if (!m_bCounting) {
            QObject::connect(pStore, &CRecordStore::GamesWritten,
                             [this](const RecordedGames& games) { m_nWritten += static_cast<int>(games.size()); });
            m_bCounting = true;
        }
        return WaitForEvents([&] { return m_nWritten >= nGames || pStore->IsOff(); }) && !pStore->IsOff();
    }

    QTemporaryDir m_dir;
    int m_nWritten = 0;
    bool m_bCounting = false;
};

} // namespace

TEST_F(FrameRecords, KeepRecordsOffTouchesNoFileAndOnKeepsEveryGame)
{
    auto pAdapter = StartConnected(false);
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nLevel 1 -\r\nCongrat\r\n"));
    EXPECT_FALSE(m_pFrame->FindCommand(CommandId::KeepRecords)->isChecked());
    EXPECT_FALSE(m_pFrame->FindCommand(CommandId::ExportRecords)->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(Path()));

    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::KeepRecords));
    EXPECT_TRUE(m_pFrame->FindCommand(CommandId::KeepRecords)->isChecked());
    EXPECT_TRUE(m_pFrame->FindCommand(CommandId::ExportRecords)->isEnabled());
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nMAX_LEVEL=4\r\nLevel 1 -\r\nLevel 2 -\r\nIncorrect\r\n"));
    ASSERT_TRUE(WaitForWritten(1));
    CFileReader file(Path());
    EXPECT_EQ(file.Rows(QStringLiteral("outcome, cause, level_reached, max_level, serial")),
              QStringList{"lost|incorrect|2|4|DRAVIK-0001"});
    EXPECT_TRUE(m_boxes.m_vecBoxes.empty());
}

TEST_F(FrameRecords, AtTheProgramsStartTheFileWaitsForTheFirstPicture)
{
    StartOptions options;
    options.strRecordsFile = Path().toStdString();
    m_pFrame = std::make_unique<CMainFrame>(&m_player, CMainFrame::StartupWork::AfterFirstPaint);
    m_pFrame->ApplyStartOptionsBeforeCreate(options);
    ASSERT_TRUE(m_pFrame->Create());
    EXPECT_FALSE(m_pFrame->RecordStore());
    EXPECT_TRUE(m_pFrame->FindCommand(CommandId::KeepRecords)->isChecked());
    m_pFrame->show();
    ASSERT_TRUE(WaitForEvents([&] { return m_pFrame->RecordStore() != nullptr; }));
    EXPECT_EQ(m_pFrame->RecordStore()->Path(), Path());
    EXPECT_TRUE(m_pFrame->FindCommand(CommandId::KeepRecords)->isChecked());
}

TEST_F(FrameRecords, GamesCutShortByUnplugDisconnectOrClosingAreKeptAsAbandoned)
{
    auto pAdapter = StartConnected(true);
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nMAX_LEVEL=6\r\nLevel 3 -\r\nR\r\n"));
    m_backend.Unplug(AdapterPath);
    Hotplug(HidrawUevent::Action::Remove, AdapterPath);
    ASSERT_TRUE(WaitForEvents([&] { return !Dlg().IsConnected(); }));
    ASSERT_TRUE(WaitForWritten(1));

    Replug();
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nLevel 1 -\r\n"));
    ClickConnect();
    ASSERT_FALSE(Dlg().IsConnected());
    ASSERT_TRUE(WaitForWritten(2));

    ClickConnect();
    ASSERT_TRUE(Dlg().IsConnected());
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nLevel 5 -\r\n"));
    m_pFrame.reset();

    CFileReader file(Path());
    EXPECT_EQ(file.Rows(QStringLiteral("outcome, cause, level_reached, max_level")),
              (QStringList{"abandoned|adapter_lost|3|6", "abandoned|disconnect|1|6", "abandoned|closing|5|6"}));
}

TEST_F(FrameRecords, ABadFileIsToldOnceOnTheStatusBarAndInTheRecordsWindow)
{
    {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // A SQLite header claiming a version this Quado does not know.
        QByteArray header("SQLite format 3", 16);
        header += QByteArray(100 - 16, '\0');
        header[16] = 0x10;
        header[60 + 3] = 42;
        file.write(header + QByteArray(4096 - 100, '\0'));
    }
    const QByteArray before = FileBytes(Path());
    MakeFrame();
    m_pFrame->SetRecordsFile(Path());
    testing::internal::CaptureStderr();
    m_pFrame->SetKeepRecords(true);
    ASSERT_TRUE(WaitForEvents([&] { return !m_pFrame->RecordsOffReason().isEmpty(); }));
    const std::string strErr = testing::internal::GetCapturedStderr();

    const QString strMessage = m_pFrame->statusBar()->currentMessage();
    EXPECT_TRUE(strMessage.startsWith("Records off: ") && strMessage.contains("records version 42"))
        << strMessage.toStdString();
    EXPECT_EQ(strErr, "Quado: records off: " + m_pFrame->RecordsOffReason().toStdString() + "\n");
    EXPECT_FALSE(m_pFrame->FindCommand(CommandId::KeepRecords)->isChecked());
    EXPECT_TRUE(m_boxes.m_vecBoxes.empty());

    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::RecordsWindow));
    auto* pWindow = dynamic_cast<CRecordsWindow*>(m_pFrame->RecordsWindowIfMade());
    ASSERT_TRUE(pWindow);
    EXPECT_EQ(pWindow->m_stState.text(), "Records are off: " + m_pFrame->RecordsOffReason());
    m_pFrame.reset();
    EXPECT_EQ(FileBytes(Path()), before);
}

TEST_F(FrameRecords, TheIdleScreenShowsTheDaysFiguresAfterTheWaitAndGoesAtTheFirstLine)
{
    {
        CRecordStore store(Path());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(Today(9), 30, GameEndCause::Congrat, L"7"),
                                       MakeGame(Today(9, 5), 30, GameEndCause::Incorrect, L"2"),
                                       MakeGame(Today(9, 9), 30, GameEndCause::Press, L""),
                                       MakeGame(Today(9).addDays(-1), 30, GameEndCause::Congrat, L"30")}));
    }
    auto pAdapter = StartConnected(true);
    CChildView& view = m_pFrame->View();
    const QImage board = view.PictureAt(1.0);

    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::IdleRecords));
    EXPECT_TRUE(m_pFrame->FindCommand(CommandId::IdleRecords)->isChecked());
    m_pFrame->SetIdleRecords(true, 50);
    ASSERT_TRUE(WaitForEvents([&] { return view.IdleScreen().has_value(); }));
    EXPECT_EQ(*view.IdleScreen(), (IdleFigures{3, QStringLiteral("7")}));

    // Over the whole view, evenly: the board does not show through anywhere
    // (a lit quadrant and new panel text leave the picture as it was).
    const QImage idle = view.PictureAt(1.0);
    view.LightQuadrant(2);
    view.ShowPanelText(L"Level: 3 of 5");
    EXPECT_TRUE(view.PictureAt(1.0) == idle);
    view.LightQuadrant(0);
    view.ShowPanelText(L"");
    int nChanged = 0;
    for (int y = 0; y < idle.height(); ++y) {
        for (int x = 0; x < idle.width(); ++x)
            nChanged += idle.pixel(x, y) != board.pixel(x, y);
    }
    EXPECT_GT(nChanged, idle.width() * idle.height() * 9 / 10);

    // The first line takes it away, whatever the line does (and the wait
    // it starts again is made long enough not to end during the check).
    m_pFrame->SetIdleRecordsDelayForTest(testsupport::HangGuardMs);
    ASSERT_TRUE(FeedRead(*pAdapter, "Off\r\n"));
    EXPECT_FALSE(view.IdleScreen().has_value());
    EXPECT_TRUE(view.PictureAt(1.0) == board);

    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::IdleRecords));
    EXPECT_FALSE(m_pFrame->FindCommand(CommandId::IdleRecords)->isChecked());
}

TEST(IdleScreen, ItCoversTheWholeViewEvenlyAtFullHdWhateverTheBoardShows)
{
    // As a kiosk shows it: 1920 x 1080, with and without Fit to Screen.
    for (const bool bFit : {false, true}) {
        CChildView view;
        ASSERT_TRUE(view.Create(nullptr));
        view.resize(1920, 1080);
        view.m_bFitToScreen = bFit;
        const auto shot = [&view] { return view.grab().toImage().convertToFormat(QImage::Format_RGB32); };
        const QImage board = shot();
        view.ShowIdleScreen(IdleFigures{1234, QStringLiteral("15")});
        const QImage idle = shot();
        ASSERT_EQ(idle.size(), QSize(1920, 1080));

        // Nothing of the board is left to be cut in two: another board
        // under it gives the same picture, margins included.
        view.LightQuadrant(1);
        view.ShowPanelText(L"Level: 3 of 5");
        EXPECT_TRUE(shot() == idle) << "fit " << bFit;
        // The margins beside the picture are covered too, from edge to edge.
        for (const QPoint& pt : {QPoint(0, 0), QPoint(1919, 540), QPoint(5, 1079), QPoint(960, 0)})
            EXPECT_NE(idle.pixel(pt), QColor(Qt::black).rgb()) << "fit " << bFit << " " << pt.x() << "," << pt.y();
        // Evenly: one row across the middle of the screen changes only
        // slowly, except where the figures' letters and frame are.
        int nJumps = 0;
        for (int x = 1; x < 1920; ++x) {
            const QColor a = QColor(idle.pixel(x - 1, 1075)), b = QColor(idle.pixel(x, 1075));
            nJumps += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 12;
        }
        EXPECT_EQ(nJumps, 0) << "fit " << bFit;

        view.HideIdleScreen();
        view.LightQuadrant(0);
        view.ShowPanelText(L"");
        EXPECT_TRUE(shot() == board) << "fit " << bFit;
    }
}
