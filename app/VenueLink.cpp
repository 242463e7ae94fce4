#include "app/VenueLink.h"

#include <QEvent>

#include <cstdio>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/SleepController.h"
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
    , m_tally(frame.AdapterLink().GameEvents())
{
    // The view paints only when something changes; its last paint tells a
    // frozen picture from a quiet one.
    m_frame.BoardView()->installEventFilter(this);
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
    m_frame.BoardView()->removeEventFilter(this);
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
    if (pEvent->type() == QEvent::Paint && pWatched == m_frame.BoardView()) {
        ++m_nPaints;
        m_tLastPaint = std::chrono::steady_clock::now();
    }
    return QObject::eventFilter(pWatched, pEvent);
}

bool CVenueLink::Start(std::string& strError)
{
    bool bAll = true;
    if (m_options.bMqtt) {
        m_pReporter = std::make_unique<CVenueReporter>(
            m_options, m_strVersion, m_frame.AdapterLink().GameEvents(), [this] { return Snapshot(); },
            [this](const VenueCommand& command) { RunCommand(command); });
        // The metrics and systemd's watchdog go on without the broker.
        if (!m_pReporter->Start(strError)) {
            m_pReporter.reset();
            bAll = false;
        }
    }
    if (!m_options.strMetricsFile.empty()) {
        m_pMetrics = std::make_unique<CMetricsWriter>(m_options.strMetricsFile, [this] { return Metrics(); });
        m_pMetrics->Start();
    }
    if (CSystemdNotifier::IsWanted()) {
        m_pSystemd = std::make_unique<CSystemdNotifier>([this] {
            // Asleep is not stuck: whoever reads the unit's status sees why.
            if (m_pSleep && !m_pSleep->IsOpen())
                return m_pSleep->StatusText();
            return m_frame.AdapterLink().Status().toStdString();
        });
        m_pSystemd->Start(m_frame.BoardView(), m_nPaints > 0);
        connect(&m_frame.AdapterLink(), &CAdapterLink::StatusChanged, m_pSystemd.get(),
                &CSystemdNotifier::CheckStatus);
        if (m_pSleep)
            connect(m_pSleep, &CSleepController::Changed, m_pSystemd.get(), &CSystemdNotifier::CheckStatus);
    }
    return bAll;
}

VenueSnapshot CVenueLink::Snapshot()
{
    const auto now = std::chrono::steady_clock::now();
    const auto wallNow = std::chrono::system_clock::now();
    CAdapterLink& link = m_frame.AdapterLink();
    const CGameEvents& events = link.GameEvents();
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
    s.nLitQuadrant = m_frame.LitQuadrant();
    s.strPanelText = m_frame.PanelText();
    s.strStatus = link.Status().toStdWString();
    s.bMuted = m_frame.IsMuted();
    s.bSpeak = m_frame.IsSpeakOn();
    s.bFullScreen = m_frame.IsFullScreen();
    s.bFit = m_frame.IsFitToScreen();
    s.bIdleRecords = m_frame.ShowsRecordsWhenIdle();
    const std::optional<DayFigures> recorded = m_frame.RecordedDayFigures();
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
    if (m_pSleep) {
        s.bOpen = m_pSleep->IsOpen();
        s.strDisplay = DisplayStateName(m_pSleep->Display());
    }
    return s;
}

MetricsSample CVenueLink::Metrics()
{
    const VenueSnapshot snapshot = Snapshot();
    MetricsSample m;
    m.bConnected = snapshot.bConnected;
    for (size_t i = 0; i < m.nGames.size(); ++i)
        m.nGames[i] = m_tally.GamesEnded(static_cast<GameOutcome>(i));
    m.nLines = m_frame.AdapterLink().GameEvents().LineCount();
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
    m.bOpen = snapshot.bOpen;
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
        toggle(m_frame.IsMuted(), command.bOn, CommandId::Mute);
        break;
    case VenueCommand::Kind::FullScreen:
        toggle(m_frame.IsFullScreen(), command.bOn, CommandId::FullScreen);
        break;
    case VenueCommand::Kind::Fit:
        toggle(m_frame.IsFitToScreen(), command.bOn, CommandId::FitToScreen);
        break;
    case VenueCommand::Kind::Connect:
        Connect(command.strSerial);
        break;
    case VenueCommand::Kind::Disconnect:
        Disconnect();
        break;
    case VenueCommand::Kind::Speak:
        // The menu's own switch; greyed there, refused here with its reason.
        if (command.bOn && !m_frame.IsSpeakAvailable())
            Refuse("speak", m_frame.SpeakUnavailableReason().toStdString());
        else
            toggle(m_frame.IsSpeakOn(), command.bOn, CommandId::Speak);
        break;
    case VenueCommand::Kind::IdleRecords:
        if (!m_frame.SetShowRecordsWhenIdle(command.bOn))
            Refuse("idle_records", "not available");
        break;
    case VenueCommand::Kind::Sleep:
        if (m_pSleep)
            m_pSleep->SetSleepOverride(command.bOn);
        else
            Refuse("sleep", "no opening hours given");
        break;
    case VenueCommand::Kind::Screenshot:
        if (m_pReporter)
            m_pReporter->PublishScreenshot(m_frame.Screenshot());
        break;
    }
}

void CVenueLink::Connect(const std::string& strSerial)
{
    CAdapterLink& link = m_frame.AdapterLink();
    if (link.IsConnected()) {
        Refuse("connect", "already connected to " + link.GameEvents().Serial());
        return;
    }
    if (link.AreConnectsHeld()) {
        Refuse("connect", "an error message is waiting on the screen");
        return;
    }
    const std::vector<QString> serials = link.ListedSerials();
    int nIndex = -1;
    for (size_t i = 0; i < serials.size() && nIndex < 0; ++i) {
        if (strSerial.empty() || serials[i].toStdString() == strSerial)
            nIndex = static_cast<int>(i);
    }
    if (nIndex < 0) {
        Refuse("connect", strSerial.empty() ? std::string("no adapter listed") : "no adapter " + strSerial + " listed");
        return;
    }
    if (!link.ConnectQuietly(nIndex))
        Refuse("connect", link.LastFailure().toStdString());
    if (m_bAutoConnectPaused) {
        m_bAutoConnectPaused = false;
        m_frame.AutoConnect().SetEnabled(true);
    }
    m_frame.UpdateCommandUI();
}

void CVenueLink::Disconnect()
{
    CAdapterLink& link = m_frame.AdapterLink();
    if (!link.IsConnected()) {
        Refuse("disconnect", "not connected");
        return;
    }
    // A person's disconnect, which also turns automatic connection off, or
    // it would connect again at once.
    m_bAutoConnectPaused = m_frame.AutoConnect().IsEnabled();
    link.Disconnect(DisconnectReason::User);
    m_frame.UpdateCommandUI();
}
