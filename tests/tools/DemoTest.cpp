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
            strPrevious.startsWith(QStringLiteral("quado-demo: lit ")))
            EXPECT_EQ(strPrevious, "quado-demo: lit 0");
        if (strLine.startsWith(QStringLiteral("quado-demo: lit ")))
            strPrevious = strLine;
    }
}
