// The link's connection: the connect and disconnect sequences, the poll that
// notices a lost adapter, and the processing of what the board sends.
#include "drivers/AdapterLink.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <string>

#include "platform/DeviceNotifier.h"

namespace {

constexpr char NoDeviceSelectedText[] = QT_TRANSLATE_NOOP("CAdapterLink", "No device selected");
constexpr char ConnectErrorText[] = QT_TRANSLATE_NOOP("CAdapterLink", "Error connecting to device");
constexpr char EnableUartErrorText[] = QT_TRANSLATE_NOOP("CAdapterLink", "Error enabling UART, closing device");
constexpr char AllocateErrorText[] = QT_TRANSLATE_NOOP("CAdapterLink", "Error allocating buffers, closing device");
// The list named another adapter than the one now at that place (it went, or
// another program took it, since the list was read).
constexpr char WrongAdapterText[] = QT_TRANSLATE_NOOP("CAdapterLink", "The adapter list has changed: choose the adapter again");

// Tells the wait indicator for the whole of a connect or disconnect.
class CWaiting {
public:
    explicit CWaiting(const std::function<void(bool)>& indicate) : m_indicate(indicate)
    {
        if (m_indicate)
            m_indicate(true);
    }
    ~CWaiting()
    {
        if (m_indicate)
            m_indicate(false);
    }
    CWaiting(const CWaiting&) = delete;
    CWaiting& operator=(const CWaiting&) = delete;

private:
    const std::function<void(bool)>& m_indicate;
};

} // namespace

CAdapterLink::CAdapterLink(CAdapterSession::Allocator allocate)
    : m_session(m_dravik, std::move(allocate))
{
    m_timerPoll.setInterval(PollPeriodMs);
    connect(&m_timerPoll, &QTimer::timeout, this, [this] { OnTimer(PollTimerId); });
    // A failed read is checked at once, as the poll would check it.
    m_session.SetReadFailureHandler([this] { OnTimer(PollTimerId); });
    m_interpreter.SetEvents(&m_gameEvents);
    m_interpreter.SetLinks(&m_pChunkBoard, nullptr, nullptr);
    UpdateStatus();
}

CAdapterLink::~CAdapterLink()
{
    Close();
}

void CAdapterLink::Close()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    // The thread first, then the adapter's UART and settings, then the buffer.
    m_hDevNotify.reset();
    m_timerPoll.stop();
    m_session.Disconnect();
    m_gameEvents.OnDisconnected(DisconnectReason::Closing);
}

void CAdapterLink::EndForExit()
{
    m_hDevNotify.reset();
    m_timerPoll.stop();
    if (IsConnected())
        Disconnect(DisconnectReason::Closing);
}

void CAdapterLink::SetOutputs(IQuadoBoard** ppView, const bool* pbMute, ISoundPlayer* pSoundPlayer)
{
    m_chunkBoard.SetTarget(ppView);
    m_interpreter.SetLinks(&m_pChunkBoard, pbMute, pSoundPlayer);
}

const char* CAdapterLink::FailureText(ConnectResult nResult)
{
    switch (nResult) {
    case ConnectResult::NotListed:
        return NoDeviceSelectedText;
    case ConnectResult::OpenFailed:
        return ConnectErrorText;
    case ConnectResult::WrongAdapter:
        return WrongAdapterText;
    case ConnectResult::EnableUartFailed:
        return EnableUartErrorText;
    case ConnectResult::AllocateFailed:
        return AllocateErrorText;
    case ConnectResult::Connected:
        break;
    }
    return "";
}

bool CAdapterLink::ConnectQuietly(int nIndex)
{
    if (IsConnected())
        return true;
    const CHIDDevice::AdapterIdentity adapter =
        nIndex >= 0 && size_t(nIndex) < m_vecListed.size() ? m_vecListed[size_t(nIndex)] : CHIDDevice::AdapterIdentity{};
    return Connect(adapter, FailureReport::OnStatusLine) == ConnectResult::Connected;
}

CAdapterLink::ConnectResult CAdapterLink::Connect(const CHIDDevice::AdapterIdentity& adapter, FailureReport nReport)
{
    if (IsConnected())
        return ConnectResult::Connected;
    const CWaiting waiting(m_indicateWait);
    // List place i is device number i: the place is what the session opens,
    // the identity what it must find there.
    size_t nPlace = 0;
    while (nPlace < m_vecListed.size() && !(m_vecListed[nPlace] == adapter))
        ++nPlace;
    ConnectResult nResult = ConnectResult::NotListed;
    if (nPlace < m_vecListed.size() && !adapter.strPath.empty()) {
        const CHIDDevice::AdapterIdentity expected = adapter;
        const CAdapterSession::ConnectResult result = m_session.Connect(
            static_cast<uint32_t>(nPlace),
            [this](std::function<void()> task) { QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection); },
            [this](std::wstring_view chunk) { ProcessChunk(chunk); }, [this] { emit InputFlushed(); }, &expected);
        emit ConnectAttemptEnded();
        switch (result) {
        case CAdapterSession::ConnectResult::Connected:
            nResult = ConnectResult::Connected;
            break;
        case CAdapterSession::ConnectResult::OpenFailed:
            nResult = ConnectResult::OpenFailed;
            break;
        case CAdapterSession::ConnectResult::WrongAdapter:
            nResult = ConnectResult::WrongAdapter;
            break;
        case CAdapterSession::ConnectResult::EnableUartFailed:
            nResult = ConnectResult::EnableUartFailed;
            break;
        case CAdapterSession::ConnectResult::AllocateFailed:
            nResult = ConnectResult::AllocateFailed;
            break;
        }
    }
    m_nLastResult = nResult;
    if (nResult != ConnectResult::Connected) {
        // A half-opened adapter is closed again before anyone is told.
        Disconnect();
        if (nResult == ConnectResult::WrongAdapter)
            RefreshAdapters();
        if (nReport == FailureReport::OnStatusLine) {
            m_strLastFailure = QString::fromLatin1(FailureText(nResult));
            UpdateStatus();
        }
        return nResult;
    }
    m_timerPoll.start();
    m_connected = adapter;
    // A working connection answers the access hint; a later refused arrival
    // raises it anew.
    m_bAccessHint = false;
    m_strLastFailure.clear();
    UpdateStatus();
    m_gameEvents.OnConnected(m_connected.strSerial);
    emit ConnectionChanged(true);
    return nResult;
}

void CAdapterLink::Disconnect(DisconnectReason nReason)
{
    const CWaiting waiting(m_indicateWait);
    const bool bWasConnected = m_gameEvents.IsConnected();
    m_timerPoll.stop();
    m_session.Disconnect();
    // Nothing would ever stop a colour tone the board started and can no
    // longer end; the board picture stays as it was.
    m_interpreter.StopTone();
    m_gameEvents.OnDisconnected(nReason);
    // Otherwise the adapter just let go would stay off the list until the
    // next plug event, and a connect would find nothing listed.
    if (m_bListMissesHeldAdapter)
        RefreshAdapters();
    UpdateStatus();
    if (bWasConnected)
        emit Disconnected(nReason);
    emit ConnectionChanged(false);
    emit ListOrConnectionChanged();
}

void CAdapterLink::HoldConnects(bool bHold)
{
    m_bConnectsHeld = bHold;
    if (!bHold)
        emit ListOrConnectionChanged();
}

void CAdapterLink::OnTimer(int nIdEvent)
{
    if (nIdEvent != PollTimerId)
        return;
    if (!IsConnected()) {
        m_timerPoll.stop();
        return;
    }
    uint8_t nReply = 0;
    if (m_dravik.PollAdapter(&nReply) != DeviceSuccess)
        OnAdapterLost();
}

void CAdapterLink::OnAdapterLost()
{
    Disconnect(DisconnectReason::AdapterLost);
}

void CAdapterLink::ProcessChunk(std::wstring_view chunk)
{
    // Nothing after a zero byte counts, not even a form feed.
    chunk = chunk.substr(0, chunk.find(L'\0'));
    if (const size_t nLastFormFeed = chunk.rfind(L'\f'); nLastFormFeed != std::wstring_view::npos) {
        emit LogCleared();
        chunk.remove_prefix(nLastFormFeed + 1);
    }
    std::wstring strText;
    strText.reserve(chunk.size());
    for (const wchar_t c : chunk) {
        if (c != L'\r')
            strText.push_back(c);
    }
    emit TextReceived(QString::fromStdWString(strText));
    m_interpreter.AssembleLines(strText);
    m_chunkBoard.Flush();
}
