// The opening hours on the local clock: the C library's time zone turns local
// days and minutes into moments, so summer time's short and long nights come
// out as the clocks on the wall show them. Days are walked as dates; a day is
// never taken to be 86400 seconds.
#include "protocol/OpeningHours.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int MinutesPerDay = 24 * 60;

struct LocalMinute {
    CivilDate date;
    int nMinute = 0;
    long nOffset = 0;
};

LocalMinute LocalOf(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    return LocalMinute{CivilDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}, tm.tm_hour * 60 + tm.tm_min,
                       tm.tm_gmtoff};
}

// The moments the local clock shows that minute at: none in a skipped hour,
// two in a repeated one.
std::vector<std::time_t> MomentsOf(const CivilDate& date, int nMinute)
{
    std::vector<std::time_t> vecMoments;
    for (const int nDst : {0, 1}) {
        std::tm tm{};
        tm.tm_year = date.nYear - 1900;
        tm.tm_mon = date.nMonth - 1;
        tm.tm_mday = date.nDay;
        tm.tm_hour = nMinute / 60;
        tm.tm_min = nMinute % 60;
        tm.tm_isdst = nDst;
        const std::time_t t = std::mktime(&tm);
        if (t == static_cast<std::time_t>(-1))
            continue;
        const LocalMinute back = LocalOf(t);
        if (back.date == date && back.nMinute == nMinute &&
            std::find(vecMoments.begin(), vecMoments.end(), t) == vecMoments.end())
            vecMoments.push_back(t);
    }
    std::sort(vecMoments.begin(), vecMoments.end());
    return vecMoments;
}

// The moments the clocks show a span's edge at: of a minute they show twice,
// both; of a skipped minute, the moment they jump (the first minute after it
// that they show).
std::vector<std::time_t> EdgeMoments(const CivilDate& day, int nMinute)
{
    int64_t nDay = DaysFromCivil(day) + nMinute / MinutesPerDay;
    nMinute %= MinutesPerDay;
    // No zone skips more than a day (Samoa's skipped day is the longest).
    for (int nStep = 0; nStep <= 2 * MinutesPerDay; ++nStep) {
        std::vector<std::time_t> vec = MomentsOf(CivilFromDays(nDay), nMinute);
        if (!vec.empty())
            return nStep == 0 ? vec : std::vector<std::time_t>{vec.front()};
        if (++nMinute == MinutesPerDay) {
            nMinute = 0;
            ++nDay;
        }
    }
    return {};
}

struct OpenInterval {
    std::time_t tFrom = 0;
    std::time_t tTo = 0;
};

// The spans of the days from nFirstDay to nLastDay as moments, in order and
// merged where they touch or overlap.
std::vector<OpenInterval> OpenIntervals(const COpeningHours& hours, int64_t nFirstDay, int64_t nLastDay)
{
    std::vector<OpenInterval> vec;
    for (int64_t nDay = nFirstDay; nDay <= nLastDay; ++nDay) {
        const CivilDate date = CivilFromDays(nDay);
        for (const HoursSpan& span : hours.SpansOn(date)) {
            // Open from the first time the clocks show the start until they
            // next show the end: an hour that comes twice is not open twice.
            const std::vector<std::time_t> vecFrom = EdgeMoments(date, span.nStart);
            if (vecFrom.empty())
                continue;
            for (const std::time_t tTo : EdgeMoments(date, span.nEnd)) {
                if (tTo > vecFrom.front()) {
                    vec.push_back(OpenInterval{vecFrom.front(), tTo});
                    break;
                }
            }
        }
    }
    std::sort(vec.begin(), vec.end(), [](const OpenInterval& a, const OpenInterval& b) { return a.tFrom < b.tFrom; });
    std::vector<OpenInterval> vecMerged;
    for (const OpenInterval& interval : vec) {
        if (!vecMerged.empty() && interval.tFrom <= vecMerged.back().tTo)
            vecMerged.back().tTo = std::max(vecMerged.back().tTo, interval.tTo);
        else
            vecMerged.push_back(interval);
    }
    return vecMerged;
}

} // namespace

bool COpeningHours::IsOpenAt(std::time_t t) const
{
    const int64_t nToday = DaysFromCivil(LocalOf(t).date);
    // A span starts at most a day before its end.
    for (const OpenInterval& interval : OpenIntervals(*this, nToday - 2, nToday + 1)) {
        if (t >= interval.tFrom && t < interval.tTo)
            return true;
    }
    return false;
}

HoursState COpeningHours::StateAt(std::time_t t) const
{
    HoursState state;
    const LocalMinute now = LocalOf(t);
    const int64_t nToday = DaysFromCivil(now.date);
    const int64_t nLastDay = nToday + HorizonDays;
    // The same local time HorizonDays on (or the first one after it).
    const std::vector<std::time_t> vecHorizon = EdgeMoments(CivilFromDays(nLastDay), now.nMinute);
    const std::time_t tHorizon = vecHorizon.empty() ? t : vecHorizon.back();
    const std::vector<OpenInterval> vecOpen = OpenIntervals(*this, nToday - 2, nLastDay + 1);
    for (const OpenInterval& interval : vecOpen) {
        if (interval.tTo <= t)
            continue;
        if (interval.tFrom <= t) {
            state.bOpen = true;
            if (interval.tTo <= tHorizon)
                state.tNextChange = interval.tTo;
        } else if (interval.tFrom <= tHorizon) {
            state.tNextChange = interval.tFrom;
        }
        break;
    }
    return state;
}

std::string LocalMinuteText(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    char sz[64];
    std::snprintf(sz, sizeof sz, "%04d-%02d-%02dT%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min);
    return sz;
}

std::optional<std::time_t> ParseLocalMinute(const std::string& str, std::string& strError)
{
    const auto digitsAt = [&](std::initializer_list<size_t> positions) {
        return std::all_of(positions.begin(), positions.end(), [&](size_t i) { return str[i] >= '0' && str[i] <= '9'; });
    };
    if (str.size() != 16 || str[4] != '-' || str[7] != '-' || str[10] != 'T' || str[13] != ':' ||
        !digitsAt({0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15})) {
        strError = "expected a local time written YYYY-MM-DDTHH:MM";
        return std::nullopt;
    }
    const auto number = [&](size_t nPos, size_t nLength) { return std::stoi(str.substr(nPos, nLength)); };
    const CivilDate date{number(0, 4), number(5, 2), number(8, 2)};
    const int nHour = number(11, 2);
    const int nMinute = number(14, 2);
    if (date.nYear < 1 || date.nMonth < 1 || date.nMonth > 12 || date.nDay < 1 ||
        date.nDay > DaysInMonth(date.nYear, date.nMonth) || nHour > 23 || nMinute > 59) {
        strError = "no such time: " + str;
        return std::nullopt;
    }
    const std::vector<std::time_t> vec = MomentsOf(date, nHour * 60 + nMinute);
    if (vec.empty()) {
        strError = str + " does not exist here (the clocks skip it)";
        return std::nullopt;
    }
    return vec.front();
}

std::string ExplainHours(const COpeningHours& hours, std::time_t t)
{
    const HoursState state = hours.StateAt(t);
    std::string str = state.bOpen ? "open" : "closed";
    if (state.tNextChange)
        str += " until " + LocalMinuteText(*state.tNextChange);
    return str;
}
