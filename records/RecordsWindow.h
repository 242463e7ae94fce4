// The Records window: one day's figures, its games per hour and per level
// reached, and its games, newest first; it follows new games as they end.
#pragma once

#include <QDateEdit>
#include <QDialog>
#include <QPushButton>
#include <QLabel>
#include <QPointer>
#include <QTableView>

#include "records/DaySummary.h"
#include "records/IRecordsWindow.h"
#include "records/GamesTableModel.h"
#include "records/LocalDayWatch.h"

class CBarChart;
class CRecordStore;

// The day is today unless another is picked; the list sorts by any column.
// The main frame owns it, shows and hides it like its other tool windows, and
// hands it the store (none while records are off).
class CRecordsWindow : public QDialog, public IRecordsWindow {
    Q_OBJECT
public:
    static constexpr const char* Caption = QT_TRANSLATE_NOOP("CRecordsWindow", "Quado Records");

    explicit CRecordsWindow(QWidget* pParent = nullptr);
    ~CRecordsWindow() override;

    // The store to read and follow; null while records are off, and then
    // strOff says why.
    void SetStore(CRecordStore* pStore, const QString& strOff = QString()) override;
    QWidget* Widget() override { return this; }
    void SetHideHandler(std::function<void()> fnHide) override;
    QDate Day() const { return m_day; }
    void SetDay(const QDate& day);
    // The chosen day's games have come (or there are none to wait for, or
    // they could not be read).
    bool IsLoaded() const { return m_bLoaded; }
    // Loaded, and no newer view of the day nor rows asked for are on their
    // way: what the list shows is the file as it was last read.
    bool IsSettled() const { return m_bLoaded && !m_bViewPending && !m_model.IsFetching(); }
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
    QTableView m_tblGames;
    // Today as the window knows it; at local midnight a window that showed
    // today goes on to the new day.
    CLocalDayWatch m_dayWatch;

protected:
    void changeEvent(QEvent* pEvent) override;

signals:
    void HideRequested();
    // The chosen day's games are in and shown.
    void Loaded();

private:
    void LayOut();
    // The window's words in the language of the menus.
    void RetranslateUi();
    void Load();
    // Asks for the day's figures and first rows again, in the list's order.
    void Refresh();
    void OnDayViewLoaded(int nTicket, const QDate& day, const DaySummary& summary, const GamesOrder& order,
                         const RecordedGames& firstRows);
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
    // A view of the day was asked for and has not come.
    bool m_bViewPending = false;
    int m_nTicket = 0;
    CGamesTableModel m_model;
    // The day line's and the figures' captions, for RetranslateUi.
    QLabel* m_pDayCaption = nullptr;
    QPushButton* m_pToday = nullptr;
    QList<QPair<QLabel*, const char*>> m_figureCaptions;
    DaySummary m_summary;
    // The captions under the figures, in the figures' order; a screen
    // reader hears each figure with its caption.
    QLabel* m_pCaptions[4] = {};
};
