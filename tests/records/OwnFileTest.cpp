// Quado never writes into nor replaces what is not a file of its own: a
// device node, a named pipe, a socket or a folder named by --records,
// --export-records or --metrics-file is refused at start (exit status 2,
// one line) and is still what it was afterwards; File > Export Records
// refuses one the same way.
#include "tests/records/RecordsTestSupport.h"

#include <QDir>
#include <QProcessEnvironment>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include "records/RecordFile.h"
#include "records/RecordsCsv.h"
#include "tests/support/NeedTool.h"
#include "tests/tools/ToolsTestSupport.h"

using namespace recordstest;

namespace {

// The type and device number that stand at a path, as lstat sees them.
struct Standing {
    mode_t nType = 0;
    dev_t nDevice = 0;
    bool operator==(const Standing&) const = default;
};

Standing StandingAt(const QString& strPath)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(strPath).constData(), &st) != 0)
        return {};
    return {st.st_mode & S_IFMT, st.st_rdev};
}

class OwnFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        CRecordStore store(Records());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(Today(9), 30, GameEndCause::Congrat, L"4")}));
    }
    void TearDown() override
    {
        if (m_nSocket >= 0)
            ::close(m_nSocket);
    }

    QString In(const char* pszName) const { return m_dir.filePath(QString::fromLatin1(pszName)); }
    QString Records() const { return In("records.sqlite"); }

    // A character device like /dev/null (1, 3), where nothing else uses it.
    static bool MakeDevice(const QString& strPath)
    {
        return ::mknod(QFile::encodeName(strPath).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    }
    static bool MakePipe(const QString& strPath) { return ::mkfifo(QFile::encodeName(strPath).constData(), 0666) == 0; }
    bool MakeSocket(const QString& strPath)
    {
        m_nSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(strPath);
        if (m_nSocket < 0 || name.size() >= qsizetype(sizeof address.sun_path))
            return false;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        return ::bind(m_nSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    // quado or quado-demo as a venue starts them; the demo plays and ends by
    // itself should it not refuse.
    toolstest::RunResult Run(const char* pszProgram, const QStringList& args) const
    {
        QProcessEnvironment environment = DemoEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), In("data"));
        return toolstest::RunProgram(QString::fromLatin1(pszProgram), args, {}, environment);
    }

    // Every way Quado could write at strPath: each refused with exit status
    // 2 and one line naming the option, the path and what stands there.
    void ExpectEveryWriterRefuses(const QString& strPath, const char* pszKind)
    {
        struct Attempt {
            const char* pszProgram;
            QStringList args;
            const char* pszOption;
        };
        const Attempt attempts[] = {
            {QUADO_DEMO, {"--metrics-file", strPath}, "--metrics-file"},
            {QUADO_DEMO, {"--records", strPath}, "--records"},
            {QUADO_PROGRAM, {"--records", strPath, "--export-records", "-"}, "--records"},
            {QUADO_PROGRAM, {"--records", Records(), "--export-records", strPath}, "--export-records"},
        };
        const Standing before = StandingAt(strPath);
        const QString strSays = QStringLiteral("%1 is %2, not a file").arg(strPath, QString::fromLatin1(pszKind));
        for (const Attempt& attempt : attempts) {
            const toolstest::RunResult run = Run(attempt.pszProgram, attempt.args);
            const std::string strWhat = QString::fromLatin1(attempt.pszProgram).section('/', -1).toStdString() + " " +
                                        attempt.args.join(' ').toStdString();
            EXPECT_EQ(run.nExitCode, 2) << strWhat << "\n" << run.stderrBytes.constData();
            EXPECT_EQ(run.stderrBytes.count('\n'), 1) << strWhat << "\n" << run.stderrBytes.constData();
            EXPECT_TRUE(QString::fromLocal8Bit(run.stderrBytes).contains(QLatin1String(attempt.pszOption) + ": " + strSays))
                << strWhat << "\n" << run.stderrBytes.constData();
            EXPECT_TRUE(run.stdoutBytes.isEmpty()) << strWhat;
            EXPECT_TRUE(StandingAt(strPath) == before) << strWhat << ": what stood there was replaced";
        }

        // File > Export Records: the store's own connection, the same refusal.
        CRecordFile file(Records(), CRecordFile::Mode::Write);
        QString strReason;
        QString strNotice;
        ASSERT_EQ(file.Start(strReason, strNotice), CRecordFile::Status::Open) << strReason.toStdString();
        QString strError;
        EXPECT_FALSE(ExportCsvFile(file, strPath, std::nullopt, strError));
        EXPECT_EQ(strError, strSays);
        EXPECT_TRUE(StandingAt(strPath) == before);
    }

    QTemporaryDir m_dir;
    int m_nSocket = -1;
};

} // namespace

TEST_F(OwnFiles, ADeviceNodeIsRefusedWhereverQuadoWritesAndStaysADevice)
{
    QUADO_NEED(::geteuid() == 0, "making a device node needs root");
    const QString strNode = In("null");
    ASSERT_TRUE(MakeDevice(strNode)) << std::strerror(errno);
    ExpectEveryWriterRefuses(strNode, "a device");
    const Standing node = StandingAt(strNode);
    EXPECT_EQ(node.nType, mode_t(S_IFCHR));
    EXPECT_EQ(node.nDevice, makedev(1, 3));
    // No temporary file was left beside it either.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{"null", "records.sqlite"}));
}

TEST_F(OwnFiles, APipeASocketAndAFolderAreRefusedAndLeftAsTheyWere)
{
    ASSERT_TRUE(MakePipe(In("pipe"))) << std::strerror(errno);
    ExpectEveryWriterRefuses(In("pipe"), "a named pipe");
    EXPECT_EQ(StandingAt(In("pipe")).nType, mode_t(S_IFIFO));

    ASSERT_TRUE(MakeSocket(In("socket"))) << std::strerror(errno);
    ExpectEveryWriterRefuses(In("socket"), "a socket");
    EXPECT_EQ(StandingAt(In("socket")).nType, mode_t(S_IFSOCK));

    ASSERT_TRUE(QDir().mkdir(In("folder")));
    ExpectEveryWriterRefuses(In("folder"), "a folder");
    EXPECT_EQ(StandingAt(In("folder")).nType, mode_t(S_IFDIR));
    EXPECT_TRUE(QDir(In("folder")).isEmpty());

    // A link to one of them is what it leads to.
    ASSERT_TRUE(QFile::link(In("pipe"), In("link")));
    ExpectEveryWriterRefuses(In("link"), "a named pipe");
    EXPECT_EQ(StandingAt(In("link")).nType, mode_t(S_IFLNK));
}
