#include "fleet/VenueReport.h"

#include <ctime>

#include "fleet/JsonText.h"

namespace {

void AddOptionalText(CJsonObject& json, std::string_view key, const std::optional<std::wstring>& strText)
{
    if (strText)
        json.AddString(key, Utf8(*strText));
    else
        json.AddNull(key);
}

} // namespace

bool VenueSnapshot::SameShown(const VenueSnapshot& other) const
{
    return bConnected == other.bConnected && strSerial == other.strSerial && bGameRunning == other.bGameRunning &&
           strLevel == other.strLevel && strMaxLevel == other.strMaxLevel && nLitQuadrant == other.nLitQuadrant &&
           strPanelText == other.strPanelText && strStatus == other.strStatus && bMuted == other.bMuted &&
           bFullScreen == other.bFullScreen && bFit == other.bFit && today == other.today &&
           nAudioLosses == other.nAudioLosses && nAudioReturns == other.nAudioReturns;
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
    CJsonObject json;
    json.AddBool("connected", s.bConnected);
    if (s.strSerial.empty())
        json.AddNull("serial");
    else
        json.AddString("serial", s.strSerial);
    json.AddBool("game_running", s.bGameRunning);
    AddOptionalText(json, "level", s.strLevel);
    AddOptionalText(json, "max_level", s.strMaxLevel);
    json.AddString("lit", QuadrantName(s.nLitQuadrant));
    json.AddString("panel_text", Utf8(s.strPanelText));
    json.AddString("status", Utf8(s.strStatus));
    json.AddBool("muted", s.bMuted);
    json.AddBool("full_screen", s.bFullScreen);
    json.AddBool("fit", s.bFit);
    json.AddInt("games_today", s.today.nGames);
    if (s.today.nBestLevel)
        json.AddInt("best_level_today", *s.today.nBestLevel);
    else
        json.AddNull("best_level_today");
    json.AddNumber("seconds_since_line", s.dSecondsSinceLine, 1);
    json.AddNumber("seconds_since_frame", s.dSecondsSinceFrame, 1);
    json.AddInt("audio_device_losses", static_cast<int64_t>(s.nAudioLosses));
    json.AddInt("events_dropped", static_cast<int64_t>(nEventsDropped));
    json.AddString("version", s.strVersion);
    json.AddNumber("uptime_seconds", s.dUptimeSeconds, 0);
    return json.Text();
}

std::optional<std::string> EventJson(const GameEvent& event)
{
    CJsonObject json;
    switch (event.nKind) {
    case GameEvent::Kind::GameStarted:
        json.AddString("event", "game_started").AddString("time", IsoTime(event.tWhen));
        json.AddString("serial", event.game.strSerial);
        break;
    case GameEvent::Kind::GameEnded: {
        const GameRecord& game = event.game;
        json.AddString("event", "game_ended").AddString("time", IsoTime(event.tWhen));
        json.AddString("outcome", OutcomeName(game.nOutcome)).AddString("cause", EndCauseName(game.nCause));
        if (game.levelReached.strText.empty())
            json.AddNull("level");
        else
            json.AddString("level", Utf8(game.levelReached.strText));
        AddOptionalText(json, "max_level", game.strMaxLevel);
        json.AddNumber("duration_seconds", game.Duration().count() / 1000.0, 3);
        json.AddString("started", IsoTime(game.tStart)).AddString("serial", game.strSerial);
        break;
    }
    case GameEvent::Kind::Connected:
        json.AddString("event", "connected").AddString("time", IsoTime(event.tWhen));
        json.AddString("serial", event.strSerial);
        break;
    case GameEvent::Kind::Disconnected:
        json.AddString("event", "disconnected").AddString("time", IsoTime(event.tWhen));
        json.AddString("reason", DisconnectReasonName(event.nReason)).AddString("serial", event.strSerial);
        break;
    case GameEvent::Kind::LevelShown:
    case GameEvent::Kind::Line:
        return std::nullopt;
    }
    return json.Text();
}

std::string AudioEventJson(bool bLost, std::chrono::system_clock::time_point when)
{
    return CJsonObject()
        .AddString("event", bLost ? "audio_device_lost" : "audio_device_back")
        .AddString("time", IsoTime(when))
        .Text();
}
