// One panel text through a real engine: speech-dispatcher, on a private
// socket with a private configuration, whose one output module runs espeak-ng
// to write each phrase as a WAV file and notes the language and text it was
// given. Nothing of the machine's own speech set-up is read or started.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextToSpeech>

#include <memory>

#include "speech/QtSpeechEngine.h"
#include "speech/SpeechOutput.h"
#include "tests/support/HangGuard.h"
#include "tests/support/NeedTool.h"
#include "tests/support/WaitFor.h"

namespace {

bool WaitForEvents(const std::function<bool()>& predicate)
{
    return testsupport::WaitFor([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return predicate();
    });
}

bool HasGenericModule()
{
    for (const QString& strDir : {QStringLiteral("/usr/lib/x86_64-linux-gnu"), QStringLiteral("/usr/lib/aarch64-linux-gnu"),
                                  QStringLiteral("/usr/lib"), QStringLiteral("/usr/libexec")}) {
        if (QFile::exists(strDir + QStringLiteral("/speech-dispatcher-modules/sd_generic")))
            return true;
    }
    return false;
}

bool WriteFile(const QString& strPath, const QByteArray& text)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QStringList SaidLines(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Only how long a server that has served the test may take to end.
constexpr int ServerEndGraceMs = 5000;

class RealSpeech : public ::testing::Test {
protected:
    void SetUp() override
    {
        QUADO_NEED_TOOL(QStandardPaths::findExecutable(QStringLiteral("speech-dispatcher")).isEmpty(),
                        "speech-dispatcher");
        QUADO_NEED_TOOL(!HasGenericModule(), "speech-dispatcher's generic module (sd_generic)");
        QUADO_NEED_TOOL(QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty(), "espeak-ng");
        QUADO_NEED_TOOL(!QTextToSpeech::availableEngines().contains(QStringLiteral("speechd")),
                        "Qt's speech-dispatcher plugin (qt6-speech-speechd-plugin)");
        ASSERT_TRUE(m_dir.isValid());
        const QString strRoot = m_dir.path();
        m_strSaid = strRoot + QStringLiteral("/said.txt");
        m_strSocket = strRoot + QStringLiteral("/run/speechd.sock");
        ASSERT_TRUE(QDir(strRoot).mkpath(QStringLiteral("config/modules")));
        ASSERT_TRUE(QDir(strRoot).mkpath(QStringLiteral("run")));
        ASSERT_TRUE(QDir(strRoot).mkpath(QStringLiteral("log")));
        QFile::setPermissions(strRoot + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray root = strRoot.toUtf8();
        ASSERT_TRUE(WriteFile(strRoot + QStringLiteral("/config/speechd.conf"),
                              "LogLevel 3\nLogDir \"" + root + "/log\"\n"
                              "AddModule \"recorder\" \"sd_generic\" \"recorder.conf\"\n"
                              "DefaultModule recorder\nDefaultLanguage \"en\"\n"
                              // The server insists on an audio output even for a module that
                              // plays nothing; libao opens without a sound server.
                              "AudioOutputMethod \"libao\"\n"));
        // The phrase is noted first, then spoken into a file of its language.
        ASSERT_TRUE(WriteFile(strRoot + QStringLiteral("/config/modules/recorder.conf"),
                              "GenericExecuteSynth \"echo \\'$LANGUAGE:$DATA\\' >> " + root +
                                  "/said.txt; espeak-ng -v $LANGUAGE -w " + root + "/$LANGUAGE.wav \\'$DATA\\'\"\n"
                                  "GenericLanguage \"en\" \"en\" \"utf-8\"\n"
                                  "GenericLanguage \"de\" \"de\" \"utf-8\"\n"
                                  "AddVoice \"en\" \"MALE1\" \"en\"\n"
                                  "AddVoice \"de\" \"MALE1\" \"de\"\n"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), strRoot + QStringLiteral("/run"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), strRoot);
        env.insert(QStringLiteral("HOME"), strRoot);
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(QStringLiteral("speech-dispatcher"),
                       {QStringLiteral("--run-single"), QStringLiteral("--timeout"), QStringLiteral("0"),
                        QStringLiteral("--config-dir"), strRoot + QStringLiteral("/config"),
                        QStringLiteral("--communication-method"), QStringLiteral("unix_socket"),
                        QStringLiteral("--socket-path"), m_strSocket, QStringLiteral("--pid-file"),
                        strRoot + QStringLiteral("/run/speechd.pid")});
        ASSERT_TRUE(m_server.waitForStarted(testsupport::HangGuardMs));
        // A server that loads no module says so and gives up, though it may
        // not end.
        ASSERT_TRUE(WaitForEvents([&] {
            m_output += m_server.readAll();
            return QFile::exists(m_strSocket) || m_server.state() == QProcess::NotRunning ||
                m_output.contains("aborting");
        }));
        ASSERT_TRUE(QFile::exists(m_strSocket)) << "speech-dispatcher did not start: " << m_output.toStdString();
        // Only this socket: the engine must not go looking for (or start) the
        // machine's own server.
        m_oldAddress = qgetenv("SPEECHD_ADDRESS");
        m_bHadAddress = qEnvironmentVariableIsSet("SPEECHD_ADDRESS");
        qputenv("SPEECHD_ADDRESS", "unix_socket:" + m_strSocket.toUtf8());
    }

    void TearDown() override
    {
        m_pSpeech.reset();
        if (m_bHadAddress)
            qputenv("SPEECHD_ADDRESS", m_oldAddress);
        else
            qunsetenv("SPEECHD_ADDRESS");
        if (m_server.state() != QProcess::NotRunning) {
            // The verdict is in by now. speech-dispatcher asked to end
            // while its module is still busy may stay "closing open
            // connections" for ever: it gets a few seconds, then is killed.
            m_server.terminate();
            if (!m_server.waitForFinished(ServerEndGraceMs))
                m_server.kill();
            m_server.waitForFinished(testsupport::HangGuardMs);
        }
    }

    void StartSpeech()
    {
        m_pSpeech = std::make_unique<CSpeechOutput>(
            [] { return std::make_unique<CQtSpeechEngine>(QStringLiteral("speechd")); });
        ASSERT_TRUE(m_pSpeech->SetOn(true));
        ASSERT_TRUE(WaitForEvents([&] { return m_pSpeech->IsLoaded() || !m_pSpeech->IsAvailable(); }));
        ASSERT_TRUE(m_pSpeech->IsLoaded()) << m_pSpeech->UnavailableReason().toStdString();
    }

    QByteArray Wav(const char* pszLanguage) const
    {
        QFile file(m_dir.path() + QLatin1Char('/') + QLatin1String(pszLanguage) + QStringLiteral(".wav"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_strSaid;
    QString m_strSocket;
    QProcess m_server;
    QByteArray m_output;
    QByteArray m_oldAddress;
    bool m_bHadAddress = false;
    std::unique_ptr<CSpeechOutput> m_pSpeech;
};

TEST_F(RealSpeech, TheWinTextIsSpokenInEnglishThenInGerman)
{
    StartSpeech();
    m_pSpeech->ShowText(L"You Win!\n\nSie Haben\nGewonnen!");
    ASSERT_TRUE(WaitForEvents([&] { return SaidLines(m_strSaid).size() >= 2 && Wav("de").size() > 1000; }))
        << SaidLines(m_strSaid).join(QLatin1Char('|')).toStdString();
    const QStringList said = SaidLines(m_strSaid);
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("en"))) << said[0].toStdString();
    EXPECT_TRUE(said[0].endsWith(QStringLiteral(":You Win!"))) << said[0].toStdString();
    EXPECT_TRUE(said[1].startsWith(QStringLiteral("de"))) << said[1].toStdString();
    EXPECT_TRUE(said[1].endsWith(QStringLiteral(":Sie Haben Gewonnen!"))) << said[1].toStdString();
    // espeak-ng really spoke: a WAV file of sound for each language.
    EXPECT_TRUE(Wav("en").startsWith("RIFF"));
    EXPECT_TRUE(Wav("de").startsWith("RIFF"));
    EXPECT_GT(Wav("en").size(), 1000);
}

TEST_F(RealSpeech, ANewTextCutsTheOneBeforeItsGermanIsSaid)
{
    StartSpeech();
    m_pSpeech->ShowText(L"You Win!\n\nSie Haben\nGewonnen!");
    m_pSpeech->ShowText(L"You Lose!\n\nSie Haben\nVerloren!");
    ASSERT_TRUE(WaitForEvents([&] {
        const QStringList said = SaidLines(m_strSaid);
        return !said.isEmpty() && said.back().endsWith(QStringLiteral(":Sie Haben Verloren!"));
    })) << SaidLines(m_strSaid).join(QLatin1Char('|')).toStdString();
    const QStringList said = SaidLines(m_strSaid);
    ASSERT_GE(said.size(), 2);
    EXPECT_TRUE(said[said.size() - 2].endsWith(QStringLiteral(":You Lose!")));
    EXPECT_FALSE(said.join(QLatin1Char('|')).contains(QStringLiteral("Gewonnen")))
        << "the cut text's German was said: " << said.join(QLatin1Char('|')).toStdString();
}

} // namespace
