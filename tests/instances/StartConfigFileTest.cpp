// Start options from a file (--config): the same options as the command
// line, the command line winning, and every refusal naming the file and the
// line; the refusals also from the real program, before any display.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "app/StartConfigFile.h"
#include "tests/tools/ToolsTestSupport.h"

namespace {

class ConfigFile : public ::testing::Test {
protected:
    std::string Write(const char* pszText, const char* pszName = "exhibit.conf")
    {
        const QString strPath = m_dir.filePath(QString::fromLatin1(pszName));
        QFile file(strPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(pszText);
        return strPath.toStdString();
    }
    static StartOptionsResult Parse(std::vector<std::string> args, bool bDemo = false)
    {
        return ParseStartOptionsWithConfig(args, bDemo);
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(ConfigFile, TheFileGivesTheSameOptionsAsTheCommandLine)
{
    const std::string strPath = Write("# left exhibit\n"
                                      "[quado]\n"
                                      "instance = left\n"
                                      "screen=HDMI-1\n"
                                      "; a comment\n"
                                      "\n"
                                      "kiosk=true\n"
                                      "mute\n"
                                      "fit=false\n"
                                      "records=\" /srv/quado left.sqlite \"\n"
                                      "idle-records=300\n"
                                      "mqtt=mqtt://127.0.0.1:1883\r\n"
                                      "mqtt-prefix=venue/hall2\n");
    const StartOptionsResult result = Parse({"--config", strPath});
    ASSERT_EQ(result.strError, "");
    const StartOptions& options = result.options;
    EXPECT_EQ(options.instance.strName, "left");
    EXPECT_EQ(options.instance.strScreen, "HDMI-1");
    EXPECT_EQ(options.instance.strConfigFile, strPath);
    EXPECT_TRUE(options.bKiosk);
    EXPECT_TRUE(options.bFullScreen) << "the kiosk's own implications apply to a kiosk from the file";
    EXPECT_TRUE(options.bMute);
    EXPECT_EQ(options.strRecordsFile, " /srv/quado left.sqlite ");
    EXPECT_EQ(options.fIdleRecordsSeconds, 300);
    EXPECT_TRUE(options.venue.bMqtt);
    EXPECT_EQ(options.venue.mqtt.strHost, "127.0.0.1");
    EXPECT_EQ(options.venue.strMqttPrefix, "venue/hall2");
}

TEST_F(ConfigFile, TheCommandLineWinsOverTheFile)
{
    const std::string strPath = Write("screen=HDMI-1\ninstance=left\nidle-records=300\nrecords=/srv/a.sqlite\n");
    const StartOptionsResult result =
        Parse({"--screen=HDMI-2", "--config=" + strPath, "--idle-records", "60", "--instance", "right"});
    ASSERT_EQ(result.strError, "");
    EXPECT_EQ(result.options.instance.strScreen, "HDMI-2");
    EXPECT_EQ(result.options.instance.strName, "right");
    EXPECT_EQ(result.options.fIdleRecordsSeconds, 60);
    EXPECT_EQ(result.options.strRecordsFile, "/srv/a.sqlite") << "what the command line leaves out, the file gives";

    // A bad value the command line overrides does not matter; an unknown key
    // always does.
    const std::string strOverridden = Write("idle-records=soon\n", "overridden.conf");
    EXPECT_EQ(Parse({"--config", strOverridden, "--idle-records=60"}).strError, "");
    const std::string strUnknown = Write("fulscreen\n", "unknown.conf");
    EXPECT_EQ(Parse({"--config", strUnknown, "--fulscreen"}).strError, "unknown option '--fulscreen' (see --help)");
}

TEST_F(ConfigFile, EveryRefusalNamesTheFileAndTheLine)
{
    struct Case {
        const char* pszText;
        const char* pszSays;
    };
    const Case cases[] = {
        {"kiosk\nfulscreen=true\n", ":2: unknown key 'fulscreen'"},
        {"\n\nidle-records=soon\n", ":3: bad value 'soon' for --idle-records (seconds, 1 to 86400)"},
        {"instance=../hall\n", ":1: bad value '../hall' for --instance (letters, digits, '-' and '_', at most 32)"},
        {"mute=yes\n", ":1: 'mute' takes true or false, not 'yes'"},
        {"records=\n", ":1: option --records needs a value (see --help)"},
        {"screen=HDMI-1\nscreen=HDMI-2\n", ":2: 'screen' given twice (first on line 1)"},
        {"[display]\nscreen=HDMI-1\n", ":1: unknown section '[display]' (only [quado])"},
        {"--kiosk\n", ":1: '--kiosk': keys are written without dashes"},
        {"Kiosk\n", ":1: 'Kiosk' is not a key (key=value, the long option's name)"},
        {"config=/etc/other.conf\n", ":1: 'config' only on the command line"},
        {"replug-every=4\n", ":1: unknown key 'replug-every'"},
        {"platform=xcb\n", ":1: unknown key 'platform'"},
        {"since=2026-01-01\n", ":1: option --since goes with --export-records"},
    };
    for (const Case& test : cases) {
        const std::string strPath = Write(test.pszText);
        EXPECT_EQ(Parse({"--config", strPath}).strError, strPath + test.pszSays) << test.pszText;
    }
    // The demo's own option is one in the demo's file.
    EXPECT_EQ(Parse({"--config", Write("replug-every=4\n")}, true).strError, "");
}

TEST_F(ConfigFile, WhatIsNoFileOfOptionsIsRefusedWithoutWaiting)
{
    const std::string strMissing = m_dir.filePath(QStringLiteral("missing.conf")).toStdString();
    EXPECT_EQ(Parse({"--config", strMissing}).strError, strMissing + ": no such file (--config)");
    // A named pipe would hold the start until somebody wrote to it.
    const std::string strPipe = m_dir.filePath(QStringLiteral("pipe.conf")).toStdString();
    ASSERT_EQ(::mkfifo(strPipe.c_str(), 0600), 0);
    EXPECT_EQ(Parse({"--config", strPipe}).strError, strPipe + ": not a file (--config)");
    EXPECT_EQ(Parse({"--config", m_dir.path().toStdString()}).strError, m_dir.path().toStdString() + ": not a file (--config)");
    const std::string strHuge = Write(std::string(100 * 1024, '#').c_str(), "huge.conf");
    EXPECT_EQ(Parse({"--config", strHuge}).strError, strHuge + ": too large for a file of start options (--config)");
    EXPECT_EQ(Parse({"--config"}).strError, "option --config needs a value (see --help)");
}

TEST_F(ConfigFile, TheProgramRefusesABadFileWithOneLineAndStatusTwo)
{
    const std::string strPath = Write("kiosk\nscreen=HDMI-1\nfulscreen\n");
    const toolstest::RunResult run =
        toolstest::RunProgram(QStringLiteral(QUADO_PROGRAM), {"--config", QString::fromStdString(strPath)});
    ASSERT_FALSE(run.bCrashed);
    EXPECT_EQ(run.nExitCode, 2);
    EXPECT_EQ(run.stderrBytes.toStdString(), "quado: " + strPath + ":3: unknown key 'fulscreen'\n");
    EXPECT_TRUE(run.stdoutBytes.isEmpty());

    const toolstest::RunResult bad = toolstest::RunProgram(QStringLiteral(QUADO_DEMO), {"--instance", "hall 2"});
    ASSERT_FALSE(bad.bCrashed);
    EXPECT_EQ(bad.nExitCode, 2);
    EXPECT_EQ(bad.stderrBytes.toStdString(),
              "quado-demo: bad value 'hall 2' for --instance (letters, digits, '-' and '_', at most 32)\n");

    const toolstest::RunResult help = toolstest::RunProgram(QStringLiteral(QUADO_PROGRAM), {"--help"});
    for (const char* pszOption : {"--instance NAME", "--screen NAME|INDEX", "--config FILE"})
        EXPECT_TRUE(help.stdoutBytes.contains(pszOption)) << pszOption;
}
