// quado --opening-hours ... --explain as a person runs it: one line on
// standard output, no display needed (none is given), refusals with their
// position and exit status 2.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "tests/support/HangGuard.h"

namespace {

struct ProgramRun {
    int nExit = -1;
    QString strOut;
    QString strErr;
};

ProgramRun Quado(const QStringList& args)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
    // Before the toolkit: without any display at all.
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUADO_PROGRAM), args);
    ProgramRun run;
    if (!process.waitForFinished(testsupport::HangGuardMs))
        return run;
    run.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.strOut = QString::fromUtf8(process.readAllStandardOutput());
    run.strErr = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(HoursExplain, PrintsOneLineWithoutADisplay)
{
    struct Case {
        const char* pszSpec;
        const char* pszAt;
        const char* pszLine;
    };
    const Case cases[] = {
        {"Mo-Fr 10:00-18:00", "2026-12-11T19:00", "closed until 2026-12-14T10:00\n"},
        {"Fr 18:00-02:00", "2026-12-12T01:30", "open until 2026-12-12T02:00\n"},
        {"Mo-Su 10:00-18:00; Dec 24-Jan 02 off", "2026-12-23T19:00", "closed until 2027-01-03T10:00\n"},
        {"01:00-04:00", "2026-03-29T01:30", "open until 2026-03-29T04:00\n"},
        {"24/7", "2026-12-09T12:00", "open\n"},
    };
    for (const Case& entry : cases) {
        const ProgramRun run = Quado({"--opening-hours", entry.pszSpec, "--explain", "--at", entry.pszAt});
        EXPECT_EQ(run.nExit, 0) << entry.pszSpec << ": " << run.strErr.toStdString();
        EXPECT_EQ(run.strOut.toStdString(), entry.pszLine) << entry.pszSpec;
        EXPECT_TRUE(run.strErr.isEmpty()) << run.strErr.toStdString();
    }
}

TEST(HoursExplain, WithoutAtTellsTheStateNow)
{
    const ProgramRun run = Quado({"--opening-hours=off", "--explain"});
    EXPECT_EQ(run.nExit, 0);
    EXPECT_EQ(run.strOut, QStringLiteral("closed\n"));
}

TEST(HoursExplain, RefusalsSayWhereAndWhyAndEndWithStatusTwo)
{
    ProgramRun run = Quado({"--opening-hours", "Mo-Fr 10:00-18:00; PH off", "--explain"});
    EXPECT_EQ(run.nExit, 2);
    EXPECT_TRUE(run.strOut.isEmpty());
    EXPECT_EQ(run.strErr.toStdString(),
              "quado: --opening-hours: position 20: public and school holidays (PH, SH) are not supported\n");
    // Refused at start also when the screen would run.
    run = Quado({"--opening-hours", "Mo-Fr 10:00-18:00, Sa 10:00-12:00"});
    EXPECT_EQ(run.nExit, 2);
    EXPECT_TRUE(run.strErr.contains(QStringLiteral("position 18"))) << run.strErr.toStdString();
    run = Quado({"--opening-hours", "24/7", "--explain", "--at", "2026-03-29T02:30"});
    EXPECT_EQ(run.nExit, 2);
    EXPECT_TRUE(run.strErr.contains(QStringLiteral("skip"))) << run.strErr.toStdString();
    run = Quado({"--explain"});
    EXPECT_EQ(run.nExit, 2);
    EXPECT_TRUE(run.strErr.contains(QStringLiteral("--explain goes with --opening-hours")));
    run = Quado({"--opening-hours", "24/7", "--at", "2026-12-09T12:00"});
    EXPECT_EQ(run.nExit, 2);
    EXPECT_TRUE(run.strErr.contains(QStringLiteral("--at goes with --explain")));
}

} // namespace
