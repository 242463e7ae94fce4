// What the benchmarks need of a venue: Debian's mosquitto on a free loopback
// port, a listener that accepts and never answers, and a venue reporter on
// an adapter window and board view as the program wires it.
#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>

#include "board/ChildView.h"
#include "drivers/QuadoDravikDriver.h"
#include "fleet/VenueReporter.h"

namespace benchvenue {

inline int ListenOnFreePort(bool bKeep, int* pFd = nullptr)
{
    const int nFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof address;
    int nPort = 0;
    if (bind(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && (!bKeep || listen(nFd, 16) == 0) &&
        getsockname(nFd, reinterpret_cast<sockaddr*>(&address), &nLength) == 0)
        nPort = ntohs(address.sin_port);
    if (bKeep && pFd)
        *pFd = nFd;
    else
        close(nFd);
    return nPort;
}

inline bool Accepts(int nPort)
{
    const int nFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    const bool bOk = connect(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(nFd);
    return bOk;
}

class CBenchBroker {
public:
    ~CBenchBroker()
    {
        m_process.terminate();
        m_process.waitForFinished();
    }
    // False when mosquitto is not installed or does not come up.
    bool Start()
    {
        QString strProgram = QStandardPaths::findExecutable("mosquitto");
        if (strProgram.isEmpty())
            strProgram = QStandardPaths::findExecutable("mosquitto", {"/usr/sbin"});
        if (strProgram.isEmpty())
            return false;
        m_nPort = ListenOnFreePort(false);
        const QString strConfig = m_dir.filePath("mosquitto.conf");
        QFile config(strConfig);
        if (!config.open(QIODevice::WriteOnly))
            return false;
        // Without set_tcp_nodelay the broker holds a message to a subscriber
        // for up to 40 ms while its last one is unacknowledged: that is the
        // broker's delay, not Quado's.
        config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nset_tcp_nodelay true\n")
                         .arg(m_nPort)
                         .toUtf8());
        config.close();
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(strProgram, {"-c", strConfig});
        if (!m_process.waitForStarted())
            return false;
        bool bEnded = false;
        while (!bEnded && !Accepts(m_nPort))
            bEnded = m_process.waitForFinished(5);
        return !bEnded;
    }
    int Port() const { return m_nPort; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nPort = 0;
};

// A reporter on the window's game events whose state reads the view and
// the window as the program's does.
inline std::unique_ptr<CVenueReporter> AttachReporter(int nPort, CQuadoDravikDriver& dlg, CChildView* pView)
{
    VenueOptions options;
    options.bMqtt = true;
    options.mqtt = MqttEndpoint{false, "127.0.0.1", nPort, ""};
    options.strMqttId = "bench";
    auto pReporter = std::make_unique<CVenueReporter>(
        options, "bench", dlg.GameEvents(),
        [&dlg, pView] {
            VenueSnapshot s;
            s.bConnected = dlg.GameEvents().IsConnected();
            s.strSerial = dlg.GameEvents().Serial();
            s.bGameRunning = dlg.GameEvents().IsGameOpen();
            s.strStatus = dlg.m_strStatus.toStdWString();
            if (pView) {
                s.nLitQuadrant = pView->m_nLitQuadrant;
                s.strPanelText = pView->PanelText();
            }
            return s;
        },
        CVenueReporter::CommandHandler());
    std::string strError;
    if (!pReporter->Start(strError))
        return nullptr;
    return pReporter;
}

} // namespace benchvenue
