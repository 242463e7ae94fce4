#include "records/GamesTableModel.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>

#include "records/DaySummary.h"

namespace {

constexpr const char* Headers[CGamesTableModel::ColumnCount] = {
    QT_TRANSLATE_NOOP("CGamesTableModel", "Start"),    QT_TRANSLATE_NOOP("CGamesTableModel", "Length"),
    QT_TRANSLATE_NOOP("CGamesTableModel", "Outcome"),  QT_TRANSLATE_NOOP("CGamesTableModel", "Ended by"),
    QT_TRANSLATE_NOOP("CGamesTableModel", "Level"),    QT_TRANSLATE_NOOP("CGamesTableModel", "Of"),
    QT_TRANSLATE_NOOP("CGamesTableModel", "Adapter")};

} // namespace

CGamesTableModel::CGamesTableModel(QObject* pParent) : QAbstractTableModel(pParent) {}

void CGamesTableModel::Retranslate()
{
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::DisplayRole});
}

void CGamesTableModel::Clear()
{
    beginResetModel();
    m_nRows = 0;
    m_pages.clear();
    m_setAsked.clear();
    endResetModel();
}

void CGamesTableModel::SetDay(int nRows, const GamesOrder& order, const RecordedGames& firstRows)
{
    m_order = order;
    // The rows keep their places: a list scrolled down stays there, and
    // shows what is there now once it has come.
    if (nRows > m_nRows) {
        beginInsertRows(QModelIndex(), m_nRows, nRows - 1);
        m_nRows = nRows;
        endInsertRows();
    } else if (nRows < m_nRows) {
        beginRemoveRows(QModelIndex(), nRows, m_nRows - 1);
        m_nRows = nRows;
        endRemoveRows();
    }
    m_pages.clear();
    m_setAsked.clear();
    AddRows(0, firstRows);
    if (m_nRows > 0)
        emit dataChanged(index(0, 0), index(m_nRows - 1, ColumnCount - 1));
}

void CGamesTableModel::AddRows(int nOffset, const RecordedGames& rows)
{
    if (nOffset % PageRows != 0)
        return;
    for (qsizetype i = 0; i < rows.size(); i += PageRows) {
        const int nPage = static_cast<int>((nOffset + i) / PageRows);
        m_pages[nPage] = rows.mid(i, PageRows);
        m_setAsked.erase(nPage);
        const int nFirst = nPage * PageRows;
        const int nLast = std::min(m_nRows, nFirst + PageRows) - 1;
        if (nLast >= nFirst)
            emit dataChanged(index(nFirst, 0), index(nLast, ColumnCount - 1));
    }
    // A page that came back short or empty (the day shrank meanwhile) is
    // not asked for again until the day is read anew.
    if (rows.isEmpty())
        m_setAsked.erase(nOffset / PageRows);
}

int CGamesTableModel::HeldRows() const
{
    int nRows = 0;
    for (const auto& [nPage, rows] : m_pages)
        nRows += static_cast<int>(rows.size());
    return nRows;
}

const RecordedGame* CGamesTableModel::GameAt(int nRow) const
{
    if (nRow < 0 || nRow >= m_nRows)
        return nullptr;
    const auto it = m_pages.find(nRow / PageRows);
    if (it == m_pages.end()) {
        Ask(nRow / PageRows);
        return nullptr;
    }
    const qsizetype nIndex = nRow % PageRows;
    return nIndex < it->second.size() ? &it->second[nIndex] : nullptr;
}

void CGamesTableModel::Ask(int nPage) const
{
    if (!m_fnFetch || !m_setAsked.insert(nPage).second)
        return;
    m_fnFetch(nPage * PageRows, PageRows);
}

void CGamesTableModel::sort(int nColumn, Qt::SortOrder nOrder)
{
    if (nColumn < 0 || nColumn >= ColumnCount)
        return;
    const GamesOrder order{static_cast<GamesOrder::Key>(nColumn), nOrder == Qt::DescendingOrder};
    if (order == m_order)
        return;
    m_order = order;
    // What was fetched is in the old order; it shows until the new one comes.
    m_setAsked.clear();
    emit OrderChanged(order);
}

int CGamesTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nRows;
}

int CGamesTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CGamesTableModel::data(const QModelIndex& index, int nRole) const
{
    if (!index.isValid() || (nRole != Qt::DisplayRole && nRole != SortRole && nRole != Qt::TextAlignmentRole))
        return QVariant();
    const RecordedGame* pGame = GameAt(index.row());
    if (!pGame)
        return QVariant();
    const RecordedGame& game = *pGame;
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
