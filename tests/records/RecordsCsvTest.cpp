// The export as a spreadsheet or a venue's script reads it: RFC 4180 read
// back by a parser of the test's own (quotes, commas, line breaks and
// non-ASCII in a field survive), --since, and quado --export-records run
// with no display at all, with its exit codes and one-line refusals.
#include "tests/records/RecordsTestSupport.h"

#include <QProcessEnvironment>

#include "records/RecordsCsv.h"
#include "tests/tools/ToolsTestSupport.h"

using namespace recordstest;

namespace {

// RFC 4180 as a strict reader takes it: records end with CRLF, a quoted
// field may hold anything with its quotes doubled. Fails (empty) on
// anything else: a bare LF, a quote inside an unquoted field.
std::optional<QList<QStringList>> ParseCsv(const QByteArray& bytes)
{
    QList<QStringList> records;
    QStringList record;
    QByteArray field;
    bool bQuoted = false;
    qsizetype i = 0;
    const auto endField = [&] {
        record << QString::fromUtf8(field);
        field.clear();
    };
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (bQuoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"') {
                field += '"';
                i += 2;
            } else if (c == '"') {
                bQuoted = false;
                ++i;
                if (i < bytes.size() && bytes[i] != ',' && bytes[i] != '\r')
                    return std::nullopt;
            } else {
                field += c;
                ++i;
            }
        } else if (c == '"' && field.isEmpty()) {
            bQuoted = true;
            ++i;
        } else if (c == ',') {
            endField();
            ++i;
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            endField();
            records << record;
            record.clear();
            i += 2;
        } else if (c == '"' || c == '\r' || c == '\n') {
            return std::nullopt;
        } else {
            field += c;
            ++i;
        }
    }
    if (bQuoted || !field.isEmpty() || !record.isEmpty())
        return std::nullopt;
    return records;
}

class RecordsExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        CRecordStore store(Path());
        ASSERT_TRUE(AddAndWait(
            store, {MakeGame(QDateTime(QDate(2026, 5, 30), QTime(9, 0), Qt::UTC), 61, GameEndCause::Congrat, L"8"),
                    MakeGame(QDateTime(QDate(2026, 6, 2), QTime(12, 0), Qt::UTC), 5, GameEndCause::Press,
                             L"a, \"b\"\r\nc", L"\u00bd", "D\u00c4-1"),
                    MakeGame(QDateTime(QDate(2026, 6, 3), QTime(12, 0), Qt::UTC), 2, GameEndCause::AdapterLost,
                             L"=1+1")}));
    }

    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    // quado as a script runs it: no display, no platform named.
    toolstest::RunResult RunQuado(const QStringList& args)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(pszName));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("empty")));
        return toolstest::RunProgram(QString::fromLatin1(QUADO_PROGRAM), args, {}, environment);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(RecordsExport, EveryGameIsARowThatAStrictReaderGetsBackWhole)
{
    const QString strCsv = m_dir.filePath(QStringLiteral("out.csv"));
    QString strError;
    ASSERT_TRUE(ExportRecords(Path(), strCsv, std::nullopt, strError)) << strError.toStdString();
    const std::optional<QList<QStringList>> csv = ParseCsv(FileBytes(strCsv));
    ASSERT_TRUE(csv.has_value()) << FileBytes(strCsv).constData();
    ASSERT_EQ(csv->size(), 4);
    EXPECT_EQ(csv->at(0), (QStringList{"start_utc", "end_utc", "duration_s", "outcome", "cause", "level_reached",
                                       "level_number", "max_level", "adapter_serial"}));
    EXPECT_EQ(csv->at(1), (QStringList{"2026-05-30T09:00:00.000Z", "2026-05-30T09:01:01.000Z", "61.000", "won",
                                       "congrat", "8", "8", "12", "DRAVIK-0001"}));
    EXPECT_EQ(csv->at(2), (QStringList{"2026-06-02T12:00:00.000Z", "2026-06-02T12:00:05.000Z", "5.000", "abandoned",
                                       "press", "a, \"b\"\r\nc", "", QStringLiteral(u"\u00bd"),
                                       QStringLiteral(u"D\u00c4-1")}));
    // What the board sent is never a formula to the spreadsheet that opens it.
    EXPECT_EQ(csv->at(3).mid(3, 4), (QStringList{"abandoned", "adapter_lost", "'=1+1", ""}));
}

TEST_F(RecordsExport, TheCommandLineNeedsNoDisplayAndSaysWhyWhenItFails)
{
    const toolstest::RunResult all = RunQuado({"--records", Path(), "--export-records", "-"});
    ASSERT_EQ(all.nExitCode, 0) << all.stderrBytes.constData();
    EXPECT_TRUE(all.stderrBytes.isEmpty()) << all.stderrBytes.constData();
    ASSERT_TRUE(ParseCsv(all.stdoutBytes).has_value());
    EXPECT_EQ(ParseCsv(all.stdoutBytes)->size(), 4);

    // From a local day on: the day of the second game, wherever this runs.
    const QString strSince = QDateTime(QDate(2026, 6, 2), QTime(12, 0), Qt::UTC).toLocalTime().date().toString(Qt::ISODate);
    const QString strCsv = m_dir.filePath(QStringLiteral("since.csv"));
    const toolstest::RunResult since = RunQuado({"--records", Path(), "--export-records", strCsv, "--since", strSince});
    ASSERT_EQ(since.nExitCode, 0) << since.stderrBytes.constData();
    const std::optional<QList<QStringList>> csv = ParseCsv(FileBytes(strCsv));
    ASSERT_TRUE(csv.has_value());
    ASSERT_EQ(csv->size(), 3);
    EXPECT_EQ(csv->at(1).at(4), "press");

    struct Refusal {
        QStringList args;
        int nExit;
        const char* pszSays;
    };
    const Refusal refusals[] = {
        {{"--export-records", "-"}, 1, "there are no records at "},
        {{"--records", Path(), "--export-records", m_dir.filePath("no/such/folder/x.csv")}, 1, "cannot write "},
        {{"--records", Path(), "--export-records", "-", "--since", "2026-02-29"}, 2, "bad value '2026-02-29'"},
        {{"--records", Path(), "--since", "2026-02-28"}, 2, "--since goes with --export-records"},
    };
    for (const Refusal& refusal : refusals) {
        const toolstest::RunResult run = RunQuado(refusal.args);
        EXPECT_EQ(run.nExitCode, refusal.nExit) << refusal.args.join(' ').toStdString();
        EXPECT_TRUE(run.stdoutBytes.isEmpty());
        EXPECT_EQ(run.stderrBytes.count('\n'), 1) << run.stderrBytes.constData();
        EXPECT_TRUE(run.stderrBytes.contains(refusal.pszSays)) << run.stderrBytes.constData();
    }
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("no")));
}

TEST_F(RecordsExport, AnExportOnlyReadsAndLeavesNothingBesideTheFile)
{
    const auto exported = [&] {
        const toolstest::RunResult run = RunQuado({"--records", Path(), "--export-records", "-"});
        const std::optional<QList<QStringList>> csv = ParseCsv(run.stdoutBytes);
        return run.nExitCode == 0 && csv ? QString::number(csv->size()) : QString::fromLocal8Bit(run.stderrBytes);
    };
    // At rest Quado's file is one file.
    const QStringList alone = Beside(m_dir.path());
    ASSERT_EQ(alone, QStringList{"records.sqlite"});
    EXPECT_EQ(exported(), "4");
    EXPECT_EQ(Beside(m_dir.path()), alone);

    // While a Quado keeps records in it, its log and the log's index are
    // there: the export reads them and makes nothing more.
    {
        CRecordStore store(Path());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(Today(10), 5, GameEndCause::Timeout, L"2")}));
        const QStringList running = Beside(m_dir.path());
        EXPECT_EQ(running, (QStringList{"records.sqlite", "records.sqlite-shm", "records.sqlite-wal"}));
        EXPECT_EQ(exported(), "5") << "the game still in the log was missed";
        EXPECT_EQ(Beside(m_dir.path()), running);
    }
    EXPECT_EQ(Beside(m_dir.path()), alone) << "Quado left its log beside the file";

    // A file an older Quado left in the log's format: whole in itself, read
    // without the index SQLite would otherwise make beside it.
    ASSERT_TRUE(SetJournalMode(Path(), "WAL"));
    ASSERT_EQ(Beside(m_dir.path()), alone);
    const QByteArray before = FileBytes(Path());
    EXPECT_EQ(exported(), "5");
    EXPECT_EQ(Beside(m_dir.path()), alone);
    EXPECT_EQ(FileBytes(Path()), before);
}
