#include "records/RecordedGame.h"

#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "protocol/GameEvents.h"

namespace {

qint64 MsOf(std::chrono::system_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (Howard
// Hinnant's civil-date arithmetic): a day's rows are read in their
// thousands, and QDateTime's parser costs a microsecond or two each.
qint64 DaysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

void CivilFromDays(qint64 z, qint64& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<qint64>(yoe) + era * 400 + (m <= 2);
}

qint64 FloorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

} // namespace

RecordedGame RecordedGame::From(const GameRecord& game)
{
    RecordedGame row;
    row.nStartMs = MsOf(game.tStart);
    row.nEndMs = MsOf(game.tEnd);
    row.nDurationMs = game.Duration().count();
    row.strOutcome = QString::fromLatin1(OutcomeName(game.nOutcome));
    row.strCause = QString::fromLatin1(EndCauseName(game.nCause));
    row.strLevel = QString::fromStdWString(game.levelReached.strText);
    row.nLevel = game.levelReached.nNumber;
    if (game.strMaxLevel)
        row.strMaxLevel = QString::fromStdWString(*game.strMaxLevel);
    row.strSerial = QString::fromStdString(game.strSerial);
    return row;
}

QString FormatUtc(qint64 nMs)
{
    const qint64 nDays = FloorDiv(nMs, 86400000);
    const qint64 nInDay = nMs - nDays * 86400000;
    qint64 y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(nDays, y, m, d);
    char sz[40];
    const int nHour = static_cast<int>(nInDay / 3600000);
    const int nMinute = static_cast<int>(nInDay / 60000 % 60);
    const int nSecond = static_cast<int>(nInDay / 1000 % 60);
    const int nMilli = static_cast<int>(nInDay % 1000);
    std::snprintf(sz, sizeof sz, "%04lld-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<long long>(y), m, d, nHour,
                  nMinute, nSecond, nMilli);
    return QString::fromLatin1(sz);
}

std::optional<qint64> ParseUtc(const QString& str)
{
    // The stored form, exactly: 24 characters, digits where digits belong.
    static constexpr char Form[] = "dddd-dd-ddTdd:dd:dd.dddZ";
    bool bStored = str.size() == 24;
    for (qsizetype i = 0; bStored && i < 24; ++i) {
        const QChar c = str[i];
        bStored = Form[i] == 'd' ? (c >= u'0' && c <= u'9') : c == QLatin1Char(Form[i]);
    }
    if (!bStored) {
        const QDateTime dt = QDateTime::fromString(str, Qt::ISODateWithMs);
        if (!dt.isValid())
            return std::nullopt;
        return dt.toMSecsSinceEpoch();
    }
    const auto num = [&str](int nFrom, int nCount) {
        int n = 0;
        for (int i = nFrom; i < nFrom + nCount; ++i)
            n = n * 10 + (str[i].unicode() - u'0');
        return n;
    };
    const int nMonth = num(5, 2), nDay = num(8, 2), nHour = num(11, 2), nMinute = num(14, 2), nSecond = num(17, 2);
    if (nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > 31 || nHour > 23 || nMinute > 59 || nSecond > 59)
        return std::nullopt;
    const qint64 nDays = DaysFromCivil(num(0, 4), static_cast<unsigned>(nMonth), static_cast<unsigned>(nDay));
    return ((nDays * 24 + nHour) * 60 + nMinute) * 60000 + nSecond * 1000 + num(20, 3);
}

int DayNumberOf(const QDate& day)
{
    return day.isValid() ? DayFigures::DayNumber(day.year(), day.month(), day.day()) : 0;
}

QDate DateOf(const DayFigures& figures)
{
    return figures.nDay ? QDate(figures.Year(), figures.Month(), figures.DayOfMonth()) : QDate();
}

QDate LocalDayOf(qint64 nMs)
{
    return QDateTime::fromMSecsSinceEpoch(nMs, Qt::LocalTime).date();
}

qint64 LocalDayStart(const QDate& day)
{
    // Midnight as the zone has it, when it is the day's first instant: the
    // common case, and one conversion.
    const QDateTime midnight(day, QTime(0, 0), Qt::LocalTime);
    if (midnight.isValid() && midnight.date() == day && midnight.time() == QTime(0, 0)) {
        const qint64 nMs = midnight.toMSecsSinceEpoch();
        if (LocalDayOf(nMs - 1) < day && LocalDayOf(nMs) == day)
            return nMs;
    }
    // Otherwise the first instant whose local date is the day or later: no
    // zone is more than 15 hours from UTC, and the local date never goes
    // back as UTC goes on (a clock set back repeats hours, not days).
    const qint64 nUtcMidnight = QDateTime(day, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    constexpr qint64 Reach = 15 * 3600 * qint64(1000);
    qint64 nBefore = nUtcMidnight - Reach; // local date before the day
    qint64 nAt = nUtcMidnight + Reach;     // local date the day or later
    while (nAt - nBefore > 1) {
        const qint64 nMiddle = nBefore + (nAt - nBefore) / 2;
        if (LocalDayOf(nMiddle) < day)
            nBefore = nMiddle;
        else
            nAt = nMiddle;
    }
    return nAt;
}

std::pair<qint64, qint64> LocalDayBounds(const QDate& day)
{
    return {LocalDayStart(day), LocalDayStart(day.addDays(1))};
}

std::array<qint64, 25> LocalHourStarts(const QDate& day)
{
    std::array<qint64, 25> starts{};
    const auto [nFirst, nEnd] = LocalDayBounds(day);
    starts[0] = nFirst;
    starts[24] = nEnd;
    std::array<bool, 25> bHas{};
    bHas[0] = bHas[24] = true;
    for (int h = 1; h < 24; ++h) {
        const QDateTime dt(day, QTime(h, 0), Qt::LocalTime);
        bHas[h] = dt.isValid() && dt.date() == day && dt.time().hour() == h;
        if (bHas[h])
            starts[h] = std::clamp(dt.toMSecsSinceEpoch(), nFirst, std::max(nFirst, nEnd));
    }
    // An hour that a change to summer time skips starts where the next one
    // does, so it holds no games; one repeated as winter time starts holds
    // both of its runs.
    for (int h = 23; h > 0; --h) {
        if (!bHas[h])
            starts[h] = starts[h + 1];
    }
    for (int h = 1; h < 25; ++h)
        starts[h] = std::max(starts[h], starts[h - 1]);
    return starts;
}
