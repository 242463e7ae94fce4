#include "tests/tools/ToolsTestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>

namespace toolstest {

QString DataFile(const char* pszName)
{
    return QStringLiteral(QUADO_TEST_DATA "/") + QString::fromLatin1(pszName);
}

RunResult RunProgram(const QString& strProgram, const QStringList& args, const QByteArray& stdinBytes,
                     const QProcessEnvironment& environment, int nTimeoutMs)
{
    RunResult result;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(strProgram, args);
    if (!process.waitForStarted())
        return result;
    process.write(stdinBytes);
    process.closeWriteChannel();
    if (!process.waitForFinished(nTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.bCrashed = true;
    }
    result.bCrashed = result.bCrashed || process.exitStatus() != QProcess::NormalExit;
    result.nExitCode = process.exitCode();
    result.stdoutBytes = process.readAllStandardOutput();
    result.stderrBytes = process.readAllStandardError();
    return result;
}

void RunReplay(Replay& replay, const QStringList& args, const QByteArray& stdinBytes)
{
    replay.run = RunProgram(QStringLiteral(QUADO_REPLAY), QStringList{QStringLiteral("--out"), replay.dir.path()} + args,
                            stdinBytes);
    QFile file(replay.dir.filePath(QStringLiteral("state.json")));
    if (file.open(QIODevice::ReadOnly))
        replay.state = QJsonDocument::fromJson(file.readAll()).object();
    replay.canvas = QImage(replay.dir.filePath(QStringLiteral("canvas.png"))).convertToFormat(QImage::Format_RGB32);
    replay.window = QImage(replay.dir.filePath(QStringLiteral("window.png"))).convertToFormat(QImage::Format_RGB32);
}

} // namespace toolstest
