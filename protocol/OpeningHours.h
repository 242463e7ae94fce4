// A venue's opening hours written in OpenStreetMap's opening_hours notation
// (the common part of it), and when they say open: which local days and
// minutes, and, on the process's local clock, the next moment that changes.
// Plain C++: the text comes from a command line or a file, never trusted.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A calendar day, proleptic Gregorian.
struct CivilDate {
    int nYear = 1970;
    int nMonth = 1;
    int nDay = 1;
    bool operator==(const CivilDate&) const = default;
};

// Days since 1970-01-01, and back; the weekday, 0 Monday to 6 Sunday.
int64_t DaysFromCivil(const CivilDate& date);
CivilDate CivilFromDays(int64_t nDays);
int WeekdayOf(const CivilDate& date);
int DaysInMonth(int nYear, int nMonth);

// Minutes from the start of a day; an end may lie in the next day (up to
// 48:00), when the span runs past midnight.
struct HoursSpan {
    int nStart = 0;
    int nEnd = 0;
};

// Month and day, both inclusive; when From is after To the range runs over
// the turn of the year (Dec 24-Jan 02).
struct MonthDayRange {
    int nFromMonth = 1;
    int nFromDay = 1;
    int nToMonth = 12;
    int nToDay = 31;
};

struct HoursRule {
    // None: every day of the year.
    std::vector<MonthDayRange> vecDates;
    // Bit 0 Monday to bit 6 Sunday.
    uint8_t nWeekdays = 0x7F;
    bool bOff = false;
    std::vector<HoursSpan> vecSpans;
};

struct HoursRefusal {
    // 1 for the first character of the text.
    size_t nPosition = 0;
    std::string strReason;
    // "position 7: ..."
    std::string Text() const;
};

// The state at one moment and the next local time it changes, if it does
// within HorizonDays.
struct HoursState {
    bool bOpen = false;
    std::optional<std::time_t> tNextChange;
};

class COpeningHours {
public:
    static constexpr int HorizonDays = 366;

    // The schedule the text gives, or none with where and why it is refused.
    // Anything beyond the supported part of the notation is refused, never
    // guessed at.
    static std::optional<COpeningHours> Parse(std::string_view text, HoursRefusal& refusal);

    const std::vector<HoursRule>& Rules() const { return m_vecRules; }

    // The spans that start on that day (the last rule naming the day wins).
    std::vector<HoursSpan> SpansOn(const CivilDate& date) const;
    // Open at that local minute of that day, counting the day before's spans
    // that run past midnight.
    bool IsOpenAt(const CivilDate& date, int nMinute) const;

    // On the local clock (TZ) of the process: open at t, and the next change.
    bool IsOpenAt(std::time_t t) const;
    HoursState StateAt(std::time_t t) const;

private:
    std::vector<HoursRule> m_vecRules;
};

// "YYYY-MM-DDTHH:MM" of the moment on the local clock.
std::string LocalMinuteText(std::time_t t);
// A local "YYYY-MM-DDTHH:MM" as a moment: none when the text is no such time
// or the clocks skip it; of a time that comes twice, the first.
std::optional<std::time_t> ParseLocalMinute(const std::string& str, std::string& strError);
// What --explain prints: "open", "closed", or either with " until " and the
// local time of the next change.
std::string ExplainHours(const COpeningHours& hours, std::time_t t);
