// quado-replay: plays a recorded stream of the board's UART bytes through
// Quado's real adapter window, receive thread, interpreter and board view over
// a simulated adapter, headless, and writes what the program shows then
// (canvas.png, window.png, state.json). For tests and bug reports.
#include <QApplication>
#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "protocol/WriteTarget.h"
#include "tools/quado-replay/ReplayOptions.h"
#include "tools/quado-replay/ReplaySession.h"

namespace {

constexpr int ExitFailure = 1;   // unreadable input, or the run went wrong
constexpr int ExitUsage = 2;     // bad options

// Qt's remarks about the headless platform (no raise(), no runtime dir) say
// nothing about the replay; only its errors reach stderr.
void QuietQtMessages(QtMsgType nType, const QMessageLogContext&, const QString& strMessage)
{
    if (nType == QtCriticalMsg || nType == QtFatalMsg)
        std::fprintf(stderr, "quado-replay: %s\n", strMessage.toLocal8Bit().constData());
}

int Fail(const std::string& strReason, int nExitCode = ExitFailure)
{
    std::fprintf(stderr, "quado-replay: %s\n", strReason.c_str());
    return nExitCode;
}

bool ReadInput(const std::string& strInput, std::string& strBytes, std::string& strError)
{
    errno = 0;
    if (strInput == "-") {
        strBytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (std::cin.bad()) {
            strError = "cannot read standard input";
            return false;
        }
        return true;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(strInput, ec)) {
        strError = "cannot read '" + strInput + "': it is a directory";
        return false;
    }
    std::ifstream file(strInput, std::ios::binary);
    if (!file) {
        strError = "cannot read '" + strInput + "': " + (errno ? std::strerror(errno) : "cannot open");
        return false;
    }
    strBytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        strError = "cannot read '" + strInput + "': " + (errno ? std::strerror(errno) : "read error");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    ReplayOptions options;
    std::string strError;
    if (!ParseReplayOptions(std::vector<std::string>(argv + 1, argv + argc), options, strError))
        return Fail(strError + " (" + ReplayUsage + ")", ExitUsage);
    if (options.bHelp) {
        std::printf("%s\n%s", ReplayUsage, ReplayHelp);
        return 0;
    }

    // What the replay writes must be a file of its own or nothing yet: a
    // pipe or a device at one of those names is refused before the run.
    if (!options.strRecordsFile.empty()) {
        if (const std::string strRefusal = RefuseNonFile(options.strRecordsFile); !strRefusal.empty())
            return Fail("--records: " + strRefusal, ExitUsage);
    }
    for (const char* pszName : {"canvas.png", "window.png", "state.json"}) {
        if (const std::string strRefusal = RefuseNonFile(options.strOutDir + "/" + pszName); !strRefusal.empty())
            return Fail("--out: " + strRefusal, ExitUsage);
    }

    std::string strBytes;
    if (!ReadInput(options.strInput, strBytes, strError))
        return Fail(strError);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own scaling makes the offscreen screen one of that ratio, so the
    // view paints through the same path as on a real fine screen.
    if (options.dDevicePixelRatio != 1.0)
        qputenv("QT_SCALE_FACTOR", QByteArray::number(options.dDevicePixelRatio, 'g', 10));
    qInstallMessageHandler(QuietQtMessages);
    // Qt sees no argument: none of them is meant for it.
    int nQtArgc = 1;
    QApplication application(nQtArgc, argv);

    QString strRunError;
    bool bOk = false;
    {
        CReplaySession session(options);
        bOk = session.Run(strBytes, strRunError);
    }
    return bOk ? 0 : Fail(strRunError.toStdString());
}
