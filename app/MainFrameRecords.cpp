// The main frame's records of play: every finished game handed to the store,
// Keep Records, the Records window, the export, and the idle screen that
// shows the day's figures over the board while nobody plays.
#include "app/MainFrame.h"

#include "app/CommandIds.h"

#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QStatusBar>

#include <cstdio>

#include "platform/MessageBox.h"

namespace {

constexpr char ExportCaption[] = QT_TRANSLATE_NOOP("CMainFrame", "Export Records");

} // namespace

void CMainFrame::ConnectRecords()
{
    m_timerIdle.setSingleShot(true);
    connect(&m_timerIdle, &QTimer::timeout, this, &CMainFrame::OnIdleTimer);
    // For the frame's whole life: the adapter window, and with it the
    // events, goes before the frame's members. The store follows the games
    // itself (CRecordStore::Follow).
    AdapterLink().GameEvents().Subscribe([this](const GameEvent& event) { OnGameEvent(event); });
    // The venue's figures for today and its idle_records command go through
    // the records while they are kept, and through the menu's own command.
    connect(&m_dayWatch, &CLocalDayWatch::DayChanged, this, &CMainFrame::OnDayChanged);
    m_fnDayFigures = [this]() -> std::optional<DayFigures> {
        // The figures of a day that is over are no one's today, even in the
        // moment before the watch has told midnight: until the store has
        // answered for the new day, the venue counts from the game events.
        if (!m_today || DateOf(*m_today) != LocalDayOf(m_dayWatch.NowMs()))
            return std::nullopt;
        return m_today;
    };
    m_fnShowRecordsWhenIdle = [this](bool bOn) {
        if (bOn != m_bIdleRecords)
            OnCommand(CommandId::IdleRecords);
    };
}

void CMainFrame::OnGameEvent(const GameEvent& event)
{
    switch (event.nKind) {
    case GameEvent::Kind::Line:
        m_bIdle = false;
        m_wndView.HideIdleScreen();
        if (m_bIdleRecords)
            m_timerIdle.start(m_nIdleRecordsMs);
        break;
    default:
        break;
    }
}

void CMainFrame::ApplyRecordsOptions(const StartOptions& options)
{
    SetRecordsFile(options.strRecordsFile.empty() ? DefaultRecordsPath(QString::fromStdString(options.instance.strName))
                                                  : QString::fromLocal8Bit(options.strRecordsFile.c_str()));
    SetKeepRecords(options.bRecords);
    if (options.fIdleRecordsSeconds > 0)
        SetIdleRecords(true, static_cast<int>(options.fIdleRecordsSeconds * 1000));
}

void CMainFrame::SetRecordsFile(const QString& strPath, RecordFileSettings settings)
{
    m_strRecordsPath = QFileInfo(strPath).absoluteFilePath();
    m_recordSettings = settings;
}

bool CMainFrame::IsKeepingRecords() const
{
    if (!m_pRecordStore && m_bStartupWorkPending)
        return m_bKeepRecordsAfterStartup;
    return m_pRecordStore && !m_pRecordStore->IsOff();
}

void CMainFrame::SetKeepRecords(bool bKeep)
{
    // At the program's own start the store waits until the board is on the
    // screen: loading the SQL driver and checking the file would compete
    // with the first picture for a small board computer's two cores. No
    // game can end before then: the adapters are not even listed yet.
    if (m_bStartupWorkPending && !m_pRecordStore) {
        m_bKeepRecordsAfterStartup = bKeep;
        UpdateCommandUI();
        return;
    }
    if (bKeep == IsKeepingRecords())
        return;
    // Off: whatever is queued is written before the file is let go, on the
    // store's thread; a file another program holds keeps it, not this one.
    ReleaseRecordStore();
    m_today.reset();
    m_strRecordsOff.clear();
    m_wndView.HideIdleScreen();
    if (bKeep) {
        if (m_strRecordsPath.isEmpty())
            m_strRecordsPath = DefaultRecordsPath();
        m_pRecordStore = std::make_unique<CRecordStore>(m_strRecordsPath, m_recordSettings);
        CRecordStore* pStore = m_pRecordStore.get();
        pStore->Follow(AdapterLink().GameEvents());
        connect(pStore, &CRecordStore::Off, this, [this](const QString& strReason) {
            m_strRecordsOff = strReason;
            m_today.reset();
            m_wndView.HideIdleScreen();
            TellRecords(tr("Records off: %1").arg(strReason));
            UpdateCommandUI();
        });
        connect(pStore, &CRecordStore::Notice, this, &CMainFrame::TellRecords);
        connect(pStore, &CRecordStore::TodayChanged, this, &CMainFrame::OnTodayChanged);
    }
    if (m_pRecordsWindow)
        m_pRecordsWindow->SetStore(m_pRecordStore.get());
    UpdateCommandUI();
}

void CMainFrame::ReleaseRecordStore()
{
    if (m_pRecordsWindow)
        m_pRecordsWindow->SetStore(nullptr);
    if (!m_pRecordStore)
        return;
    // What it still says about the file is no longer this frame's; an
    // export it still answers is (see ExportRecordsTo).
    CRecordStore* pStore = m_pRecordStore.get();
    disconnect(pStore, &CRecordStore::Off, this, nullptr);
    disconnect(pStore, &CRecordStore::Notice, this, nullptr);
    disconnect(pStore, &CRecordStore::TodayChanged, this, nullptr);
    CRecordStore::CloseLater(std::move(m_pRecordStore));
}

void CMainFrame::ToggleKeepRecords()
{
    SetKeepRecords(!IsKeepingRecords());
}

void CMainFrame::TellRecords(const QString& strText)
{
    // Once, without a box: nobody may be there to close one. The bar shows
    // only while it has something to say.
    QStatusBar* pBar = statusBar();
    if (!pBar->property("quadoHidesWhenEmpty").toBool()) {
        pBar->setProperty("quadoHidesWhenEmpty", true);
        connect(pBar, &QStatusBar::messageChanged, pBar, [pBar](const QString& strMessage) {
            if (strMessage.isEmpty())
                pBar->hide();
        });
    }
    pBar->show();
    pBar->showMessage(strText, RecordsNoticeMs);
}

// --- The idle screen ---

void CMainFrame::SetIdleRecords(bool bOn, int nDelayMs)
{
    m_bIdleRecords = bOn;
    m_nIdleRecordsMs = nDelayMs;
    m_bIdle = false;
    m_wndView.HideIdleScreen();
    // The wait starts now, as if a line had just come.
    if (bOn)
        m_timerIdle.start(m_nIdleRecordsMs);
    else
        m_timerIdle.stop();
    UpdateCommandUI();
}

void CMainFrame::ToggleIdleRecords()
{
    SetIdleRecords(!m_bIdleRecords, m_nIdleRecordsMs);
}

void CMainFrame::OnIdleTimer()
{
    if (!m_bIdleRecords)
        return;
    m_bIdle = true;
    ShowIdleFigures();
    // The figures are read again now and then: games may end without a
    // line (an adapter pulled), and midnight starts a new day.
    if (m_pRecordStore)
        m_pRecordStore->RequestToday(m_dayWatch.Today());
    m_timerIdle.start(IdleRefreshMs);
}

void CMainFrame::OnTodayChanged(const DayFigures& figures)
{
    // The store tells the day of its own clock after each game; a day that
    // is not the frame's today is asked for again.
    m_dayWatch.Check();
    if (DateOf(figures) != m_dayWatch.Today()) {
        if (m_pRecordStore)
            m_pRecordStore->RequestToday(m_dayWatch.Today());
        return;
    }
    m_today = figures;
    if (m_bIdle)
        ShowIdleFigures();
}

void CMainFrame::OnDayChanged(const QDate& today)
{
    // A new day starts with no games; the store confirms it (a game may
    // have ended in the moment since midnight).
    if (m_today && DateOf(*m_today) != today) {
        if (DateOf(*m_today) < today)
            m_today = DayFigures{DayNumberOf(today), 0, std::nullopt};
        else
            m_today.reset();
    }
    if (m_pRecordStore)
        m_pRecordStore->RequestToday(today);
    if (m_bIdle)
        ShowIdleFigures();
}

void CMainFrame::ShowIdleFigures()
{
    // Without records there are no figures to show; the board stays as it is.
    if (!IsKeepingRecords() || !m_today || DateOf(*m_today) != m_dayWatch.Today()) {
        m_wndView.HideIdleScreen();
        return;
    }
    IdleFigures figures;
    figures.nGames = m_today->nGames;
    if (m_today->nBestLevel)
        figures.strBestLevel = QString::number(*m_today->nBestLevel);
    m_wndView.ShowIdleScreen(figures);
}

// --- The Records window and the export ---

QWidget* CMainFrame::RecordsWindow()
{
    if (!m_pRecordsWindow) {
        QString strError;
        m_pRecordsWindow = MakeRecordsWindow(strError);
        if (!m_pRecordsWindow) {
            // The board goes on; only the window is missing, and asking
            // again tries the module again.
            std::fprintf(stderr, "Quado: the Records window is not available: %s\n", qPrintable(strError));
            QuadoMessageBox(this, tr("The Records window is not available: %1").arg(strError),
                            tr("Quado Records"), MessageIcon::Exclamation);
            return nullptr;
        }
        m_pRecordsWindow->SetHideHandler([this] { ToggleRecordsWindow(); });
        m_pRecordsWindow->SetStore(m_pRecordStore.get(), m_strRecordsOff);
    }
    return m_pRecordsWindow->Widget();
}

void CMainFrame::ToggleRecordsWindow()
{
    m_bRecordsWindowShown = !m_bRecordsWindowShown;
    QWidget* pWindow = RecordsWindow();
    if (!pWindow)
        m_bRecordsWindowShown = false;
    else
        ShowToolWindow(pWindow, m_bRecordsWindowShown);
    UpdateCommandUI();
}

void CMainFrame::OnExportRecords()
{
    if (!IsKeepingRecords())
        return;
    const QString strSuggested = QDir::home().filePath(
        QStringLiteral("quado-records-%1.csv").arg(m_dayWatch.Today().toString(Qt::ISODate)));
    const QString strFile = QFileDialog::getSaveFileName(this, tr(ExportCaption), strSuggested,
                                                         tr("CSV files (*.csv);;All files (*)"));
    if (!strFile.isEmpty())
        ExportRecordsTo(strFile);
}

void CMainFrame::ExportRecordsTo(const QString& strFile)
{
    if (!m_pRecordStore)
        return;
    CRecordStore* pStore = m_pRecordStore.get();
    // One answer per request: the connection goes with it.
    auto pConnection = std::make_shared<QMetaObject::Connection>();
    *pConnection = connect(pStore, &CRecordStore::ExportDone, this,
                           [this, pConnection, strFile](bool bOk, const QString& strError) {
                               disconnect(*pConnection);
                               if (bOk) {
                                   TellRecords(tr("Records exported to %1")
                                                   .arg(QDir::toNativeSeparators(strFile)));
                               } else {
                                   QuadoMessageBox(this, tr("The records could not be exported: %1")
                                                             .arg(strError),
                                                   tr(ExportCaption), MessageIcon::Exclamation);
                               }
                           });
    pStore->Export(strFile, std::nullopt);
}
