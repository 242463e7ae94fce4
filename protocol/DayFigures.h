// One local day's play in figures: how many games ended that day and the best
// numbered level one of them reached. The records count it from their file,
// the venue's tally from the game events; the idle screen and the venue's
// reports show it. Plain C++: the day is a plain yyyymmdd number.
#pragma once

#include <optional>

struct DayFigures {
    // The local calendar day counted, as yyyymmdd (20241027); 0 names none.
    // Numbers in this form sort as the days do.
    int nDay = 0;
    int nGames = 0;
    // The highest numbered level a game ended at that day; none before one did.
    std::optional<int> nBestLevel;

    static constexpr int DayNumber(int nYear, int nMonth, int nDayOfMonth)
    {
        return nYear * 10000 + nMonth * 100 + nDayOfMonth;
    }
    constexpr int Year() const { return nDay / 10000; }
    constexpr int Month() const { return nDay / 100 % 100; }
    constexpr int DayOfMonth() const { return nDay % 100; }

    bool operator==(const DayFigures&) const = default;
};
