// What the venue is told about this screen: the snapshot of what it shows and
// how it runs, built on the UI thread, and the JSON of the retained state and
// of each event message, written by Qt's JSON classes so that no text the
// board or an adapter sends can make a message a reader refuses.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "fleet/PlayTally.h"
#include "protocol/GameEvents.h"

struct VenueSnapshot {
    bool bConnected = false;
    std::string strSerial;
    bool bGameRunning = false;
    std::optional<std::wstring> strLevel;
    std::optional<std::wstring> strMaxLevel;
    // A QuadrantIndex, 0 (none) to 5 (all).
    int nLitQuadrant = 0;
    std::wstring strPanelText;
    // The adapter window's status line.
    std::wstring strStatus;
    bool bMuted = false;
    // Options > Speak Texts.
    bool bSpeak = false;
    bool bFullScreen = false;
    bool bFit = false;
    // Options > Show Records When Idle; none where the records are not built in.
    std::optional<bool> bIdleRecords;
    DayFigures today;
    // Since the last board line (since start before the first) and since the
    // board view was last painted.
    double dSecondsSinceLine = 0;
    double dSecondsSinceFrame = 0;
    // The same two as times, which stay true in a file a crash leaves behind.
    std::chrono::system_clock::time_point tLastLine;
    std::chrono::system_clock::time_point tLastFrame;
    uint64_t nAudioLosses = 0;
    uint64_t nAudioReturns = 0;
    std::string strVersion;
    double dUptimeSeconds = 0;
    // With opening hours only: open by the hours, and the display "on",
    // "off" (switched off) or "blank" (the closed page shown).
    std::optional<bool> bOpen;
    std::optional<std::string> strDisplay;

    // Equal in everything but the clocks and today's date (the message shows
    // the day's figures, not the day): a state message is due when this is
    // false.
    bool SameShown(const VenueSnapshot& other) const;
};

// "none", "green", "red", "blue", "yellow", "all".
const char* QuadrantName(int nQuadrant);
// UTC, to the millisecond: "2026-12-09T14:03:07.250Z".
std::string IsoTime(std::chrono::system_clock::time_point when);

std::string StateJson(const VenueSnapshot& snapshot, uint64_t nEventsDropped);
// The message for a game event the venue is told of (game started and
// ended, adapter connected and disconnected); none for the others.
std::optional<std::string> EventJson(const GameEvent& event);
std::string AudioEventJson(bool bLost, std::chrono::system_clock::time_point when);
