// Keeps the finished games in the records file without the UI thread ever
// waiting for the disk, and answers the Records window, idle screen and export.
#pragma once

#include <QDate>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "protocol/GameEvents.h"
#include "records/RecordFile.h"
#include "records/RecordedGame.h"

// A thread of the store's own checks the file, writes the games handed to it
// in transactions and runs the questions; everything it tells comes as a
// signal on the thread that made the store.
class CRecordStore : public QObject {
    Q_OBJECT
public:
    // While another Quado holds the file: the wait before the next try.
    static constexpr int BusyRetryMs = 200;
    // On the way out, a locked file gets as long as this many of SQLite's own
    // busy waits.
    static constexpr int ClosingTries = 3;

    // How long the program's end waits for the last writes (CloseLater).
    static constexpr int EndWaitMs = 3000;

    // Starts the thread, which checks the file at once; Off or Notice tell
    // when something is wrong with it.
    explicit CRecordStore(const QString& strPath, CRecordFile::Settings settings = {});
    // Writes what is queued (waiting for it, however long the file stays
    // locked), then closes the file. The program itself uses CloseLater.
    ~CRecordStore() override;

    // Hands the store to its own thread to finish, and returns at once: the
    // queued games are written, every request still waiting is answered,
    // the file is closed, and then the store deletes itself on the thread
    // that made it. Its signals keep coming until then.
    static void CloseLater(std::unique_ptr<CRecordStore> pStore);
    // The program's end: waits until every store handed to CloseLater has
    // closed its file, at most wait. False, said on stderr with what was not
    // written, when one has not: its thread is then still inside SQLite,
    // and the process must end without running its exit handlers.
    static bool WaitForClosed(std::chrono::milliseconds wait);
    // Stores handed to CloseLater whose thread has not yet closed the file.
    static int ClosingCount();

    const QString& Path() const { return m_strPath; }
    // Queues a finished game; costs the caller a copy and a lock.
    void Add(const GameRecord& game);
    // Keeps every game the stream ends from now on, until the store goes
    // (the stream may go first: a game running as the program closes ends
    // with its link, and is kept).
    void Follow(CGameEvents& events);
    // Answered by DayLoaded with the ticket returned, or by DayUnreadable.
    int RequestDay(const QDate& day);
    // A day as the Records window shows it: answered by DayViewLoaded with
    // the ticket returned (its figures, and the first nRows games in that
    // order), or by DayUnreadable.
    int RequestDayView(const QDate& day, const GamesOrder& order, int nRows);
    // More of a day's list: answered by RowsLoaded with the ticket given.
    void RequestRows(int nTicket, const QDate& day, const GamesOrder& order, int nOffset, int nRows);
    // Answered by TodayChanged with the figures of that local day (today's
    // without one); a written game also brings today's.
    void RequestToday(const QDate& day = QDate());
    // Writes the CSV from the store's thread; ExportDone tells the outcome.
    void Export(const QString& strFile, std::optional<QDate> since);

    bool IsOff() const { return m_bOff; }
    // Set once Off has been sent.
    QString OffReason() const;
    // The thread has checked the file (and opened it, if there was one).
    bool IsStarted() const { return m_bStarted; }

signals:
    // Nothing more is written this run.
    void Off(const QString& strReason);
    // Records go on, but the user should know (a damaged file moved aside).
    void Notice(const QString& strText);
    // The thread's check of the file is over (whatever its outcome).
    void Started();
    // After each transaction, the games it wrote.
    void GamesWritten(const RecordedGames& games);
    void DayLoaded(int nTicket, const QDate& day, const RecordedGames& games);
    // The day's games could not all be read; none are given.
    void DayUnreadable(int nTicket, const QDate& day, const QString& strError);
    void DayViewLoaded(int nTicket, const QDate& day, const DaySummary& summary, const GamesOrder& order,
                       const RecordedGames& firstRows);
    void RowsLoaded(int nTicket, const QDate& day, const GamesOrder& order, int nOffset, const RecordedGames& rows);
    void TodayChanged(const DayFigures& figures);
    void ExportDone(bool bOk, const QString& strError);
    // After CloseLater: the file is closed and the thread over.
    void Closed();

private:
    // Null when the store closed before the task's turn: the task answers
    // that it could not run.
    using Task = std::function<void(CRecordFile*)>;

    void Run();
    void RunOnFile();
    // On the store's thread once it ends: the tasks it will never run.
    void AnswerDropped();
    void Post(Task task);
    // On the store's thread: a day or a page that could not be read, said
    // on stderr; a day's request is also answered with DayUnreadable.
    void SayUnreadable(const QString& strError) const;
    void TellUnreadable(int nTicket, const QDate& day, const QString& strError);
    // On the store's thread: writes the queued games; false when the file
    // was busy and they went back to the queue.
    bool WriteQueued(CRecordFile& file, bool bClosing);
    void GoOff(const QString& strReason);
    // No day: today's.
    void TellToday(CRecordFile& file, const QDate& day = QDate());

    const QString m_strPath;
    const CRecordFile::Settings m_settings;
    std::atomic<bool> m_bOff{false};
    std::atomic<bool> m_bStarted{false};
    int m_nNextTicket = 1;

    mutable std::mutex m_mutex;
    std::condition_variable m_cvWork;
    std::vector<GameRecord> m_vecQueued;
    // Taken from the queue by the transaction under way.
    size_t m_nInWrite = 0;
    std::deque<Task> m_tasks;
    bool m_bStop = false;
    // Set by CloseLater before the stop.
    bool m_bClosingLater = false;
    QString m_strOffReason;
    std::thread m_thread;
    // Last: ends before anything the observer touches.
    CGameEventSubscription m_follow;
};
