#include "records/RecordStore.h"

#include <QDir>
#include <QMetaObject>

#include <chrono>
#include <cstdio>
#include <set>

#include "records/RecordsCsv.h"

namespace {

// The stores handed to CloseLater whose thread still runs. A store leaves
// the set on its own thread, before it tells Closed, so every one in it is
// alive while the mutex is held.
std::mutex s_closingMutex;
std::condition_variable s_closingDone;
std::set<CRecordStore*> s_closing;

} // namespace

CRecordStore::CRecordStore(const QString& strPath, CRecordFile::Settings settings)
    : m_strPath(strPath)
    , m_settings(settings)
{
    m_thread = std::thread(&CRecordStore::Run, this);
}

CRecordStore::~CRecordStore()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_cvWork.notify_one();
    m_thread.join();
}

void CRecordStore::Follow(CGameEvents& events)
{
    m_follow = CGameEventSubscription(events, [this](const GameEvent& event) {
        if (event.nKind == GameEvent::Kind::GameEnded)
            Add(event.game);
    });
}

void CRecordStore::CloseLater(std::unique_ptr<CRecordStore> pStore)
{
    if (!pStore)
        return;
    CRecordStore* pOwn = pStore.release();
    // No game reaches a store on its way out; the stream may go before it.
    pOwn->m_follow.Reset();
    // Queued after every signal the thread sent before: the answers still
    // reach whoever listens, and only then does the store go.
    connect(pOwn, &CRecordStore::Closed, pOwn, &QObject::deleteLater);
    {
        std::lock_guard closing(s_closingMutex);
        s_closing.insert(pOwn);
    }
    {
        std::lock_guard lock(pOwn->m_mutex);
        pOwn->m_bClosingLater = true;
        pOwn->m_bStop = true;
    }
    pOwn->m_cvWork.notify_one();
}

bool CRecordStore::WaitForClosed(std::chrono::milliseconds wait)
{
    std::unique_lock closing(s_closingMutex);
    if (s_closingDone.wait_for(closing, wait, [] { return s_closing.empty(); }))
        return true;
    for (CRecordStore* pStore : s_closing) {
        size_t nQueued = 0;
        {
            std::lock_guard lock(pStore->m_mutex);
            nQueued = pStore->m_vecQueued.size() + pStore->m_nInWrite;
        }
        std::fprintf(stderr,
                     "Quado: records: %s was not closed within %d s (locked by another program, or its disk does not"
                     " answer); ending without it, %zu game(s) not written\n",
                     qPrintable(QDir::toNativeSeparators(pStore->m_strPath)),
                     static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(wait).count()), nQueued);
    }
    return false;
}

int CRecordStore::ClosingCount()
{
    std::lock_guard closing(s_closingMutex);
    return static_cast<int>(s_closing.size());
}

void CRecordStore::Add(const GameRecord& game)
{
    if (m_bOff)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_vecQueued.push_back(game);
    }
    m_cvWork.notify_one();
}

void CRecordStore::Post(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_cvWork.notify_one();
}

int CRecordStore::RequestDay(const QDate& day)
{
    const int nTicket = m_nNextTicket++;
    Post([this, day, nTicket](CRecordFile* pFile) {
        RecordedGames games;
        if (pFile && !m_bOff) {
            CRecordFile& file = *pFile;
            const auto [nFrom, nTo] = LocalDayBounds(day);
            QString strError;
            if (!file.Load(nFrom, nTo, games, strError)) {
                // No games would read as a day nobody played.
                TellUnreadable(nTicket, day, strError);
                return;
            }
        }
        QMetaObject::invokeMethod(
            this, [this, nTicket, day, games] { emit DayLoaded(nTicket, day, games); }, Qt::QueuedConnection);
    });
    return nTicket;
}

int CRecordStore::RequestDayView(const QDate& day, const GamesOrder& order, int nRows)
{
    const int nTicket = m_nNextTicket++;
    Post([this, day, order, nRows, nTicket](CRecordFile* pFile) {
        DaySummary summary;
        RecordedGames rows;
        QString strError;
        if (pFile && !m_bOff &&
            (!pFile->Summary(day, summary, strError) || !pFile->LoadPage(day, order, 0, nRows, rows, strError))) {
            TellUnreadable(nTicket, day, strError);
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, nTicket, day, summary, order, rows] { emit DayViewLoaded(nTicket, day, summary, order, rows); },
            Qt::QueuedConnection);
    });
    return nTicket;
}

void CRecordStore::SayUnreadable(const QString& strError) const
{
    std::fprintf(stderr, "Quado: records: cannot read %s: %s\n", qPrintable(QDir::toNativeSeparators(m_strPath)),
                 qPrintable(strError));
}

void CRecordStore::TellUnreadable(int nTicket, const QDate& day, const QString& strError)
{
    SayUnreadable(strError);
    QMetaObject::invokeMethod(
        this, [this, nTicket, day, strError] { emit DayUnreadable(nTicket, day, strError); }, Qt::QueuedConnection);
}

void CRecordStore::RequestRows(int nTicket, const QDate& day, const GamesOrder& order, int nOffset, int nRows)
{
    Post([this, nTicket, day, order, nOffset, nRows](CRecordFile* pFile) {
        RecordedGames rows;
        QString strError;
        // A page that cannot be read stays empty; the day's figures said
        // already whether the day could be read.
        if (pFile && !m_bOff && !pFile->LoadPage(day, order, nOffset, nRows, rows, strError))
            SayUnreadable(strError);
        QMetaObject::invokeMethod(
            this, [this, nTicket, day, order, nOffset, rows] { emit RowsLoaded(nTicket, day, order, nOffset, rows); },
            Qt::QueuedConnection);
    });
}

void CRecordStore::RequestToday(const QDate& day)
{
    Post([this, day](CRecordFile* pFile) {
        if (pFile && !m_bOff)
            TellToday(*pFile, day);
    });
}

void CRecordStore::Export(const QString& strFile, std::optional<QDate> since)
{
    Post([this, strFile, since](CRecordFile* pFile) {
        QString strError;
        const bool bOk = (pFile && !m_bOff) ? ExportCsvFile(*pFile, strFile, since, strError) : false;
        if (m_bOff)
            strError = QStringLiteral("records are off: %1").arg(OffReason());
        else if (!pFile)
            strError = QStringLiteral("the records were closed before the export could run");
        QMetaObject::invokeMethod(
            this, [this, bOk, strError] { emit ExportDone(bOk, strError); }, Qt::QueuedConnection);
    });
}

QString CRecordStore::OffReason() const
{
    std::lock_guard lock(m_mutex);
    return m_strOffReason;
}

void CRecordStore::GoOff(const QString& strReason)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_bOff)
            return;
        m_bOff = true;
        m_strOffReason = strReason;
        m_vecQueued.clear();
    }
    // Said here, not by the UI thread: a failure while the program closes
    // has no UI thread left to say it.
    std::fprintf(stderr, "Quado: records off: %s\n", qPrintable(strReason));
    QMetaObject::invokeMethod(this, [this, strReason] { emit Off(strReason); }, Qt::QueuedConnection);
}

void CRecordStore::TellToday(CRecordFile& file, const QDate& day)
{
    DayFigures figures;
    QString strError;
    if (!file.Figures(day.isValid() ? day : QDate::currentDate(), figures, strError))
        return;
    QMetaObject::invokeMethod(this, [this, figures] { emit TodayChanged(figures); }, Qt::QueuedConnection);
}

bool CRecordStore::WriteQueued(CRecordFile& file, bool bClosing)
{
    std::vector<GameRecord> vecGames;
    {
        std::lock_guard lock(m_mutex);
        vecGames.swap(m_vecQueued);
        m_nInWrite = vecGames.size();
    }
    // Not yet written until the transaction is over, whatever its outcome.
    struct WriteDone {
        CRecordStore& store;
        ~WriteDone()
        {
            std::lock_guard lock(store.m_mutex);
            store.m_nInWrite = 0;
        }
    } done{*this};
    if (vecGames.empty() || m_bOff)
        return true;
    RecordedGames games;
    games.reserve(static_cast<qsizetype>(vecGames.size()));
    for (const GameRecord& game : vecGames)
        games.append(RecordedGame::From(game));
    QString strReason;
    switch (file.Write(games, strReason)) {
    case CRecordFile::WriteResult::Busy: {
        // Another Quado holds the file: the games wait, in their order,
        // ahead of any that came meanwhile.
        std::lock_guard lock(m_mutex);
        m_vecQueued.insert(m_vecQueued.begin(), vecGames.begin(), vecGames.end());
        m_nInWrite = 0;
        return false;
    }
    case CRecordFile::WriteResult::Failed:
        GoOff(strReason);
        return true;
    case CRecordFile::WriteResult::Written:
        break;
    }
    if (!bClosing) {
        QMetaObject::invokeMethod(this, [this, games] { emit GamesWritten(games); }, Qt::QueuedConnection);
        TellToday(file);
    }
    return true;
}

void CRecordStore::Run()
{
    RunOnFile();
    AnswerDropped();
    bool bClosingLater = false;
    {
        std::lock_guard lock(m_mutex);
        bClosingLater = m_bClosingLater;
    }
    if (!bClosingLater)
        return;
    {
        std::lock_guard closing(s_closingMutex);
        s_closing.erase(this);
    }
    s_closingDone.notify_all();
    QMetaObject::invokeMethod(this, [this] { emit Closed(); }, Qt::QueuedConnection);
}

void CRecordStore::AnswerDropped()
{
    std::deque<Task> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
    }
    for (Task& task : tasks)
        task(nullptr);
}

void CRecordStore::RunOnFile()
{
    CRecordFile file(m_strPath, CRecordFile::Mode::Write, m_settings);
    QString strReason;
    QString strNotice;
    if (file.Start(strReason, strNotice) == CRecordFile::Status::Off)
        GoOff(strReason);
    if (!strNotice.isEmpty()) {
        std::fprintf(stderr, "Quado: records: %s\n", qPrintable(strNotice));
        QMetaObject::invokeMethod(this, [this, strNotice] { emit Notice(strNotice); }, Qt::QueuedConnection);
    }
    m_bStarted = true;
    QMetaObject::invokeMethod(this, [this] { emit Started(); }, Qt::QueuedConnection);
    if (!m_bOff)
        TellToday(file);

    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cvWork.wait(lock, [this] { return m_bStop || !m_vecQueued.empty() || !m_tasks.empty(); });
        if (m_bStop)
            break;
        if (!m_tasks.empty()) {
            Task task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task(&file);
            lock.lock();
            continue;
        }
        lock.unlock();
        const bool bWritten = WriteQueued(file, false);
        lock.lock();
        if (!bWritten)
            m_cvWork.wait_for(lock, std::chrono::milliseconds(BusyRetryMs), [this] { return m_bStop; });
    }
    lock.unlock();

    // The games that ended as the program closed, the last of them included.
    // A lock held by another program is not always waited for inside SQLite
    // (a file at rest in rollback-journal mode answers "busy" at once), so
    // the tries are spread over the time they would have taken there.
    const auto tGiveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(ClosingTries * CRecordFile::BusyTimeoutMs);
    while (!WriteQueued(file, true) && std::chrono::steady_clock::now() < tGiveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(BusyRetryMs));
    std::lock_guard last(m_mutex);
    if (!m_vecQueued.empty())
        std::fprintf(stderr, "Quado: records: %zu game(s) not written: %s stayed locked by another program\n",
                     m_vecQueued.size(), qPrintable(QDir::toNativeSeparators(m_strPath)));
}
