// Bad places and bad files: Quado carries on without records and says so
// once (a folder that cannot be written, a file from a newer Quado, a full
// disk), leaves alone what it could not read, and moves a damaged file aside
// with a time stamp before starting a fresh one.
#include "tests/records/RecordsTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

using namespace recordstest;

namespace {

class RecordFileFaults : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    // Starts a store on strPath and waits for its check of the file;
    // returns what it told on stderr.
    std::string StartStore(const QString& strPath, RecordFileSettings settings = {})
    {
        testing::internal::CaptureStderr();
        m_pStore = std::make_unique<CRecordStore>(strPath, settings);
        QObject::connect(m_pStore.get(), &CRecordStore::Off, [this](const QString& str) { m_offs << str; });
        QObject::connect(m_pStore.get(), &CRecordStore::Notice, [this](const QString& str) { m_notices << str; });
        EXPECT_TRUE(WaitForEvents([&] { return m_pStore->IsStarted(); }));
        QCoreApplication::processEvents();
        return testing::internal::GetCapturedStderr();
    }

    QStringList FilesBeside() const { return QDir(m_dir.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir m_dir;
    std::unique_ptr<CRecordStore> m_pStore;
    QStringList m_offs;
    QStringList m_notices;
};

} // namespace

TEST_F(RecordFileFaults, APlaceThatCannotBeWrittenTurnsRecordsOffAndSaysSoOnce)
{
    // A folder that cannot be made: a file stands where it would be. This
    // holds for root too, whom no permission stops.
    QFile blocker(m_dir.filePath(QStringLiteral("quado")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const std::string strErr = StartStore(m_dir.filePath(QStringLiteral("quado/records.sqlite")));
    ASSERT_TRUE(WaitForEvents([&] { return !m_offs.isEmpty(); }));
    EXPECT_TRUE(m_offs.first().startsWith("cannot write in ")) << m_offs.first().toStdString();
    EXPECT_EQ(strErr, "Quado: records off: " + m_offs.first().toStdString() + "\n");
    m_pStore->Add(MakeGame(Today(12), 10, GameEndCause::Congrat, L"1"));
    m_pStore.reset();
    EXPECT_EQ(m_offs.size(), 1);
    EXPECT_EQ(FilesBeside(), QStringList{"quado"});

    // A folder without write permission, where permissions count.
    if (::geteuid() != 0) {
        const QString strLocked = m_dir.filePath(QStringLiteral("locked"));
        ASSERT_TRUE(QDir().mkdir(strLocked));
        QFile::setPermissions(strLocked, QFile::ReadOwner | QFile::ExeOwner);
        m_offs.clear();
        StartStore(strLocked + QStringLiteral("/records.sqlite"));
        ASSERT_TRUE(WaitForEvents([&] { return !m_offs.isEmpty(); }));
        EXPECT_TRUE(m_offs.first().startsWith("cannot write in ")) << m_offs.first().toStdString();
        m_pStore.reset();
        QFile::setPermissions(strLocked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST_F(RecordFileFaults, AFileThatIsNoDatabaseIsMovedAsideAndAFreshOneStarted)
{
    const QByteArray garbage = QByteArray("These are not the records you are looking for.\n").repeated(40);
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(garbage) == garbage.size());
    file.close();
    // A journal left beside it: replayed into the fresh file, its pages
    // would bring the damage back.
    QFile wal(Path() + QStringLiteral("-wal"));
    ASSERT_TRUE(wal.open(QIODevice::WriteOnly) && wal.write(QByteArray(64, '\x01')) == 64);
    wal.close();
    const std::string strErr = StartStore(Path());
    ASSERT_TRUE(WaitForEvents([&] { return !m_notices.isEmpty(); }));
    EXPECT_TRUE(m_offs.isEmpty());
    ASSERT_TRUE(AddAndWait(*m_pStore, {MakeGame(Today(12), 10, GameEndCause::Congrat, L"1")}));
    m_pStore.reset();

    const QStringList files = FilesBeside();
    ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^records\\.sqlite\\.corrupt-\\d{8}T\\d{6}Z$")).match(files[1]).hasMatch())
        << files[1].toStdString();
    EXPECT_EQ(files[2], files[1] + "-wal");
    EXPECT_EQ(FileBytes(m_dir.filePath(files[1])), garbage) << "moved, not changed";
    EXPECT_NE(m_notices.first().indexOf(files[1]), -1) << m_notices.first().toStdString();
    EXPECT_NE(strErr.find(files[1].toStdString()), std::string::npos) << strErr;
    CFileReader fresh(Path());
    EXPECT_EQ(fresh.Rows(QStringLiteral("outcome")), QStringList{"won"});
}

TEST_F(RecordFileFaults, ADatabaseWhosePagesAreDamagedGoesAside)
{
    {
        CRecordStore store(Path());
        std::vector<GameRecord> games;
        for (int i = 0; i < 400; ++i)
            games.push_back(MakeGame(Today(7).addSecs(i), 5, GameEndCause::Incorrect, L"2"));
        ASSERT_TRUE(AddAndWait(store, games));
    }
    // Pages in the middle of the file overwritten, as a failing card does;
    // the header stays intact, so only SQLite's own check finds it.
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_GT(file.size(), 8 * 4096);
    file.seek(4096 + 100);
    file.write(QByteArray(3 * 4096, '\x5a'));
    file.close();
    const QByteArray damaged = FileBytes(Path());

    StartStore(Path());
    ASSERT_TRUE(WaitForEvents([&] { return !m_notices.isEmpty(); }));
    EXPECT_TRUE(m_offs.isEmpty());
    ASSERT_TRUE(AddAndWait(*m_pStore, {MakeGame(Today(12), 10, GameEndCause::Congrat, L"1")}));
    m_pStore.reset();
    const QStringList files = FilesBeside();
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
    EXPECT_TRUE(files[1].startsWith("records.sqlite.corrupt-")) << files.join(' ').toStdString();
    EXPECT_EQ(FileBytes(m_dir.filePath(files[1])), damaged);
    CFileReader fresh(Path());
    EXPECT_EQ(fresh.Rows(QStringLiteral("outcome")), QStringList{"won"});
}

TEST_F(RecordFileFaults, AFileFromANewerQuadoIsLeftUntouchedAndRecordsAreOff)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
        db.setDatabaseName(Path());
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("CREATE TABLE plays (id INTEGER PRIMARY KEY, what TEXT)")));
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version = 9")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    const QByteArray before = FileBytes(Path());
    const QDateTime tModified = QFileInfo(Path()).lastModified();

    StartStore(Path());
    ASSERT_TRUE(WaitForEvents([&] { return !m_offs.isEmpty(); }));
    EXPECT_NE(m_offs.first().indexOf("newer Quado (records version 9)"), -1) << m_offs.first().toStdString();
    m_pStore->Add(MakeGame(Today(12), 10, GameEndCause::Congrat, L"1"));
    m_pStore.reset();
    EXPECT_EQ(FileBytes(Path()), before);
    EXPECT_EQ(QFileInfo(Path()).lastModified(), tModified);
    EXPECT_EQ(FilesBeside(), QStringList{"records.sqlite"});
}

TEST_F(RecordFileFaults, AFullDiskStopsRecordsAndKeepsWhatWasWritten)
{
    // SQLite's page limit stands in for the disk: the schema takes three
    // pages, the rows soon fill the rest.
    int nWritten = 0;
    StartStore(Path(), RecordFileSettings{6});
    for (int i = 0; i < 2000 && m_offs.isEmpty(); ++i) {
        if (AddAndWait(*m_pStore, {MakeGame(Today(6).addSecs(i), 10, GameEndCause::Timeout, L"1")}))
            ++nWritten;
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitForEvents([&] { return !m_offs.isEmpty(); }));
    EXPECT_TRUE(m_offs.first().startsWith("the disk holding " + Path() + " is full: free some space"))
        << m_offs.first().toStdString();
    EXPECT_GT(nWritten, 0);
    m_pStore.reset();
    CFileReader file(Path());
    EXPECT_EQ(file.Rows(QStringLiteral("id")).size(), nWritten);
    EXPECT_EQ(file.Pragma("quick_check"), "ok");
}
