#include "records/DaySummary.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

// Up to this level every number gets a bar, games or none, so a gap shows.
constexpr int ContiguousLevels = 40;

} // namespace

DaySummary SummariseDay(const QDate& day, const RecordedGames& games)
{
    DaySummary summary;
    const std::array<qint64, 25> hourStarts = LocalHourStarts(day);
    std::vector<qint64> vecDurations;
    std::map<int, int> numbers;
    std::map<QString, int> texts;
    int nNoLevel = 0;
    for (const RecordedGame& game : games) {
        ++summary.nGames;
        summary.nWins += game.strOutcome == QLatin1String("won");
        vecDurations.push_back(game.nDurationMs);
        const auto it = std::upper_bound(hourStarts.begin(), hourStarts.end(), game.nEndMs);
        const long nHour = (it - hourStarts.begin()) - 1;
        if (nHour >= 0 && nHour < 24)
            ++summary.hours[static_cast<size_t>(nHour)];
        if (game.nLevel) {
            ++numbers[*game.nLevel];
            summary.nBestLevel = std::max(summary.nBestLevel.value_or(*game.nLevel), *game.nLevel);
        } else if (!game.strLevel.isEmpty()) {
            ++texts[game.strLevel];
        } else {
            ++nNoLevel;
        }
    }
    if (!vecDurations.empty()) {
        std::sort(vecDurations.begin(), vecDurations.end());
        const size_t n = vecDurations.size();
        summary.nMedianDurationMs = n % 2 ? vecDurations[n / 2] : (vecDurations[n / 2 - 1] + vecDurations[n / 2]) / 2;
    }
    summary.levels = LevelBars(numbers, texts, nNoLevel);
    return summary;
}

QList<QPair<QString, int>> LevelBars(const std::map<int, int>& numbers, const std::map<QString, int>& texts,
                                     int nNoLevel)
{
    QList<QPair<QString, int>> levels;
    if (!numbers.empty()) {
        const int nLow = std::min(1, numbers.begin()->first);
        const int nHigh = numbers.rbegin()->first;
        if (nHigh <= ContiguousLevels && nLow >= 0) {
            for (int n = nLow; n <= nHigh; ++n) {
                const auto it = numbers.find(n);
                if (n > 0 || it != numbers.end())
                    levels.append({QString::number(n), it == numbers.end() ? 0 : it->second});
            }
        } else {
            for (const auto& [nLevel, nCount] : numbers)
                levels.append({QString::number(nLevel), nCount});
        }
    }
    for (const auto& [strLevel, nCount] : texts)
        levels.append({strLevel, nCount});
    if (nNoLevel > 0)
        levels.append({QString::fromLatin1(NoLevelLabel), nNoLevel});
    return levels;
}

QString FormatDuration(qint64 nMs)
{
    const qint64 nSeconds = (std::max<qint64>(nMs, 0) + 500) / 1000;
    if (nSeconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(nSeconds / 3600)
            .arg(nSeconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(nSeconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(nSeconds / 60).arg(nSeconds % 60, 2, 10, QLatin1Char('0'));
}
