// The Records window: one day's figures, its games per hour and per level
// reached, and its games, newest first; it follows new games as they end.
#pragma once

#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QTableView>

#include "records/DaySummary.h"
#include "records/GamesTableModel.h"
#include "records/LocalDayWatch.h"

class CBarChart;
class CRecordStore;

// The day is today unless another is picked; the list sorts by any column.
// The main frame owns it, shows and hides it like its other tool windows, and
// hands it the store (none while records are off).
class CRecordsWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* Caption = "Quado Records";

    explicit CRecordsWindow(QWidget* pParent = nullptr);
    ~CRecordsWindow() override;

    // The store to read and follow; null while records are off, and then
    // strOff says why.
    void SetStore(CRecordStore* pStore, const QString& strOff = QString());
    QDate Day() const { return m_day; }
    void SetDay(const QDate& day);
    // The chosen day's games have come (or there are none to wait for, or
    // they could not be read).
    bool IsLoaded() const { return m_bLoaded; }
    const DaySummary& Summary() const { return m_summary; }
    const CGamesTableModel& Games() const { return m_model; }

    // Hide, Escape and the close box ask the frame, whose Show item follows.
    void reject() override;

    QDateEdit m_dateDay;
    QLabel m_stGames;
    QLabel m_stWins;
    QLabel m_stBest;
    QLabel m_stMedian;
    QLabel m_stState;
    CBarChart* m_pHours = nullptr;
    CBarChart* m_pLevels = nullptr;
    QSortFilterProxyModel m_sorted;
    QTableView m_tblGames;
    // Today as the window knows it; at local midnight a window that showed
    // today goes on to the new day.
    CLocalDayWatch m_dayWatch;

signals:
    void HideRequested();
    // The chosen day's games are in and shown.
    void Loaded();

private:
    void LayOut();
    void Load();
    void OnDayLoaded(int nTicket, const QDate& day, const RecordedGames& games);
    void OnGamesWritten(const RecordedGames& games);
    void ShowSummary();

    QPointer<CRecordStore> m_pStore;
    QString m_strOff;
    QDate m_day;
    // Today was shown, and the next day is followed into when it comes.
    bool m_bFollowToday = true;
    bool m_bLoaded = false;
    // The store could not read the day: its figures are unknown.
    bool m_bUnreadable = false;
    int m_nTicket = 0;
    CGamesTableModel m_model;
    DaySummary m_summary;
    // The captions under the figures, in the figures' order; a screen
    // reader hears each figure with its caption.
    QLabel* m_pCaptions[4] = {};
};
