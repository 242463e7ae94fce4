#include "app/VenueLink.h"

#include <QEvent>

#include <cstdio>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "fleet/SystemdNotifier.h"
#include "fleet/VenueReporter.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point t, std::chrono::steady_clock::time_point now)
{
    return std::chrono::duration<double>(now - t).count();
}

// A moment the steady clock took, on the wall clock of now.
std::chrono::system_clock::time_point WallTime(std::chrono::steady_clock::time_point t,
                                               std::chrono::steady_clock::time_point now,
                                               std::chrono::system_clock::time_point wallNow)
{
    return wallNow - std::chrono::duration_cast<std::chrono::system_clock::duration>(now - t);
}

void Refuse(const char* pszCommand, const std::string& strReason)
{
    std::fprintf(stderr, "Quado: MQTT: ignored set/%s: %s\n", pszCommand, strReason.c_str());
}

} // namespace

bool CVenueLink::IsWanted(const VenueOptions& options)
{
    return options.bMqtt || !options.strMetricsFile.empty() || CSystemdNotifier::IsWanted();
}

CVenueLink::CVenueLink(CMainFrame& frame, VenueOptions options, std::string strVersion, AudioProbe audioProbe)
    : m_frame(frame)
    , m_options(std::move(options))
    , m_strVersion(std::move(strVersion))
    , m_audioProbe(std::move(audioProbe))
    , m_tally(frame.m_dlgDravikDriver.GameEvents())
{
    // The view paints only when something changes; its last paint tells a
    // frozen picture from a quiet one.
    m_frame.m_wndView.installEventFilter(this);
}

CVenueLink::~CVenueLink()
{
    End();
}

void CVenueLink::End()
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_frame.m_wndView.removeEventFilter(this);
    if (m_pSystemd)
        m_pSystemd->Stopping();
    // While the broker link still counts its connections.
    if (m_pMetrics)
        m_pMetrics->Finish();
    if (m_pReporter)
        m_pReporter->Stop();
}

bool CVenueLink::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::Paint && pWatched == &m_frame.m_wndView) {
        ++m_nPaints;
        m_tLastPaint = std::chrono::steady_clock::now();
    }
    return QObject::eventFilter(pWatched, pEvent);
}

bool CVenueLink::Start(std::string& strError)
{
    if (m_options.bMqtt) {
        m_pReporter = std::make_unique<CVenueReporter>(
            m_options, m_strVersion, m_frame.m_dlgDravikDriver.GameEvents(), [this] { return Snapshot(); },
            [this](const VenueCommand& command) { RunCommand(command); });
        if (!m_pReporter->Start(strError)) {
            m_pReporter.reset();
            return false;
        }
    }
    if (!m_options.strMetricsFile.empty()) {
        m_pMetrics = std::make_unique<CMetricsWriter>(m_options.strMetricsFile, [this] { return Metrics(); });
        m_pMetrics->Start();
    }
    if (CSystemdNotifier::IsWanted()) {
        m_pSystemd = std::make_unique<CSystemdNotifier>(
            [this] { return m_frame.m_dlgDravikDriver.m_strStatus.toStdString(); });
        m_pSystemd->Start(&m_frame.m_wndView, m_nPaints > 0);
        connect(&m_frame.m_dlgDravikDriver, &CQuadoDravikDriver::StatusLineChanged, m_pSystemd.get(),
                &CSystemdNotifier::CheckStatus);
    }
    return true;
}

VenueSnapshot CVenueLink::Snapshot()
{
    const auto now = std::chrono::steady_clock::now();
    const auto wallNow = std::chrono::system_clock::now();
    CQuadoDravikDriver& dlg = m_frame.m_dlgDravikDriver;
    const CGameEvents& events = dlg.GameEvents();
    VenueSnapshot s;
    s.bConnected = events.IsConnected();
    if (s.bConnected)
        s.strSerial = events.Serial();
    s.bGameRunning = events.IsGameOpen();
    s.strMaxLevel = m_tally.MaxLevel();
    if (s.bGameRunning) {
        if (events.OpenGame()->strMaxLevel)
            s.strMaxLevel = events.OpenGame()->strMaxLevel;
        if (m_tally.CurrentLevel() && !m_tally.CurrentLevel()->strText.empty())
            s.strLevel = m_tally.CurrentLevel()->strText;
    }
    s.nLitQuadrant = m_frame.m_wndView.m_nLitQuadrant;
    s.strPanelText = m_frame.m_wndView.PanelText();
    s.strStatus = dlg.m_strStatus.toStdWString();
    s.bMuted = m_frame.m_bMute;
    s.bFullScreen = m_frame.m_bFullScreen;
    s.bFit = m_frame.m_bFitToScreen;
    if (m_frame.m_fnShowRecordsWhenIdle)
        s.bIdleRecords = m_frame.m_bIdleRecords;
    const std::optional<TodaysPlay> recorded = m_frame.m_fnTodaysPlay ? m_frame.m_fnTodaysPlay() : std::nullopt;
    s.today = recorded ? *recorded : m_tally.Today();
    s.dSecondsSinceLine = SecondsSince(events.LastLineTime().value_or(m_tStart), now);
    s.dSecondsSinceFrame = SecondsSince(m_tLastPaint, now);
    s.tLastLine = WallTime(events.LastLineTime().value_or(m_tStart), now, wallNow);
    s.tLastFrame = WallTime(m_tLastPaint, now, wallNow);
    if (m_audioProbe) {
        const AudioDeviceCounts audio = m_audioProbe();
        s.nAudioLosses = audio.nLosses;
        s.nAudioReturns = audio.nReturns;
    }
    s.strVersion = m_strVersion;
    s.dUptimeSeconds = SecondsSince(m_tStart, now);
    return s;
}

MetricsSample CVenueLink::Metrics()
{
    const VenueSnapshot snapshot = Snapshot();
    MetricsSample m;
    m.bConnected = snapshot.bConnected;
    for (size_t i = 0; i < m.nGames.size(); ++i)
        m.nGames[i] = m_tally.GamesEnded(static_cast<GameOutcome>(i));
    m.nLines = m_frame.m_dlgDravikDriver.GameEvents().LineCount();
    m.nAdapterReconnects = m_tally.AdapterConnections() > 0 ? m_tally.AdapterConnections() - 1 : 0;
    if (m_pReporter && m_pReporter->Link()) {
        const uint64_t nConnections = m_pReporter->Link()->Connections();
        m.nBrokerReconnects = nConnections > 0 ? nConnections - 1 : 0;
    }
    m.nAudioLosses = snapshot.nAudioLosses;
    m.tStart = WallTime(m_tStart, std::chrono::steady_clock::now(), std::chrono::system_clock::now());
    m.tLastLine = snapshot.tLastLine;
    m.tLastFrame = snapshot.tLastFrame;
    m.nGamesToday = snapshot.today.nGames;
    m.nBestLevelToday = snapshot.today.nBestLevel;
    return m;
}

void CVenueLink::RunCommand(const VenueCommand& command)
{
    // The same code as the menu item: a switch already as asked stays.
    const auto toggle = [this](bool bNow, bool bWanted, int nCommandId) {
        if (bNow != bWanted)
            m_frame.OnCommand(nCommandId);
    };
    switch (command.nKind) {
    case VenueCommand::Kind::Mute:
        toggle(m_frame.m_bMute, command.bOn, CommandId::Mute);
        break;
    case VenueCommand::Kind::FullScreen:
        toggle(m_frame.m_bFullScreen, command.bOn, CommandId::FullScreen);
        break;
    case VenueCommand::Kind::Fit:
        toggle(m_frame.m_bFitToScreen, command.bOn, CommandId::FitToScreen);
        break;
    case VenueCommand::Kind::Connect:
        Connect(command.strSerial);
        break;
    case VenueCommand::Kind::Disconnect:
        Disconnect();
        break;
    case VenueCommand::Kind::IdleRecords:
        if (m_frame.m_fnShowRecordsWhenIdle)
            m_frame.m_fnShowRecordsWhenIdle(command.bOn);
        else
            Refuse("idle_records", "not available");
        break;
    case VenueCommand::Kind::Screenshot:
        if (m_pReporter)
            m_pReporter->PublishScreenshot(m_frame.m_wndView.PictureAt(1.0));
        break;
    }
}

void CVenueLink::Connect(const std::string& strSerial)
{
    CQuadoDravikDriver& dlg = m_frame.m_dlgDravikDriver;
    if (dlg.IsConnected()) {
        Refuse("connect", "already connected to " + dlg.GameEvents().Serial());
        return;
    }
    if (dlg.IsShowingError()) {
        Refuse("connect", "an error message is waiting on the screen");
        return;
    }
    const std::vector<QString> serials = dlg.ListedSerials();
    int nIndex = -1;
    for (size_t i = 0; i < serials.size() && nIndex < 0; ++i) {
        if (strSerial.empty() || serials[i].toStdString() == strSerial)
            nIndex = static_cast<int>(i);
    }
    if (nIndex < 0) {
        Refuse("connect", strSerial.empty() ? std::string("no adapter listed") : "no adapter " + strSerial + " listed");
        return;
    }
    if (!dlg.ConnectQuietly(nIndex))
        Refuse("connect", dlg.m_strLastFailure.toStdString());
    if (m_bAutoConnectPaused) {
        m_bAutoConnectPaused = false;
        m_frame.m_autoConnect.Control().SetEnabled(true);
    }
    m_frame.UpdateCommandUI();
}

void CVenueLink::Disconnect()
{
    CQuadoDravikDriver& dlg = m_frame.m_dlgDravikDriver;
    if (!dlg.IsConnected()) {
        Refuse("disconnect", "not connected");
        return;
    }
    // The button's own way: a person's disconnect, which also turns
    // automatic connection off, or it would connect again at once.
    m_bAutoConnectPaused = m_frame.m_autoConnect.Control().IsEnabled();
    dlg.m_btnConnect.click();
    m_frame.UpdateCommandUI();
}
