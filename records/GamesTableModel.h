// The Records window's list: one row per game of the chosen day, each column
// shown as a person reads it and sorted by its plain value. Only the rows
// shown are held: the rest are fetched a page at a time as they come into
// view, in the list's order, which the file's own queries keep.
#pragma once

#include <QAbstractTableModel>

#include <functional>
#include <map>
#include <set>

#include "records/DaySummary.h"
#include "records/RecordedGame.h"
#include "records/ShownNames.h"

class CGamesTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColStart, ColLength, ColOutcome, ColCause, ColLevel, ColMaxLevel, ColSerial, ColumnCount };
    static constexpr int SortRole = Qt::UserRole;
    static_assert(int(GamesOrder::Serial) == ColSerial, "a column sorts by the order of the same number");

    // Rows asked for at a time.
    static constexpr int PageRows = 200;
    // Asked to fetch nCount rows from nOffset on, in the current order;
    // AddRows brings them.
    using FetchFunction = std::function<void(int nOffset, int nCount)>;

    explicit CGamesTableModel(QObject* pParent = nullptr);

    void SetFetch(FetchFunction fnFetch) { m_fnFetch = std::move(fnFetch); }
    // No rows (another day is being read, or none can be).
    void Clear();
    // The day's list as it now is: nRows games, the first of them given.
    // Rows shown before stay where they are until theirs are fetched anew.
    void SetDay(int nRows, const GamesOrder& order, const RecordedGames& firstRows);
    // Rows from nOffset on, fetched for the current order.
    void AddRows(int nOffset, const RecordedGames& rows);
    const GamesOrder& Order() const { return m_order; }
    // A fetch is under way for rows asked for.
    bool IsFetching() const { return !m_setAsked.empty(); }
    // Rows fetched and held now.
    int HeldRows() const;
    // The game in that row, if its page has come.
    const RecordedGame* GameAt(int nRow) const;
    // The language changed: the headers and the shown names are read again.
    void Retranslate();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    QVariant headerData(int nSection, Qt::Orientation nOrientation, int nRole = Qt::DisplayRole) const override;
    // The list's header asks; OrderChanged tells the window, which fetches
    // the day in the new order.
    void sort(int nColumn, Qt::SortOrder nOrder = Qt::AscendingOrder) override;

signals:
    void OrderChanged(const GamesOrder& order);

private:
    void Ask(int nPage) const;

    int m_nRows = 0;
    GamesOrder m_order;
    // Pages of PageRows rows by their number; a page asked for and not yet
    // come is in m_setAsked.
    std::map<int, RecordedGames> m_pages;
    mutable std::set<int> m_setAsked;
    FetchFunction m_fnFetch;
};

