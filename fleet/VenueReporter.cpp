#include "fleet/VenueReporter.h"

#include <QBuffer>
#include <QByteArray>
#include <QMetaObject>
#include <QThreadPool>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include "fleet/Discovery.h"
#include "protocol/GameEvents.h"

namespace {

// What a stranger's topic name may show on stderr.
std::string Printable(std::string_view text)
{
    std::string str;
    for (const char c : text.substr(0, 40))
        str.push_back(c >= ' ' && c < 0x7F ? c : '?');
    return str;
}

} // namespace

CVenueReporter::CVenueReporter(const VenueOptions& options, const std::string& strVersion, CGameEvents& events,
                               SnapshotSource snapshotSource, CommandHandler commandHandler, QObject* pParent)
    : QObject(pParent)
    , m_strPrefix(options.strMqttPrefix)
    , m_strId(options.strMqttId)
    , m_strBase(options.strMqttPrefix + "/" + options.strMqttId)
    , m_strVersion(strVersion)
    , m_bDiscovery(options.bMqttDiscovery)
    , m_bOpeningHours(options.bOpeningHours)
    , m_events(events)
    , m_snapshotSource(std::move(snapshotSource))
    , m_commandHandler(std::move(commandHandler))
{
    m_config.strHost = options.mqtt.strHost;
    m_config.nPort = options.mqtt.nPort;
    m_config.bTls = options.mqtt.bTls;
    m_config.strUser = options.MqttUser();
    m_config.strPassword = options.strMqttPassword;
    m_config.strClientId = "quado-" + m_strId;
    m_config.will = MqttMessage{.strTopic = m_strBase + "/availability", .strPayload = "offline", .bRetain = true};
    m_config.strCommandFilter = m_strBase + "/set/+";
    m_config.nIncomingLimit = MaxCommandPayload;
    m_timerCheck.setInterval(CheckPeriodMs);
    connect(&m_timerCheck, &QTimer::timeout, this, &CVenueReporter::Check);
    m_timerCommands.setSingleShot(true);
    connect(&m_timerCommands, &QTimer::timeout, this, &CVenueReporter::RunWaitingCommands);
}

CVenueReporter::~CVenueReporter()
{
    // Whatever the snapshot came from may already be going.
    StopLink();
}

bool CVenueReporter::Start(std::string& strError)
{
    // A write to a connection the broker closed must end in an error, not
    // the default SIGPIPE that ends the program.
    std::signal(SIGPIPE, SIG_IGN);
    // The link and libmosquitto come from their module, loaded now.
    m_pLink = MakeBrokerLink(m_config, strError);
    if (!m_pLink)
        return false;
    std::vector<MqttMessage> vecAnnouncements{
        MqttMessage{.strTopic = m_strBase + "/availability", .strPayload = "online", .bRetain = true}};
    if (m_bDiscovery) {
        for (MqttMessage& message : DiscoveryMessages(m_strPrefix, m_strId, m_strVersion, m_bOpeningHours))
            vecAnnouncements.push_back(std::move(message));
    }
    m_pLink->SetAnnouncements(std::move(vecAnnouncements));
    // Both arrive on the link's thread and are run on this one.
    m_pLink->SetMessageHandler([this](MqttIncoming message) { OnCommandMessage(std::move(message)); });
    // After every (re)connection the broker has the state again at once.
    m_pLink->SetConnectHandler([this] {
        QMetaObject::invokeMethod(this, [this] { SendState(m_snapshotSource()); }, Qt::QueuedConnection);
    });
    if (!m_pLink->Start(strError)) {
        m_pLink.reset();
        return false;
    }
    m_eventWatch = CGameEventSubscription(m_events, [this](const GameEvent& event) { OnGameEvent(event); });
    // The first state goes out with the connection (see the connect
    // handler); until then the checks have nothing new to send.
    m_lastSent = m_snapshotSource();
    m_nAudioLosses = m_lastSent.nAudioLosses;
    m_nAudioReturns = m_lastSent.nAudioReturns;
    m_sinceState.start();
    m_timerCheck.start();
    return true;
}

void CVenueReporter::Stop()
{
    if (!m_pLink)
        return;
    m_eventWatch.Reset();
    // Retained: left as it was, it would go on saying connected and playing.
    SendState(m_snapshotSource());
    StopLink();
}

void CVenueReporter::StopLink()
{
    if (!m_pLink)
        return;
    m_timerCheck.stop();
    m_timerCommands.stop();
    m_eventWatch.Reset();
    m_pLink->Stop(std::chrono::milliseconds(FarewellWaitMs));
    m_pLink.reset();
}

void CVenueReporter::Check()
{
    const VenueSnapshot snapshot = m_snapshotSource();
    const auto now = std::chrono::system_clock::now();
    // A loss and a return between two checks are both told, in that order.
    for (; m_nAudioLosses < snapshot.nAudioLosses; ++m_nAudioLosses)
        m_pLink->PostEvent({m_strBase + "/event", AudioEventJson(true, now), false});
    for (; m_nAudioReturns < snapshot.nAudioReturns; ++m_nAudioReturns)
        m_pLink->PostEvent({m_strBase + "/event", AudioEventJson(false, now), false});
    const qint64 nSince = m_sinceState.elapsed();
    const bool bChanged = !snapshot.SameShown(m_lastSent);
    if ((bChanged && nSince >= MinStateGapMs) || nSince >= StatePeriodMs)
        SendState(snapshot);
}

void CVenueReporter::SendState(const VenueSnapshot& snapshot)
{
    if (!m_pLink)
        return;
    m_pLink->PostLatest({m_strBase + "/state", StateJson(snapshot, m_pLink->EventsDropped()), true});
    m_lastSent = snapshot;
    m_sinceState.start();
    ++m_nStatesSent;
}

void CVenueReporter::OnGameEvent(const GameEvent& event)
{
    if (std::optional<std::string> strJson = EventJson(event))
        m_pLink->PostEvent({m_strBase + "/event", std::move(*strJson), false});
}

void CVenueReporter::Ignore(const std::string& strWhat, const std::string& strReason)
{
    ++m_nCommandsIgnored;
    std::fprintf(stderr, "Quado: MQTT: ignored %s: %s\n", strWhat.c_str(), strReason.c_str());
}

void CVenueReporter::OnCommandMessage(MqttIncoming message)
{
    const std::string strCommands = m_strBase + "/set/";
    if (message.strTopic.rfind(strCommands, 0) != 0)
        return;
    CommandMessage command{.strName = message.strTopic.substr(strCommands.size()),
                           .strPayload = std::move(message.strPayload),
                           .bRetained = message.bRetained,
                           .nTooLongBytes = message.nTooLongBytes};
    // Only the first of a burst wakes the UI thread: a flood queues no more
    // than one call there.
    if (m_inbox.Put(std::move(command)))
        QMetaObject::invokeMethod(this, &CVenueReporter::RunWaitingCommands, Qt::QueuedConnection);
}

void CVenueReporter::RunWaitingCommands()
{
    if (!m_pLink)
        return;
    while (m_inbox.Waiting() > 0) {
        const auto now = m_fnCommandClock();
        if (!m_commandTokens.Take(now)) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_commandTokens.UntilNext(now));
            m_timerCommands.start(std::max<int>(1, static_cast<int>(wait.count())));
            return;
        }
        if (std::optional<CommandMessage> command = m_inbox.Take())
            RunCommand(*command);
    }
}

void CVenueReporter::RunCommand(const CommandMessage& message)
{
    const std::string strWhat = "set/" + Printable(message.strName);
    if (message.nTooLongBytes > 0) {
        Ignore(strWhat, "payload too long (" + std::to_string(message.nTooLongBytes) + " bytes, at most " +
                            std::to_string(MaxCommandPayload) + ")");
        return;
    }
    // A retained command would run again at every reconnect and every start.
    if (message.bRetained) {
        Ignore(strWhat, "retained (publish commands without the retain flag)");
        return;
    }
    std::string strReason;
    const std::optional<VenueCommand> command = ParseVenueCommand(message.strName, message.strPayload, strReason);
    if (!command) {
        Ignore(strWhat, strReason);
        return;
    }
    if (command->nKind == VenueCommand::Kind::Screenshot && m_pScreenshotBusy->load()) {
        Ignore(strWhat, "the last screenshot is still being made");
        return;
    }
    if (m_commandHandler)
        m_commandHandler(*command);
}

void CVenueReporter::PublishScreenshot(const QImage& image)
{
    if (!m_pLink || image.isNull() || m_pScreenshotBusy->exchange(true))
        return;
    // Compressing a full-screen picture takes longer than a frame.
    QThreadPool::globalInstance()->start(
        [image, pLink = m_pLink, pBusy = m_pScreenshotBusy, strTopic = m_strBase + "/screenshot"] {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (image.save(&buffer, "PNG"))
                pLink->PostLatest({strTopic, std::string(png.constData(), static_cast<size_t>(png.size())), false});
            *pBusy = false;
        });
}
