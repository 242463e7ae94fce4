#include "records/GamesTableModel.h"

#include <QCoreApplication>
#include <QDateTime>

#include "records/DaySummary.h"

namespace {

constexpr const char* Headers[CGamesTableModel::ColumnCount] = {
    QT_TRANSLATE_NOOP("CGamesTableModel", "Start"),    QT_TRANSLATE_NOOP("CGamesTableModel", "Length"),
    QT_TRANSLATE_NOOP("CGamesTableModel", "Outcome"),  QT_TRANSLATE_NOOP("CGamesTableModel", "Ended by"),
    QT_TRANSLATE_NOOP("CGamesTableModel", "Level"),    QT_TRANSLATE_NOOP("CGamesTableModel", "Of"),
    QT_TRANSLATE_NOOP("CGamesTableModel", "Adapter")};

struct Name {
    const char* pszStored;
    const char* pszShown;
};
// The stored names stay as the file has them; only the shown ones are words.
constexpr Name Outcomes[] = {{"won", QT_TRANSLATE_NOOP("CGamesTableModel", "Won")},
                             {"lost", QT_TRANSLATE_NOOP("CGamesTableModel", "Lost")},
                             {"timeout", QT_TRANSLATE_NOOP("CGamesTableModel", "Timed out")},
                             {"abandoned", QT_TRANSLATE_NOOP("CGamesTableModel", "Abandoned")}};
constexpr Name Causes[] = {{"congrat", QT_TRANSLATE_NOOP("CGamesTableModel", "Congrat")},
                           {"incorrect", QT_TRANSLATE_NOOP("CGamesTableModel", "Incorrect")},
                           {"timeout", QT_TRANSLATE_NOOP("CGamesTableModel", "Timeout")},
                           {"press", QT_TRANSLATE_NOOP("CGamesTableModel", "Press button")},
                           {"new", QT_TRANSLATE_NOOP("CGamesTableModel", "New game")},
                           {"disconnect", QT_TRANSLATE_NOOP("CGamesTableModel", "Disconnect")},
                           {"adapter_lost", QT_TRANSLATE_NOOP("CGamesTableModel", "Adapter lost")},
                           {"closing", QT_TRANSLATE_NOOP("CGamesTableModel", "Quado closed")}};

template <size_t N>
QString Lookup(const Name (&names)[N], const QString& strStored)
{
    for (const Name& name : names) {
        if (strStored == QLatin1String(name.pszStored))
            return QCoreApplication::translate("CGamesTableModel", name.pszShown);
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

void CGamesTableModel::Retranslate()
{
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!m_games.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::DisplayRole});
}

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
    return tr(Headers[nSection]);
}
