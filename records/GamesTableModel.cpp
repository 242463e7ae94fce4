#include "records/GamesTableModel.h"

#include <QDateTime>

#include "records/DaySummary.h"

namespace {

constexpr const char* Headers[CGamesTableModel::ColumnCount] = {"Start",    "Length", "Outcome", "Ended by",
                                                                 "Level",    "Of",     "Adapter"};

struct Name {
    const char* pszStored;
    const char* pszShown;
};
constexpr Name Outcomes[] = {{"won", "Won"}, {"lost", "Lost"}, {"timeout", "Timed out"}, {"abandoned", "Abandoned"}};
constexpr Name Causes[] = {{"congrat", "Congrat"},      {"incorrect", "Incorrect"}, {"timeout", "Timeout"},
                           {"press", "Press button"},   {"new", "New game"},        {"disconnect", "Disconnect"},
                           {"adapter_lost", "Adapter lost"}, {"closing", "Quado closed"}};

template <size_t N>
QString Lookup(const Name (&names)[N], const QString& strStored)
{
    for (const Name& name : names) {
        if (strStored == QLatin1String(name.pszStored))
            return QString::fromLatin1(name.pszShown);
    }
    return strStored;
}

} // namespace

QString OutcomeText(const QString& strOutcome)
{
    return Lookup(Outcomes, strOutcome);
}

QString CauseText(const QString& strCause)
{
    return Lookup(Causes, strCause);
}

CGamesTableModel::CGamesTableModel(QObject* pParent) : QAbstractTableModel(pParent) {}

void CGamesTableModel::SetGames(RecordedGames games)
{
    beginResetModel();
    m_games = std::move(games);
    endResetModel();
}

void CGamesTableModel::Append(const RecordedGames& games)
{
    if (games.isEmpty())
        return;
    beginInsertRows(QModelIndex(), static_cast<int>(m_games.size()), static_cast<int>(m_games.size() + games.size() - 1));
    m_games.append(games);
    endInsertRows();
}

int CGamesTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_games.size());
}

int CGamesTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CGamesTableModel::data(const QModelIndex& index, int nRole) const
{
    if (!index.isValid() || index.row() >= m_games.size() || (nRole != Qt::DisplayRole && nRole != SortRole &&
                                                               nRole != Qt::TextAlignmentRole))
        return QVariant();
    const RecordedGame& game = m_games[index.row()];
    const bool bSort = nRole == SortRole;
    switch (index.column()) {
    case ColStart:
        if (nRole == Qt::TextAlignmentRole)
            return QVariant();
        return bSort ? QVariant(game.nStartMs)
                     : QVariant(QDateTime::fromMSecsSinceEpoch(game.nStartMs, Qt::LocalTime)
                                    .toString(QStringLiteral("HH:mm:ss")));
    case ColLength:
        if (nRole == Qt::TextAlignmentRole)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return bSort ? QVariant(game.nDurationMs) : QVariant(FormatDuration(game.nDurationMs));
    case ColOutcome:
        return nRole == Qt::TextAlignmentRole ? QVariant() : QVariant(OutcomeText(game.strOutcome));
    case ColCause:
        return nRole == Qt::TextAlignmentRole ? QVariant() : QVariant(CauseText(game.strCause));
    case ColLevel:
        if (nRole == Qt::TextAlignmentRole)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        // Numbers in their order, below every level that is no number.
        if (bSort)
            return game.nLevel ? QVariant(qint64(*game.nLevel)) : QVariant(qint64(-1));
        return game.strLevel;
    case ColMaxLevel:
        if (nRole == Qt::TextAlignmentRole)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return game.strMaxLevel.value_or(QString());
    case ColSerial:
        return nRole == Qt::TextAlignmentRole ? QVariant() : QVariant(game.strSerial);
    default:
        return QVariant();
    }
}

QVariant CGamesTableModel::headerData(int nSection, Qt::Orientation nOrientation, int nRole) const
{
    if (nOrientation != Qt::Horizontal || nRole != Qt::DisplayRole || nSection < 0 || nSection >= ColumnCount)
        return QVariant();
    return QString::fromLatin1(Headers[nSection]);
}
