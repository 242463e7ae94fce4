// A records file Quado cannot write is left exactly as it was, byte for
// byte, and stays readable by sqlite3 and by quado --export-records: on a
// full disk (a small tmpfs this test mounts), read-only for the user, in a
// folder the user cannot write. The refusal says what is wrong in plain
// words, once.
#include "tests/records/RecordsTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include "tests/support/NeedTool.h"
#include "tests/tools/ToolsTestSupport.h"

using namespace recordstest;

namespace {

constexpr int HeaderWriteVersion = 18;

// A tmpfs of its own for one test: mounted on a folder, filled to the last
// block on demand, taken away with the test.
class CSmallDisk {
public:
    CSmallDisk(const QString& strFolder, int nKiB)
        : m_strFolder(strFolder)
    {
        QDir().mkpath(strFolder);
        m_bMounted = QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o",
                                                                 QStringLiteral("size=%1k,mode=0777").arg(nKiB),
                                                                 "quado-test", strFolder}) == 0;
    }
    ~CSmallDisk()
    {
        if (m_bMounted)
            QProcess::execute(QStringLiteral("umount"), {m_strFolder});
    }
    bool IsMounted() const { return m_bMounted; }

    // A file grown until the disk refuses, in ever smaller writes, then cut
    // by nLeaveBytes: room for a small change, none for a write-ahead log.
    bool Fill(off_t nLeaveBytes = 0) const
    {
        const int nFd = ::open(QFile::encodeName(m_strFolder + QStringLiteral("/filler")).constData(),
                               O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (nFd < 0)
            return false;
        const QByteArray block(64 * 1024, 'x');
        int nErrno = 0;
        for (qsizetype nSize = block.size(); nSize >= 1; nSize /= 2) {
            while (::write(nFd, block.constData(), size_t(nSize)) == nSize) {
            }
            nErrno = errno;
        }
        const off_t nEnd = ::lseek(nFd, 0, SEEK_END);
        const bool bCut = nEnd > nLeaveBytes && ::ftruncate(nFd, nEnd - nLeaveBytes) == 0;
        ::close(nFd);
        return nErrno == ENOSPC && bCut;
    }

private:
    QString m_strFolder;
    bool m_bMounted = false;
};

class UnwritableFile : public ::testing::Test {
protected:
    QString In(const QString& strName) const { return m_dir.filePath(strName); }


    // pszProgram, as the user nobody when this test runs as root.
    static toolstest::RunResult Run(const char* pszProgram, const QStringList& args, bool bAsNobody = false)
    {
        if (!bAsNobody)
            return toolstest::RunProgram(QString::fromLatin1(pszProgram), args, {}, DemoEnvironment());
        const QStringList asNobody = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                                                 QString::fromLatin1(pszProgram)} + args;
        return toolstest::RunProgram(QStringLiteral("setpriv"), asNobody, {}, DemoEnvironment());
    }

    // The file's games as sqlite3 counts them.
    static QString Sqlite3Count(const QString& strPath)
    {
        const toolstest::RunResult run = toolstest::RunProgram(
            QStringLiteral("sqlite3"), {strPath, QStringLiteral("SELECT count(*) FROM games")});
        return run.nExitCode == 0 ? QString::fromUtf8(run.stdoutBytes).trimmed()
                                  : QStringLiteral("sqlite3 failed: ") + QString::fromUtf8(run.stderrBytes);
    }

    // The export's rows, header included, or its complaint.
    static QString ExportLines(const QString& strPath, bool bAsNobody = false)
    {
        const toolstest::RunResult run =
            Run(QUADO_PROGRAM, {QStringLiteral("--records"), strPath, QStringLiteral("--export-records"), "-"},
                bAsNobody);
        return run.nExitCode == 0 ? QString::number(run.stdoutBytes.count('\n'))
                                  : QStringLiteral("export failed: ") + QString::fromUtf8(run.stderrBytes);
    }

    static void MakeRecords(const QString& strPath, int nGames)
    {
        CRecordStore store(strPath);
        std::vector<GameRecord> games;
        for (int i = 0; i < nGames; ++i)
            games.push_back(MakeGame(Today(8).addSecs(60 * i), 20, GameEndCause::Incorrect, L"3"));
        ASSERT_TRUE(AddAndWait(store, games));
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(UnwritableFile, OnAFullDiskTheFileIsLeftByteForByteAndStaysReadable)
{
    QUADO_NEED(::geteuid() == 0, "mounting a small tmpfs needs root");
    QUADO_NEED(!QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty(),
               "sqlite3 (Debian package sqlite3) is not installed");
    const CSmallDisk disk(In("disk"), 4096);
    QUADO_NEED(disk.IsMounted(), "mount -t tmpfs is not allowed here");
    // A user's file in the journal sqlite3 gives a file: Quado would switch
    // it to its log first.
    const QString strPath = In("disk/records.sqlite");
    MakeRecords(strPath, 3);
    ASSERT_TRUE(SetJournalMode(strPath, "DELETE"));
    // Full as a disk is in use: a few pages free, far less than SQLite's log
    // and its index need.
    ASSERT_TRUE(disk.Fill(16 * 1024));
    const QByteArray before = FileBytes(strPath);
    ASSERT_EQ(before.at(HeaderWriteVersion), 1);
    const QStringList files = Beside(In("disk"));

    // The store in this process, then quado-demo playing games into it.
    CRecordStore store(strPath);
    QStringList offs;
    QObject::connect(&store, &CRecordStore::Off, [&offs](const QString& str) { offs << str; });
    ASSERT_TRUE(WaitForEvents([&] { return !offs.isEmpty(); }));
    EXPECT_TRUE(offs.first().startsWith("the disk holding " + strPath + " is full")) << offs.first().toStdString();
    EXPECT_TRUE(offs.first().contains("free some space")) << offs.first().toStdString();
    store.Add(MakeGame(Today(12), 10, GameEndCause::Congrat, L"5"));
    const toolstest::RunResult demo = Run(QUADO_DEMO, {QStringLiteral("--records"), strPath});
    EXPECT_FALSE(demo.bCrashed) << demo.stderrBytes.constData();
    EXPECT_TRUE(demo.stderrBytes.contains(
        QStringLiteral("Quado: records off: the disk holding %1 is full").arg(strPath).toLocal8Bit()))
        << demo.stderrBytes.constData();
    EXPECT_TRUE(demo.stdoutBytes.contains("quado-demo: connected")) << "the demo played no game";

    EXPECT_EQ(FileBytes(strPath), before);
    EXPECT_EQ(Beside(In("disk")), files);
    // Read while the disk is still full, by another program and by Quado.
    EXPECT_EQ(Sqlite3Count(strPath), "3");
    EXPECT_EQ(ExportLines(strPath), "4");
    EXPECT_EQ(FileBytes(strPath), before);
    EXPECT_EQ(Beside(In("disk")), files) << "a reader left a file beside it";
}

TEST_F(UnwritableFile, QuadosOwnFileIsOneFileAtRestAndReadableWhenItsDiskFills)
{
    QUADO_NEED(::geteuid() == 0, "mounting a small tmpfs needs root");
    QUADO_NEED(!QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty(),
               "sqlite3 (Debian package sqlite3) is not installed");
    const CSmallDisk disk(In("disk"), 4096);
    QUADO_NEED(disk.IsMounted(), "mount -t tmpfs is not allowed here");
    const QString strOwn = In("disk/own.sqlite");
    MakeRecords(strOwn, 2);
    // Closed, the file is in the journal every reader knows, alone.
    EXPECT_EQ(FileBytes(strOwn).at(HeaderWriteVersion), 1);
    // A file an older Quado left in its log's format, the log written back.
    const QString strOlder = In("disk/older.sqlite");
    MakeRecords(strOlder, 4);
    ASSERT_TRUE(SetJournalMode(strOlder, "WAL"));
    ASSERT_EQ(FileBytes(strOlder).at(HeaderWriteVersion), 2);
    ASSERT_TRUE(disk.Fill());
    const QStringList files = Beside(In("disk"));
    EXPECT_EQ(files, (QStringList{"filler", "older.sqlite", "own.sqlite"}));

    EXPECT_EQ(Sqlite3Count(strOwn), "2");
    EXPECT_EQ(ExportLines(strOwn), "3");
    // The older file is whole: the export reads it without making the index
    // a full disk has no room for.
    const QByteArray older = FileBytes(strOlder);
    EXPECT_EQ(ExportLines(strOlder), "5");
    EXPECT_EQ(FileBytes(strOlder), older);
    EXPECT_EQ(Beside(In("disk")), files);
}

TEST_F(UnwritableFile, AReadOnlyFileAndAClosedFolderAreSaidInPlainWordsAndLeftAlone)
{
    const bool bRoot = ::geteuid() == 0;
    QUADO_NEED(!bRoot || !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty(),
               "setpriv (util-linux) is needed to run Quado as another user");
    // Root writes any file: Quado runs as nobody then, in a folder nobody
    // may enter.
    const QString strUser = bRoot ? QStringLiteral("nobody") : QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777));
    const QString strPath = In(QStringLiteral("records.sqlite"));
    MakeRecords(strPath, 2);
    if (!bRoot)
        QFile::setPermissions(strPath, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray before = FileBytes(strPath);
    const QStringList files = Beside(m_dir.path());

    const toolstest::RunResult demo = Run(QUADO_DEMO, {QStringLiteral("--records"), strPath}, bRoot);
    EXPECT_FALSE(demo.bCrashed) << demo.stderrBytes.constData();
    const QString strSays = QStringLiteral("Quado: records off: %1 is read-only for user %2: ").arg(strPath, strUser);
    EXPECT_TRUE(QString::fromLocal8Bit(demo.stderrBytes).contains(strSays)) << demo.stderrBytes.constData();
    EXPECT_FALSE(demo.stderrBytes.contains("Unable to fetch row")) << demo.stderrBytes.constData();
    EXPECT_EQ(FileBytes(strPath), before);
    EXPECT_EQ(Beside(m_dir.path()), files);
    // The one who may not write it still exports it, and leaves nothing.
    EXPECT_EQ(ExportLines(strPath, bRoot), "3");
    EXPECT_EQ(Beside(m_dir.path()), files);

    if (bRoot) {
        // A file nobody may write, in a folder nobody may write: the folder
        // is named, for the journal SQLite keeps beside the file.
        QFile::setPermissions(strPath, QFileDevice::Permissions(0x6666));
        QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755));
        const toolstest::RunResult closed = Run(QUADO_DEMO, {QStringLiteral("--records"), strPath}, true);
        const QString strFolder =
            QStringLiteral("Quado: records off: the folder %1 cannot be written by user nobody").arg(m_dir.path());
        EXPECT_TRUE(QString::fromLocal8Bit(closed.stderrBytes).contains(strFolder)) << closed.stderrBytes.constData();
        EXPECT_EQ(FileBytes(strPath), before);
        EXPECT_EQ(ExportLines(strPath, true), "3");
        EXPECT_EQ(Beside(m_dir.path()), files);
    }
}
