// The schedule by calendar days: which rule a day falls under, and the
// calendar arithmetic the hours are walked with (plain dates, no clock).
#include "protocol/OpeningHours.h"

#include <algorithm>

namespace {

constexpr int MinutesPerDay = 24 * 60;

bool DateInRange(const MonthDayRange& range, int nMonth, int nDay)
{
    const int nKey = nMonth * 32 + nDay;
    const int nFrom = range.nFromMonth * 32 + range.nFromDay;
    const int nTo = range.nToMonth * 32 + range.nToDay;
    return nFrom <= nTo ? nKey >= nFrom && nKey <= nTo : nKey >= nFrom || nKey <= nTo;
}

bool RuleNames(const HoursRule& rule, const CivilDate& date)
{
    if (!(rule.nWeekdays & (1u << WeekdayOf(date))))
        return false;
    if (rule.vecDates.empty())
        return true;
    return std::any_of(rule.vecDates.begin(), rule.vecDates.end(),
                       [&](const MonthDayRange& range) { return DateInRange(range, date.nMonth, date.nDay); });
}

} // namespace

int64_t DaysFromCivil(const CivilDate& date)
{
    // Howard Hinnant's days_from_civil.
    const int64_t y = date.nYear - (date.nMonth <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (date.nMonth + (date.nMonth > 2 ? -3 : 9)) + 2) / 5 + date.nDay - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(int64_t nDays)
{
    nDays += 719468;
    const int64_t era = (nDays >= 0 ? nDays : nDays - 146096) / 146097;
    const int64_t doe = nDays - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int nDay = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int nMonth = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return CivilDate{static_cast<int>(yoe + era * 400 + (nMonth <= 2 ? 1 : 0)), nMonth, nDay};
}

int WeekdayOf(const CivilDate& date)
{
    // 1970-01-01 was a Thursday (3).
    const int64_t n = (DaysFromCivil(date) + 3) % 7;
    return static_cast<int>(n < 0 ? n + 7 : n);
}

int DaysInMonth(int nYear, int nMonth)
{
    constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool bLeap = (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
    return Days[nMonth - 1] + (nMonth == 2 && bLeap ? 1 : 0);
}

std::vector<HoursSpan> COpeningHours::SpansOn(const CivilDate& date) const
{
    // A later rule replaces the earlier ones for every day it names.
    for (auto it = m_vecRules.rbegin(); it != m_vecRules.rend(); ++it) {
        if (RuleNames(*it, date))
            return it->bOff ? std::vector<HoursSpan>{} : it->vecSpans;
    }
    return {};
}

bool COpeningHours::IsOpenAt(const CivilDate& date, int nMinute) const
{
    for (const HoursSpan& span : SpansOn(date)) {
        if (nMinute >= span.nStart && nMinute < span.nEnd)
            return true;
    }
    // A span of the day before that runs past midnight belongs to that day:
    // a rule naming this day does not cut the night short.
    for (const HoursSpan& span : SpansOn(CivilFromDays(DaysFromCivil(date) - 1))) {
        if (nMinute + MinutesPerDay >= span.nStart && nMinute + MinutesPerDay < span.nEnd)
            return true;
    }
    return false;
}
