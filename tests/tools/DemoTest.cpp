// quado-demo started as a user starts it, connected through its test hook:
// the simulated board's games reach the real board view.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "tests/tools/ToolsTestSupport.h"

using namespace toolstest;

TEST(Demo, ConnectedTheBoardPlaysColoursAndLevelsAndDisconnectsCleanly)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUADO_DEMO_CONNECT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QUADO_DEMO_SPEED"), QStringLiteral("5"));
    environment.insert(QStringLiteral("QUADO_DEMO_QUIT_AFTER_MS"), QStringLiteral("4000"));
    const RunResult run = RunProgram(QStringLiteral(QUADO_DEMO), {}, {}, environment);
    ASSERT_FALSE(run.bCrashed) << run.stderrBytes.constData();
    EXPECT_EQ(run.nExitCode, 0);

    const QString strOut = QString::fromUtf8(run.stdoutBytes);
    const QStringList lines = strOut.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty()) << run.stderrBytes.constData();
    EXPECT_EQ(lines.first(), "quado-demo: connected");
    EXPECT_EQ(lines.last(), "quado-demo: disconnected");
    EXPECT_TRUE(strOut.contains(QRegularExpression(QStringLiteral("quado-demo: lit [1-4]\n")))) << strOut.toStdString();
    EXPECT_TRUE(strOut.contains(QStringLiteral("quado-demo: panel Level:|1 of 5||Schwierigkeit:|1 aus 5")))
        << strOut.toStdString();
    // Every colour the board lit went dark again before the next one.
    QString strPrevious;
    for (const QString& strLine : lines) {
        if (strLine.startsWith(QStringLiteral("quado-demo: lit ")) && strLine != QStringLiteral("quado-demo: lit 0") &&
            strPrevious.startsWith(QStringLiteral("quado-demo: lit "))) {
            EXPECT_EQ(strPrevious, "quado-demo: lit 0");
        }
        if (strLine.startsWith(QStringLiteral("quado-demo: lit ")))
            strPrevious = strLine;
    }
}

TEST(Demo, ConnectingAutomaticallyItComesBackAfterEveryReplugAndPlaysOn)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUADO_DEMO_SPEED"), QStringLiteral("5"));
    environment.insert(QStringLiteral("QUADO_DEMO_QUIT_AFTER_MS"), QStringLiteral("7500"));
    const RunResult run = RunProgram(QStringLiteral(QUADO_DEMO), {QStringLiteral("--connect"),
                                     QStringLiteral("--replug-every"), QStringLiteral("2")}, {}, environment);
    ASSERT_FALSE(run.bCrashed) << run.stderrBytes.constData();
    EXPECT_EQ(run.nExitCode, 0);
    const QStringList lines = QString::fromUtf8(run.stdoutBytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty()) << run.stderrBytes.constData();
    EXPECT_EQ(lines.first(), "quado-demo: connected") << "nobody pressed Connect";
    // Three replugs in 7.5 s: each unplug is followed by a reconnection, and
    // the board lights colours after it.
    const qsizetype nConnects = lines.count(QStringLiteral("quado-demo: connected"));
    EXPECT_GE(nConnects, 3) << run.stdoutBytes.constData();
    bool bLitAfter = false;
    for (qsizetype i = lines.indexOf(QStringLiteral("quado-demo: connected"), 1); i >= 0 && i < lines.size(); ++i)
        bLitAfter = bLitAfter || lines[i].contains(QRegularExpression(QStringLiteral("^quado-demo: lit [1-4]$")));
    EXPECT_TRUE(bLitAfter) << run.stdoutBytes.constData();
}

TEST(Demo, AnswersHelpAndRefusesABadReplugPeriod)
{
    const RunResult help = RunProgram(QStringLiteral(QUADO_DEMO), {QStringLiteral("--help")});
    ASSERT_FALSE(help.bCrashed);
    EXPECT_EQ(help.nExitCode, 0);
    EXPECT_TRUE(help.stdoutBytes.contains("--replug-every")) << help.stdoutBytes.constData();
    const RunResult bad = RunProgram(QStringLiteral(QUADO_DEMO), {QStringLiteral("--replug-every=0.5")});
    ASSERT_FALSE(bad.bCrashed);
    EXPECT_EQ(bad.nExitCode, 2);
    EXPECT_EQ(bad.stderrBytes.count('\n'), 1) << bad.stderrBytes.constData();
}

TEST(Demo, HelpListsTheEnvironmentVariablesItReads)
{
    const RunResult run = RunProgram(QStringLiteral(QUADO_DEMO), {QStringLiteral("--help")});
    ASSERT_EQ(run.nExitCode, 0) << run.stderrBytes.constData();
    for (const char* pszVariable :
         {"QUADO_DEMO_CONNECT=1", "QUADO_DEMO_SPEED=", "QUADO_DEMO_QUIT_AFTER_MS=", "QUADO_DEMO_SEED=",
          "QUADO_DEMO_HOLD_AT_LEVEL="})
        EXPECT_TRUE(run.stdoutBytes.contains(pszVariable)) << pszVariable;
}
