// This screen's side of the venue's broker, on the UI thread: the retained
// availability and state, one message for each game event, Home Assistant
// discovery, and the commands from <base>/set/..., collapsed and limited in
// rate (CommandInbox.h), checked here and handed to the UI thread's handler.
// The network itself is the link's thread's.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "fleet/CommandInbox.h"
#include "fleet/IBrokerLink.h"
#include "fleet/VenueCommand.h"
#include "fleet/VenueOptions.h"
#include "fleet/VenueReport.h"
#include "protocol/GameEvents.h"

class CVenueReporter : public QObject {
    Q_OBJECT
public:
    // The state is compared with the last one sent this often; at most one
    // goes out a second, and one at least every 30 s.
    static constexpr int CheckPeriodMs = 250;
    static constexpr int MinStateGapMs = 1000;
    static constexpr int StatePeriodMs = 30000;
    // At exit, how long "offline" may take to leave.
    static constexpr int FarewellWaitMs = 3000;
    // Commands: five at once, then five a second.
    static constexpr int CommandBurst = 5;
    static constexpr std::chrono::milliseconds CommandPeriod{200};

    using SnapshotSource = std::function<VenueSnapshot()>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using CommandHandler = std::function<void(const VenueCommand&)>;

    // options.bMqtt must be set. Both functions are called on this thread.
    CVenueReporter(const VenueOptions& options, const std::string& strVersion, CGameEvents& events,
                   SnapshotSource snapshotSource, CommandHandler commandHandler, QObject* pParent = nullptr);
    ~CVenueReporter() override;

    // What Start gives the link; tests may change it first.
    MqttLinkConfig& LinkConfig() { return m_config; }
    // The clock the commands' rate is measured by; tests stand their own in.
    void SetCommandClock(Clock clock) { m_fnCommandClock = std::move(clock); }
    bool Start(std::string& strError);
    // Sends the state once more (the snapshot as it is now), says
    // "offline" and disconnects; nothing is sent after.
    void Stop();

    // Sent once to <base>/screenshot as PNG, encoded off this thread; while
    // one is being encoded, another is refused.
    void PublishScreenshot(const QImage& image);

    const std::string& Base() const { return m_strBase; }
    // Null before Start.
    const IBrokerLink* Link() const { return m_pLink.get(); }
    uint64_t StatesSent() const { return m_nStatesSent; }
    uint64_t CommandsIgnored() const { return m_nCommandsIgnored; }
    const CCommandInbox& Inbox() const { return m_inbox; }

private:
    // Stop without the last state.
    void StopLink();
    void Check();
    void SendState(const VenueSnapshot& snapshot);
    void OnGameEvent(const GameEvent& event);
    // Link's thread.
    void OnCommandMessage(MqttIncoming message);
    void RunWaitingCommands();
    void RunCommand(const CommandMessage& message);
    void Ignore(const std::string& strWhat, const std::string& strReason);

    MqttLinkConfig m_config;
    std::string m_strPrefix;
    std::string m_strId;
    std::string m_strBase;
    std::string m_strVersion;
    bool m_bDiscovery = false;
    bool m_bOpeningHours = false;
    CGameEvents& m_events;
    CGameEventSubscription m_eventWatch;
    SnapshotSource m_snapshotSource;
    CommandHandler m_commandHandler;
    std::shared_ptr<IBrokerLink> m_pLink;
    std::shared_ptr<std::atomic<bool>> m_pScreenshotBusy = std::make_shared<std::atomic<bool>>(false);
    QTimer m_timerCheck;
    CCommandInbox m_inbox;
    Clock m_fnCommandClock = [] { return std::chrono::steady_clock::now(); };
    CTokenBucket m_commandTokens{CommandBurst, CommandPeriod};
    QTimer m_timerCommands;
    QElapsedTimer m_sinceState;
    VenueSnapshot m_lastSent;
    uint64_t m_nAudioLosses = 0;
    uint64_t m_nAudioReturns = 0;
    uint64_t m_nStatesSent = 0;
    uint64_t m_nCommandsIgnored = 0;
};
