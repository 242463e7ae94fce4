// One local day's play in figures: how many games ended that day and the best
// numbered level one of them reached. The records count it from their file,
// the venue's tally from the game events; the idle screen and the venue's
// reports show it. Plain C++.
#pragma once

#include <chrono>
#include <optional>

struct DayFigures {
    int nGames = 0;
    // None before a game with a numbered level ended that day.
    std::optional<int> nBestLevel;
    // The local calendar day counted.
    std::chrono::year_month_day day{};

    bool operator==(const DayFigures&) const = default;
};
