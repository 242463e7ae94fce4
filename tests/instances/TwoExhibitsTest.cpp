// Two exhibits on one computer with two monitors, as a venue runs them: two
// quado-demo processes (each with its own simulated adapter, one game held
// in progress), each named and started from its own options file, on the
// toolkit's offscreen platform given two named screens side by side. Each
// full-screen window lands on its own monitor, each game is kept in its own
// exhibit's records file, and a monitor that is not there gives way to the
// primary one.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <signal.h>

#include "records/RecordFile.h"
#include "tests/end/EndTestSupport.h"
#include "tests/support/EventWait.h"
#include "tests/tools/ToolsTestSupport.h"

using endtest::CHeldGameDemo;

namespace {

class TwoExhibits : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strData = qgetenv("XDG_DATA_HOME");
        m_strConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(In("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(In("config")));
        Write("screens.json", R"({"screens": [
            {"name": "HDMI-1", "x": 0, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "dpr": 1},
            {"name": "HDMI-2", "x": 1920, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "dpr": 1}]})");
    }
    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", m_strData);
        qputenv("XDG_CONFIG_HOME", m_strConfig);
    }

    QString In(const char* pszPath) const { return m_dir.filePath(QString::fromLatin1(pszPath)); }
    QString Write(const char* pszName, const char* pszText) const
    {
        QFile file(In(pszName));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(pszText);
        return file.fileName();
    }
    // The toolkit's options first: the demo's parser passes them over.
    QStringList TwoScreens() const
    {
        return {QStringLiteral("-platform"), QStringLiteral("offscreen:configfile=") + In("screens.json")};
    }
    // Runs the UI thread's events until the demo says its window stands so.
    static bool WaitForScreenLine(CHeldGameDemo& demo, const QString& strLine)
    {
        const QString strSays = QStringLiteral("quado-demo: ") + strLine + QLatin1Char('\n');
        testsupport::WaitForEvents([&] { return demo.Stdout().contains(strSays); });
        return demo.Stdout().contains(strSays);
    }
    // The last place the demo reported for its window.
    static QString LastScreenLine(CHeldGameDemo& demo)
    {
        const QStringList lines = demo.Stdout().split(QLatin1Char('\n'));
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (it->startsWith(QStringLiteral("quado-demo: screen ")))
                return it->mid(12);
        }
        return {};
    }
    static std::vector<std::string> SerialsIn(const QString& strPath)
    {
        std::vector<std::string> serials;
        CRecordFile file(strPath, CRecordFile::Mode::ReadOnly);
        QString strReason;
        QString strNotice;
        if (file.Start(strReason, strNotice) != CRecordFile::Status::Open)
            return serials;
        QString strError;
        file.ForEach(std::nullopt, [&](const RecordedGame& game) {
            serials.push_back(game.strSerial.toStdString());
            return true;
        }, strError);
        return serials;
    }

    QTemporaryDir m_dir;
    QByteArray m_strData;
    QByteArray m_strConfig;
};

} // namespace

TEST_F(TwoExhibits, EachFullScreenWindowLandsOnItsOwnMonitorAndEachGameInItsOwnRecords)
{
    const QString strLeft = Write("left.conf", "# the left exhibit\nscreen=HDMI-1\nkiosk=true\n");
    const QString strRight = Write("right.conf", "[quado]\nscreen = HDMI-2\nkiosk\n");
    CHeldGameDemo left;
    CHeldGameDemo right;
    ASSERT_TRUE(left.Start(TwoScreens() + QStringList{"--instance", "left", "--config", strLeft}));
    ASSERT_TRUE(right.Start(TwoScreens() + QStringList{"--instance", "right", "--config", strRight}));
    ASSERT_TRUE(left.WaitForHeldGame()) << left.Stderr().toStdString();
    ASSERT_TRUE(right.WaitForHeldGame()) << right.Stderr().toStdString();
    EXPECT_TRUE(WaitForScreenLine(left, QStringLiteral("screen HDMI-1 0,0 1920x1080 full"))) << left.Stdout().toStdString();
    EXPECT_TRUE(WaitForScreenLine(right, QStringLiteral("screen HDMI-2 1920,0 1920x1080 full")))
        << right.Stdout().toStdString();

    left.Signal(SIGTERM);
    right.Signal(SIGTERM);
    EXPECT_EQ(left.WaitForEnd(), 0) << left.Stderr().toStdString();
    EXPECT_EQ(right.WaitForEnd(), 0) << right.Stderr().toStdString();
    // Where each stood until its end: never on the other's monitor.
    EXPECT_EQ(LastScreenLine(left), "screen HDMI-1 0,0 1920x1080 full");
    EXPECT_EQ(LastScreenLine(right), "screen HDMI-2 1920,0 1920x1080 full");

    // The game each held was kept as abandoned, once, in its own file.
    EXPECT_EQ(SerialsIn(In("data/quado/left/records.sqlite")), std::vector<std::string>{"DEMO0001"});
    EXPECT_EQ(SerialsIn(In("data/quado/right/records.sqlite")), std::vector<std::string>{"DEMO0001"});
    EXPECT_FALSE(QFile::exists(In("data/quado/records.sqlite"))) << "a named exhibit wrote the unnamed one's records";

    // quado itself reads a named exhibit's records from the same place.
    const toolstest::RunResult exported =
        toolstest::RunProgram(QStringLiteral(QUADO_PROGRAM), {"--instance", "left", "--export-records", "-"});
    EXPECT_EQ(exported.nExitCode, 0) << exported.stderrBytes.constData();
    EXPECT_EQ(exported.stdoutBytes.count("DEMO0001"), 1) << exported.stdoutBytes.constData();
}

TEST_F(TwoExhibits, AMonitorThatIsNotThereGivesWayToThePrimaryOneAndAnIndexPicksByOrder)
{
    CHeldGameDemo missing;
    CHeldGameDemo second;
    ASSERT_TRUE(missing.Start(TwoScreens() + QStringList{"--instance", "a", "--kiosk", "--screen", "DP-7"}));
    ASSERT_TRUE(second.Start(TwoScreens() + QStringList{"--instance", "b", "--kiosk", "--screen", "1"}));
    ASSERT_TRUE(missing.WaitForHeldGame()) << missing.Stderr().toStdString();
    ASSERT_TRUE(second.WaitForHeldGame()) << second.Stderr().toStdString();
    EXPECT_TRUE(WaitForScreenLine(missing, QStringLiteral("screen HDMI-1 0,0 1920x1080 full")))
        << missing.Stdout().toStdString();
    EXPECT_TRUE(WaitForScreenLine(second, QStringLiteral("screen HDMI-2 1920,0 1920x1080 full")))
        << second.Stdout().toStdString();
    missing.Signal(SIGTERM);
    second.Signal(SIGTERM);
    EXPECT_EQ(missing.WaitForEnd(), 0);
    EXPECT_EQ(second.WaitForEnd(), 0);
    EXPECT_TRUE(missing.Stderr().contains(QStringLiteral(
        "Quado: no screen 'DP-7' (there are: HDMI-1, HDMI-2); using the primary screen until it appears\n")))
        << missing.Stderr().toStdString();
    EXPECT_FALSE(second.Stderr().contains(QStringLiteral("no screen"))) << second.Stderr().toStdString();
}
