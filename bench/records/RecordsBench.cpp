// Records of play: what handing a finished game to the store costs the UI
// thread (p99 of many hand-overs while the store's thread writes), and how
// long the Records window takes from being made to its first picture with
// the day's games in it, on a file of 100,000 games that the bench makes:
// a year of a busy exhibit (today included), and, as the worst case, all of
// them on today.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include "protocol/GameEvents.h"
#include "records/RecordFile.h"
#include "records/RecordStore.h"
#include "records/RecordsWindow.h"

namespace {

constexpr int HandOvers = 5000;
constexpr int WindowRuns = 7;
constexpr int FileGames = 100000;

double Percentile(std::vector<double> values, double dFraction)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(dFraction * values.size()))];
}

GameRecord Game(qint64 nStartMs, int nIndex)
{
    GameRecord game;
    game.tStart = std::chrono::system_clock::time_point(std::chrono::milliseconds(nStartMs));
    game.tEnd = game.tStart + std::chrono::seconds(20 + nIndex % 90);
    game.nCause = nIndex % 3 == 0 ? GameEndCause::Congrat : GameEndCause::Incorrect;
    game.nOutcome = OutcomeOf(game.nCause);
    game.levelReached = GameLevel::From(std::to_wstring(1 + nIndex % 15));
    game.strMaxLevel = L"15";
    game.strSerial = "BENCH-01";
    return game;
}

bool WaitFor(const std::function<bool()>& predicate)
{
    return QTest::qWaitFor(predicate, 10 * 60 * 1000);
}

// R1: the UI thread's share of a game's write.
bool BenchHandOver(const QString& strDir)
{
    CRecordStore store(strDir + QStringLiteral("/handover.sqlite"));
    if (!WaitFor([&] { return store.IsStarted(); }))
        return false;
    const qint64 nNow = QDateTime::currentMSecsSinceEpoch();
    std::vector<double> vecMs;
    vecMs.reserve(HandOvers);
    int nWritten = 0;
    QObject::connect(&store, &CRecordStore::GamesWritten, [&nWritten](const RecordedGames& games) { nWritten += games.size(); });
    for (int i = 0; i < HandOvers; ++i) {
        const GameRecord game = Game(nNow - 1000 * (HandOvers - i), i);
        const auto t0 = std::chrono::steady_clock::now();
        store.Add(game);
        vecMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        // Games end seconds apart; a few at a time keeps the writer busy
        // while games are handed over, as a burst of ends would.
        if (i % 50 == 49)
            QCoreApplication::processEvents();
    }
    if (!WaitFor([&] { return nWritten >= HandOvers || store.IsOff(); }) || store.IsOff())
        return false;
    std::printf("hand-over of a game to the store: median %.4f ms, p99 %.4f ms, max %.3f ms (%d games)\n",
                Percentile(vecMs, 0.5), Percentile(vecMs, 0.99), Percentile(vecMs, 1.0), HandOvers);
    std::printf("FIGURE R1_write_ui_ms %.4f\n", Percentile(vecMs, 0.99));
    return true;
}

// A file of FileGames games, the last nToday of them today.
bool MakeFile(const QString& strPath, int nToday)
{
    CRecordFile file(strPath, CRecordFile::Mode::Write);
    QString strReason;
    QString strNotice;
    if (file.Start(strReason, strNotice) == CRecordFile::Status::Off)
        return false;
    RecordedGames games;
    games.reserve(FileGames);
    const int nPast = FileGames - nToday;
    const qint64 nTodayStart = QDateTime(QDate::currentDate(), QTime(8, 0), Qt::LocalTime).toMSecsSinceEpoch();
    for (int i = 0; i < nPast; ++i) {
        const int nDay = 365 - i * 365 / std::max(1, nPast);
        games.append(RecordedGame::From(Game(nTodayStart - qint64(nDay) * 86400000 + (i % 300) * 120000, i)));
    }
    for (int i = 0; i < nToday; ++i)
        games.append(RecordedGame::From(Game(nTodayStart + qint64(i) * 14 * 3600 * 1000 / nToday, i)));
    return file.Write(games, strReason) == CRecordFile::WriteResult::Written;
}

// Counts the paints of the games list once the day is in.
class CPaintWatch : public QObject {
public:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint && m_bArmed && !m_bPainted) {
            m_bPainted = true;
            m_nMs = m_timer.nsecsElapsed() / 1e6;
        }
        return QObject::eventFilter(pObject, pEvent);
    }

    QElapsedTimer m_timer;
    bool m_bArmed = false;
    bool m_bPainted = false;
    double m_nMs = 0;
};

// R2: from a window at the top of its list to the picture of its last rows,
// fetched as the list gets there.
bool BenchScroll(CRecordStore& store, int nToday)
{
    std::vector<double> vecMs;
    for (int nRun = 0; nRun < WindowRuns; ++nRun) {
        // A window of its own each time: no page of an earlier run is held.
        CRecordsWindow window;
        window.SetStore(&store);
        window.show();
        if (!WaitFor([&] { return window.IsSettled(); }))
            return false;
        QCoreApplication::processEvents();
        const QAbstractItemModel& model = *window.m_tblGames.model();
        CPaintWatch watch;
        window.m_tblGames.viewport()->installEventFilter(&watch);
        watch.m_timer.start();
        window.m_tblGames.scrollToBottom();
        // The last row is blank until its page has come; the paint after
        // that shows it.
        if (!WaitFor([&] {
                if (!watch.m_bArmed && window.IsSettled() && !model.index(nToday - 1, 0).data().toString().isEmpty()) {
                    watch.m_bArmed = true;
                    window.m_tblGames.viewport()->update();
                }
                return watch.m_bPainted;
            }))
            return false;
        vecMs.push_back(watch.m_nMs);
    }
    std::printf("Records window on %d games today, top to the end of the list: median %.1f ms, best %.1f ms (%d runs)\n",
                nToday, Percentile(vecMs, 0.5), Percentile(vecMs, 0.0), WindowRuns);
    std::printf("FIGURE R2_scroll_100k_ms %.1f\n", Percentile(vecMs, 0.5));
    return true;
}

// R2: from the window's construction to its first picture with the day in.
bool BenchWindow(const QString& strPath, int nToday, const char* pszFigure)
{
    if (!MakeFile(strPath, nToday))
        return false;
    QElapsedTimer started;
    started.start();
    CRecordStore store(strPath);
    if (!WaitFor([&] { return store.IsStarted(); }) || store.IsOff())
        return false;
    // Off the UI thread, at the program's start: the check of the file.
    std::printf("store on %d games checked and open after %.1f ms\n", FileGames, started.nsecsElapsed() / 1e6);
    std::vector<double> vecMs;
    for (int nRun = 0; nRun < WindowRuns; ++nRun) {
        CPaintWatch watch;
        watch.m_timer.start();
        CRecordsWindow window;
        window.m_tblGames.viewport()->installEventFilter(&watch);
        QObject::connect(&window, &CRecordsWindow::Loaded, [&watch] { watch.m_bArmed = true; });
        window.SetStore(&store);
        window.show();
        if (!WaitFor([&] { return watch.m_bPainted; }))
            return false;
        if (window.Summary().nGames != nToday)
            return false;
        vecMs.push_back(watch.m_nMs);
    }
    std::printf("Records window on %d games, %d today: median %.1f ms, best %.1f ms (%d runs)\n", FileGames, nToday,
                Percentile(vecMs, 0.5), Percentile(vecMs, 0.0), WindowRuns);
    std::printf("FIGURE %s %.1f\n", pszFigure, Percentile(vecMs, 0.5));
    return nToday < FileGames || BenchScroll(store, nToday);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !BenchHandOver(dir.path())) {
        std::fprintf(stderr, "bench_records: the hand-over bench failed\n");
        return 1;
    }
    if (!BenchWindow(dir.filePath(QStringLiteral("year.sqlite")), FileGames / 365, "R2_open_100k_ms") ||
        !BenchWindow(dir.filePath(QStringLiteral("oneday.sqlite")), FileGames, "R2_open_100k_one_day_ms")) {
        std::fprintf(stderr, "bench_records: the window bench failed\n");
        return 1;
    }
    return 0;
}
