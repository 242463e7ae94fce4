#include "fleet/VenueReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cmath>
#include <ctime>

namespace {

// Text from the board or an adapter as it came: what is no character (an
// odd byte in a serial, a lone surrogate) becomes U+FFFD, never a byte a
// JSON reader refuses.
QJsonValue Text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QJsonValue Text(std::wstring_view text)
{
    QString str;
    str.reserve(static_cast<qsizetype>(text.size()));
    for (const wchar_t c : text) {
        const auto n = static_cast<char32_t>(c);
        const bool bCharacter = n <= 0x10FFFF && (n < 0xD800 || n > 0xDFFF);
        const char32_t one = bCharacter ? n : char32_t(0xFFFD);
        str.append(QString::fromUcs4(&one, 1));
    }
    return str;
}

QJsonValue OptionalText(const std::optional<std::wstring>& strText)
{
    return strText ? Text(*strText) : QJsonValue(QJsonValue::Null);
}

// A reader sees "12.3", never "12.300000000000001"; JSON has no NaN.
QJsonValue Rounded(double dValue, int nDecimals)
{
    if (!std::isfinite(dValue))
        return QJsonValue(QJsonValue::Null);
    const double dScale = std::pow(10.0, nDecimals);
    return std::round(dValue * dScale) / dScale;
}

std::string Compact(const QJsonObject& json)
{
    return QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();
}

QJsonObject EventObject(const char* pszEvent, std::chrono::system_clock::time_point when)
{
    return QJsonObject{{"event", QString::fromLatin1(pszEvent)}, {"time", QString::fromStdString(IsoTime(when))}};
}

} // namespace

bool VenueSnapshot::SameShown(const VenueSnapshot& other) const
{
    return bConnected == other.bConnected && strSerial == other.strSerial && bGameRunning == other.bGameRunning &&
           strLevel == other.strLevel && strMaxLevel == other.strMaxLevel && nLitQuadrant == other.nLitQuadrant &&
           strPanelText == other.strPanelText && strStatus == other.strStatus && bMuted == other.bMuted && bSpeak == other.bSpeak &&
           bFullScreen == other.bFullScreen && bFit == other.bFit && bIdleRecords == other.bIdleRecords &&
           today.nGames == other.today.nGames && today.nBestLevel == other.today.nBestLevel &&
           nAudioLosses == other.nAudioLosses && nAudioReturns == other.nAudioReturns && bOpen == other.bOpen &&
           strDisplay == other.strDisplay;
}

const char* QuadrantName(int nQuadrant)
{
    static const char* const Names[] = {"none", "green", "red", "blue", "yellow", "all"};
    return nQuadrant >= 0 && nQuadrant <= 5 ? Names[nQuadrant] : "none";
}

std::string IsoTime(std::chrono::system_clock::time_point when)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t t = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    std::tm utc{};
    gmtime_r(&t, &utc);
    char szTime[40];
    const std::size_t n = std::strftime(szTime, sizeof szTime, "%Y-%m-%dT%H:%M:%S", &utc);
    const int nMillis = static_cast<int>(((ms % 1000) + 1000) % 1000);
    std::string str(szTime, n);
    str += '.';
    str += static_cast<char>('0' + nMillis / 100);
    str += static_cast<char>('0' + nMillis / 10 % 10);
    str += static_cast<char>('0' + nMillis % 10);
    str += 'Z';
    return str;
}

std::string StateJson(const VenueSnapshot& s, uint64_t nEventsDropped)
{
    QJsonObject json;
    json["connected"] = s.bConnected;
    json["serial"] = s.strSerial.empty() ? QJsonValue(QJsonValue::Null) : Text(s.strSerial);
    json["game_running"] = s.bGameRunning;
    json["level"] = OptionalText(s.strLevel);
    json["max_level"] = OptionalText(s.strMaxLevel);
    json["lit"] = QString::fromLatin1(QuadrantName(s.nLitQuadrant));
    json["panel_text"] = Text(s.strPanelText);
    json["status"] = Text(s.strStatus);
    json["muted"] = s.bMuted;
    json["speak"] = s.bSpeak;
    json["full_screen"] = s.bFullScreen;
    json["fit"] = s.bFit;
    json["idle_records"] = s.bIdleRecords ? QJsonValue(*s.bIdleRecords) : QJsonValue(QJsonValue::Null);
    json["games_today"] = s.today.nGames;
    json["best_level_today"] = s.today.nBestLevel ? QJsonValue(*s.today.nBestLevel) : QJsonValue(QJsonValue::Null);
    json["seconds_since_line"] = Rounded(s.dSecondsSinceLine, 1);
    json["seconds_since_frame"] = Rounded(s.dSecondsSinceFrame, 1);
    json["audio_device_losses"] = static_cast<qint64>(s.nAudioLosses);
    json["events_dropped"] = static_cast<qint64>(nEventsDropped);
    json["version"] = Text(s.strVersion);
    json["uptime_seconds"] = Rounded(s.dUptimeSeconds, 0);
    if (s.bOpen)
        json["open"] = *s.bOpen;
    if (s.strDisplay)
        json["display"] = QString::fromStdString(*s.strDisplay);
    return Compact(json);
}

std::optional<std::string> EventJson(const GameEvent& event)
{
    QJsonObject json;
    switch (event.nKind) {
    case GameEvent::Kind::GameStarted:
        json = EventObject("game_started", event.tWhen);
        json["serial"] = Text(event.game.strSerial);
        break;
    case GameEvent::Kind::GameEnded: {
        const GameRecord& game = event.game;
        json = EventObject("game_ended", event.tWhen);
        json["outcome"] = QString::fromLatin1(OutcomeName(game.nOutcome));
        json["cause"] = QString::fromLatin1(EndCauseName(game.nCause));
        json["level"] =
            game.levelReached.strText.empty() ? QJsonValue(QJsonValue::Null) : Text(game.levelReached.strText);
        json["max_level"] = OptionalText(game.strMaxLevel);
        json["duration_seconds"] = Rounded(game.Duration().count() / 1000.0, 3);
        json["started"] = QString::fromStdString(IsoTime(game.tStart));
        json["serial"] = Text(game.strSerial);
        break;
    }
    case GameEvent::Kind::Connected:
        json = EventObject("connected", event.tWhen);
        json["serial"] = Text(event.strSerial);
        break;
    case GameEvent::Kind::Disconnected:
        json = EventObject("disconnected", event.tWhen);
        json["reason"] = QString::fromLatin1(DisconnectReasonName(event.nReason));
        json["serial"] = Text(event.strSerial);
        break;
    case GameEvent::Kind::LevelShown:
    case GameEvent::Kind::Line:
        return std::nullopt;
    }
    return Compact(json);
}

std::string AudioEventJson(bool bLost, std::chrono::system_clock::time_point when)
{
    return Compact(EventObject(bLost ? "audio_device_lost" : "audio_device_back", when));
}
