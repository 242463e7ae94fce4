#include "tools/quado-replay/ReplaySession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QPixmap>
#include <QTimer>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "device/IHidBackend.h"
#include "device/SimulatedAdapter.h"
#include "device/SimulatedHidBackend.h"
#include "drivers/ReceiveThread.h"
#include "platform/MessageBox.h"

namespace {

constexpr char CanvasFile[] = "canvas.png";
constexpr char WindowFile[] = "window.png";
constexpr char StateFile[] = "state.json";
// Wakes the event loop now and then, so a stream that stops coming is noticed.
constexpr int WaitTickMs = 50;

QJsonObject SoundCall(const char* pszOp, int nId)
{
    QJsonObject call{{QStringLiteral("op"), QString::fromLatin1(pszOp)}};
    if (nId >= 0)
        call.insert(QStringLiteral("id"), nId);
    return call;
}

// Runs the UI thread's events until the condition holds; false only when the
// hang guard runs out.
template <class Predicate>
bool WaitUntil(Predicate predicate, int nTimeoutMs = CReplaySession::HangGuardMs)
{
    QTimer tick;
    tick.start(WaitTickMs);
    QElapsedTimer elapsed;
    elapsed.start();
    while (!predicate()) {
        if (elapsed.hasExpired(nTimeoutMs))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QString HexBytes(const std::vector<uint8_t>& bytes)
{
    QString strHex;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            strHex += QLatin1Char(' ');
        strHex += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0'));
    }
    return strHex;
}

QJsonArray FeatureReports(const std::vector<CSimulatedAdapter::FeatureTransfer>& trace)
{
    QJsonArray reports;
    for (const CSimulatedAdapter::FeatureTransfer& transfer : trace) {
        const bool bSet = transfer.direction == CSimulatedAdapter::Direction::Set;
        reports.append(QJsonObject{{QStringLiteral("dir"), bSet ? QStringLiteral("set") : QStringLiteral("get")},
                                   {QStringLiteral("hex"), HexBytes(transfer.bytes)}});
    }
    return reports;
}

} // namespace

void CRecordingSoundPlayer::PlayOnce(int nSoundId)
{
    m_calls.append(SoundCall("once", nSoundId));
}

void CRecordingSoundPlayer::PlayLooping(int nSoundId)
{
    m_calls.append(SoundCall("loop", nSoundId));
}

void CRecordingSoundPlayer::Stop()
{
    m_calls.append(SoundCall("stop", -1));
}

CReplaySession::CReplaySession(const ReplayOptions& options) : m_options(options) {}

CReplaySession::~CReplaySession()
{
    // The frame closes the adapter on its way out; the backend goes last.
    m_pFrame.reset();
    SetMessageBoxHook({});
    SetHidBackend(nullptr);
}

bool CReplaySession::Run(const std::string& strBytes, QString& strError)
{
    if (!Start(strError) || !SetClientSize(strError) || !Connect(strError) || !Deliver(strBytes, strError))
        return false;
    QJsonObject state;
    if (!ReadState(state, strError) || !WriteState(state, strError))
        return false;
    m_pFrame->close();
    return true;
}

bool CReplaySession::Start(QString& strError)
{
    m_pBackend = std::make_unique<CSimulatedHidBackend>();
    SetHidBackend(m_pBackend.get());
    m_pAdapter = m_pBackend->AddAdapter(AdapterPath, AdapterSerial);
    m_pAdapter->SetMaxUartChunk(m_options.nChunk);

    // A headless run cannot wait for anyone to close a box: what a box says
    // becomes the reason of the failure instead.
    SetMessageBoxHook([this](QWidget*, const QString& strText, const QString&, MessageIcon) {
        m_strBoxes += (m_strBoxes.isEmpty() ? QString() : QStringLiteral("; ")) + strText;
        return MessageBoxOk;
    });

    m_pFrame = std::make_unique<CMainFrame>(&m_player);
    if (!m_pFrame->Create()) {
        strError = QStringLiteral("the main window could not be created");
        return false;
    }
    CAdapterLink& link = m_pFrame->AdapterLink();
    m_games.Follow(link.GameEvents(), &m_nDelivered);
    // The log as the user reads it: a form feed empties it, the rest is
    // appended as the link hands it on.
    QObject::connect(&link, &CAdapterLink::LogCleared, m_pFrame.get(), [this] { m_strLog.clear(); });
    QObject::connect(&link, &CAdapterLink::TextReceived, m_pFrame.get(),
                     [this](const QString& strText) { m_strLog += strText; });
    if (!m_options.strRecordsFile.empty()) {
        m_pFrame->SetRecordsFile(QString::fromLocal8Bit(m_options.strRecordsFile.c_str()));
        m_pFrame->SetKeepRecords(true);
    }
    m_pFrame->show();
    QCoreApplication::processEvents();

    if (m_options.bMute)
        m_pFrame->OnCommand(CommandId::Mute);
    if (m_options.bScaleDown)
        m_pFrame->OnCommand(CommandId::ScaleDown);
    if (m_options.bFitToScreen)
        m_pFrame->OnCommand(CommandId::FitToScreen);
    if (m_options.bShapes)
        m_pFrame->OnCommand(CommandId::Shapes);
    return true;
}

bool CReplaySession::SetClientSize(QString& strError)
{
    // The view fills the frame below its menu bar: the frame grows by what
    // the bar and borders take.
    const QSize target(m_options.nClientWidth, m_options.nClientHeight);
    CChildView& view = m_pFrame->View();
    for (int nAttempt = 0; nAttempt < 3 && view.size() != target; ++nAttempt) {
        const QSize extra = m_pFrame->size() - view.size();
        const QSize wanted = target + extra;
        const QSize before = m_pFrame->size();
        m_pFrame->resize(wanted);
        // The window system answers with the size it gave, the one asked
        // for or another; either way the frame's size tells.
        WaitUntil([&] { return m_pFrame->size() == wanted || m_pFrame->size() != before; });
        QCoreApplication::processEvents();
    }
    if (view.size() != target) {
        strError = QStringLiteral("the board view cannot be made %1x%2 (it is %3x%4)")
                       .arg(target.width()).arg(target.height()).arg(view.width()).arg(view.height());
        return false;
    }
    return true;
}

bool CReplaySession::Connect(QString& strError)
{
    CAdapterLink& link = m_pFrame->AdapterLink();
    // The report is about the connection: Mute's own stop comes before it.
    m_player.m_calls = QJsonArray();
    m_pAdapter->ClearTrace();
    const std::vector<CHIDDevice::AdapterIdentity> listed = link.Adapters();
    const CAdapterLink::ConnectResult nResult = listed.empty()
                                                    ? CAdapterLink::ConnectResult::NotListed
                                                    : link.Connect(listed.front(), CAdapterLink::FailureReport::ByCaller);
    if (nResult != CAdapterLink::ConnectResult::Connected)
        m_strBoxes += (m_strBoxes.isEmpty() ? QString() : QStringLiteral("; ")) +
                      QString::fromLatin1(CAdapterLink::FailureText(nResult));
    if (!link.IsConnected() || !link.ReceiveThread()) {
        strError = QStringLiteral("could not connect to the simulated adapter") +
                   (m_strBoxes.isEmpty() ? QString() : QStringLiteral(": ") + m_strBoxes);
        return false;
    }
    return true;
}

bool CReplaySession::Deliver(const std::string& strBytes, QString& strError)
{
    // One feed is one input report, read and processed before the next goes
    // out, so no read ever carries more than the chunk size.
    CAdapterLink& link = m_pFrame->AdapterLink();
    // Held here: a disconnect drops the window's own link to the thread.
    const std::shared_ptr<CReceiveThread> pThread = link.ReceiveThread();
    const auto* pBytes = reinterpret_cast<const uint8_t*>(strBytes.data());
    for (size_t nPos = 0; nPos < strBytes.size(); nPos += m_options.nChunk) {
        const size_t nCount = std::min(m_options.nChunk, strBytes.size() - nPos);
        const uint64_t nBefore = pThread->GetProcessedChunks();
        m_nDelivered = nPos + nCount;
        m_pAdapter->FeedUart(pBytes + nPos, nCount);
        const auto processed = [&] { return pThread->GetProcessedChunks() > nBefore; };
        const auto dead = [&] { return !link.IsConnected() || !pThread->IsRunning(); };
        const bool bSettled = WaitUntil([&] { return processed() || dead(); });
        if (processed())
            continue;
        const QString strBytesRead = QStringLiteral("bytes %1 to %2").arg(nPos).arg(nPos + nCount - 1);
        if (!bSettled)
            strError = QStringLiteral("the read of %1 was not processed within %2 minutes")
                           .arg(strBytesRead).arg(HangGuardMs / 60000);
        else if (!link.IsConnected())
            strError = QStringLiteral("the adapter was disconnected before %1 were read (%2)")
                           .arg(strBytesRead, link.Status());
        else
            strError = QStringLiteral("the receive thread ended before %1 were read").arg(strBytesRead);
        return false;
    }
    return true;
}

bool CReplaySession::ReadState(QJsonObject& state, QString& strError)
{
    CAdapterLink& link = m_pFrame->AdapterLink();
    CChildView& view = m_pFrame->View();
    const CGameMessageInterpreter& interpreter = link.Interpreter();
    const QString strStatus = link.Status();

    // The window picture first: painting it is what sets the paint rectangle.
    const QString strOutDir = QString::fromStdString(m_options.strOutDir);
    if (!QDir().mkpath(strOutDir)) {
        strError = QStringLiteral("cannot create the directory %1").arg(strOutDir);
        return false;
    }
    const QDir outDir(strOutDir);
    const QString strCanvas = outDir.filePath(QString::fromLatin1(CanvasFile));
    const QString strWindow = outDir.filePath(QString::fromLatin1(WindowFile));
    if (!view.Canvas().save(strCanvas, "PNG") || !view.grab().save(strWindow, "PNG")) {
        strError = QStringLiteral("cannot write the pictures into %1").arg(strOutDir);
        return false;
    }
    const PaintRect& rcPaint = view.LastPaintRect();

    state.insert(QStringLiteral("lit_quadrant"), view.m_nLitQuadrant);
    state.insert(QStringLiteral("panel_text"), QString::fromStdWString(view.PanelText()));
    state.insert(QStringLiteral("game_running"), interpreter.IsGameRunning());
    state.insert(QStringLiteral("tone_playing"), interpreter.IsTonePlaying());
    state.insert(QStringLiteral("max_level_known"), interpreter.IsMaxLevelKnown());
    state.insert(QStringLiteral("max_level"), QString::fromStdWString(interpreter.GetMaxLevel()));
    state.insert(QStringLiteral("pending_line"), QString::fromStdWString(interpreter.GetPendingLine()));
    state.insert(QStringLiteral("log"), m_strLog);
    state.insert(QStringLiteral("status_line"), strStatus);
    state.insert(QStringLiteral("paint"), QJsonObject{{QStringLiteral("x"), rcPaint.nLeft},
                                                      {QStringLiteral("y"), rcPaint.nTop},
                                                      {QStringLiteral("w"), rcPaint.nWidth},
                                                      {QStringLiteral("h"), rcPaint.nHeight},
                                                      {QStringLiteral("stretched"), rcPaint.bStretched}});

    // The normal way out, so the report shows the disconnect's transfers too.
    link.Disconnect(DisconnectReason::User);
    state.insert(QStringLiteral("games"), m_games.Games());
    state.insert(QStringLiteral("sounds"), m_player.m_calls);
    state.insert(QStringLiteral("feature_reports"), FeatureReports(m_pAdapter->GetTrace()));
    return true;
}

bool CReplaySession::WriteState(const QJsonObject& state, QString& strError)
{
    const QDir outDir(QString::fromStdString(m_options.strOutDir));
    QFile file(outDir.filePath(QString::fromLatin1(StateFile)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QJsonDocument(state).toJson(QJsonDocument::Indented)) < 0 || !file.flush()) {
        strError = QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}
