#include "records/RecordsWindow.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "assets/gen/BoardArt.h"
#include "records/BarChart.h"
#include "records/RecordStore.h"

namespace {

constexpr int FigurePixels = 26;
constexpr int ColumnPadding = 14;
constexpr int ColumnSortArrow = 14;
// Narrow enough to stand beside the board on a 1920 x 1080 screen.
constexpr int DefaultWidth = 580;
constexpr int DefaultHeight = 800;
constexpr char NoFigure[] = "\u2013";
constexpr char HoursTitle[] = QT_TRANSLATE_NOOP("CRecordsWindow", "Games per hour");
constexpr char LevelsTitle[] = QT_TRANSLATE_NOOP("CRecordsWindow", "Games by level reached");
constexpr char DayCaption[] = QT_TRANSLATE_NOOP("CRecordsWindow", "Day:");
constexpr char TodayCaption[] = QT_TRANSLATE_NOOP("CRecordsWindow", "Today");
// The bar of games without a level, named in the records "none".
constexpr char NoLevelShown[] = QT_TRANSLATE_NOOP("CRecordsWindow", "none");

QLabel* FigureCaption(const char* pszText)
{
    auto* pLabel = new QLabel(CRecordsWindow::tr(pszText));
    pLabel->setAlignment(Qt::AlignCenter);
    return pLabel;
}

} // namespace

CRecordsWindow::CRecordsWindow(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinMaxButtonsHint)
{
    setWindowTitle(tr(Caption));
    m_day = m_dayWatch.Today();
    connect(&m_dayWatch, &CLocalDayWatch::DayChanged, this, [this](const QDate& today) {
        if (m_bFollowToday && m_day != today)
            SetDay(today);
    });
    m_pHours = new CBarChart(tr(HoursTitle), BoardArt::BoardLit[BoardArt::SectorBlue], this);
    m_pLevels = new CBarChart(tr(LevelsTitle), BoardArt::BoardDim[BoardArt::SectorGreen],
                              this);
    m_model.SetFetch([this](int nOffset, int nCount) {
        if (m_pStore && m_bLoaded && !m_bUnreadable)
            m_pStore->RequestRows(m_nTicket, m_day, m_model.Order(), nOffset, nCount);
    });
    connect(&m_model, &CGamesTableModel::OrderChanged, this, [this] {
        if (m_bLoaded && !m_bUnreadable && m_pStore && !m_pStore->IsOff())
            Refresh();
    });
    m_tblGames.setModel(&m_model);
    m_tblGames.setSortingEnabled(true);
    m_tblGames.sortByColumn(CGamesTableModel::ColStart, Qt::DescendingOrder);
    m_tblGames.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tblGames.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tblGames.verticalHeader()->hide();
    m_tblGames.horizontalHeader()->setStretchLastSection(true);
    // Widths from what the columns hold, not from measuring every row: a
    // day may hold thousands of games.
    const char* const widest[CGamesTableModel::ColumnCount] = {"00:00:00", "00:00", "Timed out", "Adapter lost",
                                                               "Level", "Of", "Adapter"};
    for (int nColumn = 0; nColumn < CGamesTableModel::ColumnCount; ++nColumn) {
        const QString strHeader = m_model.headerData(nColumn, Qt::Horizontal).toString();
        const int nText = std::max(fontMetrics().horizontalAdvance(QString::fromLatin1(widest[nColumn])),
                                   fontMetrics().horizontalAdvance(strHeader) + ColumnSortArrow);
        m_tblGames.setColumnWidth(nColumn, nText + ColumnPadding);
    }
    m_dateDay.setCalendarPopup(true);
    m_dateDay.setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_dateDay.setDate(m_day);
    LayOut();
    connect(&m_dateDay, &QDateEdit::dateChanged, this, [this](const QDate& day) {
        if (day != m_day)
            SetDay(day);
    });
    ShowSummary();
    resize(DefaultWidth, DefaultHeight);
}

CRecordsWindow::~CRecordsWindow() = default;

void CRecordsWindow::LayOut()
{
    auto* pLayout = new QVBoxLayout(this);
    auto* pTop = new QHBoxLayout();
    m_pDayCaption = new QLabel(tr(DayCaption));
    pTop->addWidget(m_pDayCaption);
    pTop->addWidget(&m_dateDay);
    auto* pToday = new QPushButton(tr(TodayCaption));
    m_pToday = pToday;
    pToday->setAutoDefault(false);
    connect(pToday, &QPushButton::clicked, this, [this] { SetDay(m_dayWatch.Today()); });
    pTop->addWidget(pToday);
    pTop->addStretch(1);
    pLayout->addLayout(pTop);

    auto* pFigures = new QGridLayout();
    QFont fontFigure = font();
    fontFigure.setPixelSize(FigurePixels);
    fontFigure.setBold(true);
    const struct {
        QLabel* pValue;
        const char* pszCaption;
    } figures[] = {{&m_stGames, QT_TRANSLATE_NOOP("CRecordsWindow", "Games")},
                   {&m_stWins, QT_TRANSLATE_NOOP("CRecordsWindow", "Won")},
                   {&m_stBest, QT_TRANSLATE_NOOP("CRecordsWindow", "Best level")},
                   {&m_stMedian, QT_TRANSLATE_NOOP("CRecordsWindow", "Median length")}};
    int nColumn = 0;
    for (const auto& figure : figures) {
        figure.pValue->setFont(fontFigure);
        figure.pValue->setAlignment(Qt::AlignCenter);
        pFigures->addWidget(figure.pValue, 0, nColumn);
        QLabel* pCaption = FigureCaption(figure.pszCaption);
        m_figureCaptions.append({pCaption, figure.pszCaption});
        m_pCaptions[nColumn] = pCaption;
        pFigures->addWidget(pCaption, 1, nColumn);
        ++nColumn;
    }
    pLayout->addLayout(pFigures);

    pLayout->addWidget(m_pHours, 2);
    pLayout->addWidget(m_pLevels, 2);
    pLayout->addWidget(&m_tblGames, 3);
    m_dateDay.setAccessibleName(tr("Day"));
    m_tblGames.setAccessibleName(tr("Games of the day"));
    m_stState.setTextFormat(Qt::PlainText);
    m_stState.setWordWrap(true);
    m_stState.setTextInteractionFlags(Qt::TextSelectableByMouse);
    pLayout->addWidget(&m_stState);
}

void CRecordsWindow::SetStore(CRecordStore* pStore, const QString& strOff)
{
    if (m_pStore)
        disconnect(m_pStore, nullptr, this, nullptr);
    m_pStore = pStore;
    m_strOff = strOff;
    if (m_pStore) {
        connect(m_pStore, &CRecordStore::DayViewLoaded, this, &CRecordsWindow::OnDayViewLoaded);
        connect(m_pStore, &CRecordStore::RowsLoaded, this,
                [this](int nTicket, const QDate& day, const GamesOrder& order, int nOffset, const RecordedGames& rows) {
                    if (nTicket == m_nTicket && day == m_day && order == m_model.Order())
                        m_model.AddRows(nOffset, rows);
                });
        connect(m_pStore, &CRecordStore::DayUnreadable, this,
                [this](int nTicket, const QDate& day, const QString& strError) {
                    if (nTicket != m_nTicket || day != m_day)
                        return;
                    m_stState.setText(tr("Cannot read the games of %1: %2")
                                          .arg(QLocale().toString(day, QLocale::ShortFormat), strError));
                    m_model.Clear();
                    m_bLoaded = true;
                    m_bViewPending = false;
                    m_bUnreadable = true;
                    m_summary = DaySummary();
                    ShowSummary();
                    emit Loaded();
                });
        connect(m_pStore, &CRecordStore::GamesWritten, this, &CRecordsWindow::OnGamesWritten);
        connect(m_pStore, &CRecordStore::Off, this, [this](const QString& strReason) {
            m_stState.setText(tr("Records are off: %1").arg(strReason));
        });
    }
    Load();
}

void CRecordsWindow::SetDay(const QDate& day)
{
    m_day = day;
    m_bFollowToday = day == m_dayWatch.Today();
    if (m_dateDay.date() != day)
        m_dateDay.setDate(day);
    Load();
}

void CRecordsWindow::Load()
{
    if (!m_pStore || m_pStore->IsOff()) {
        const QString strReason = m_pStore ? m_pStore->OffReason() : m_strOff;
        m_stState.setText(strReason.isEmpty() ? tr("Records are off (Options > Keep Records).")
                                              : tr("Records are off: %1").arg(strReason));
        m_model.Clear();
        m_bLoaded = true;
        m_bViewPending = false;
        m_summary = DaySummary();
        ShowSummary();
        emit Loaded();
        return;
    }
    m_stState.setText(tr("Kept in %1").arg(QDir::toNativeSeparators(m_pStore->Path())));
    m_bLoaded = false;
    m_bUnreadable = false;
    Refresh();
}

void CRecordsWindow::Refresh()
{
    m_bViewPending = true;
    // The first rows come with the figures: what a window opened at the top
    // shows at once.
    m_nTicket = m_pStore->RequestDayView(m_day, m_model.Order(), CGamesTableModel::PageRows);
}

void CRecordsWindow::OnDayViewLoaded(int nTicket, const QDate& day, const DaySummary& summary,
                                     const GamesOrder& order, const RecordedGames& firstRows)
{
    // An answer for a day chosen before the last one, or a view asked for
    // before the last change, is of no use.
    if (nTicket != m_nTicket || day != m_day)
        return;
    m_bViewPending = false;
    m_summary = summary;
    m_model.SetDay(summary.nGames, order, firstRows);
    const bool bFirst = !m_bLoaded;
    m_bLoaded = true;
    ShowSummary();
    if (bFirst)
        emit Loaded();
}

void CRecordsWindow::OnGamesWritten(const RecordedGames& games)
{
    m_dayWatch.Check();
    if (m_bFollowToday && m_day != m_dayWatch.Today()) {
        SetDay(m_dayWatch.Today());
        return;
    }
    // A pending load already holds every game written before it was read;
    // a day that could not be read is not made whole by its newest games.
    if (!m_bLoaded || m_bUnreadable)
        return;
    const auto [nFrom, nTo] = LocalDayBounds(m_day);
    const bool bOfDay = std::any_of(games.begin(), games.end(), [nFrom = nFrom, nTo = nTo](const RecordedGame& game) {
        return game.nEndMs >= nFrom && game.nEndMs < nTo;
    });
    // The day's figures and its list as the file now holds them; what is
    // shown stays until they come.
    if (bOfDay && m_pStore && !m_pStore->IsOff())
        Refresh();
}

void CRecordsWindow::ShowSummary()
{
    const QString strNone = QString::fromUtf8(NoFigure);
    // A day that could not be read has no count, not a count of none.
    m_stGames.setText(m_bUnreadable ? strNone : QString::number(m_summary.nGames));
    m_stWins.setText(m_bUnreadable ? strNone : QString::number(m_summary.nWins));
    m_stBest.setText(m_summary.nBestLevel ? QString::number(*m_summary.nBestLevel) : strNone);
    m_stMedian.setText(m_summary.nMedianDurationMs ? FormatDuration(*m_summary.nMedianDurationMs) : strNone);
    QLabel* const values[] = {&m_stGames, &m_stWins, &m_stBest, &m_stMedian};
    for (size_t i = 0; i < std::size(values); ++i) {
        if (m_pCaptions[i])
            values[i]->setAccessibleName(tr("%1: %2").arg(m_pCaptions[i]->text(), values[i]->text()));
    }
    QList<QPair<QString, int>> hours;
    for (int h = 0; h < 24; ++h)
        hours.append({QString::number(h), m_summary.hours[static_cast<size_t>(h)]});
    m_pHours->SetBars(hours);
    QList<QPair<QString, int>> levels = m_summary.levels;
    for (auto& level : levels) {
        if (level.first == QLatin1String(NoLevelLabel))
            level.first = tr(NoLevelShown);
    }
    m_pLevels->SetBars(levels);
}

void CRecordsWindow::RetranslateUi()
{
    setWindowTitle(tr(Caption));
    m_pHours->SetTitle(tr(HoursTitle));
    m_pLevels->SetTitle(tr(LevelsTitle));
    m_pDayCaption->setText(tr(DayCaption));
    m_pToday->setText(tr(TodayCaption));
    m_dateDay.setAccessibleName(tr("Day"));
    m_tblGames.setAccessibleName(tr("Games of the day"));
    for (const auto& [pCaption, pszText] : m_figureCaptions)
        pCaption->setText(tr(pszText));
    m_model.Retranslate();
    // The state line and the level bars' names in the new words; a store
    // that is on is not asked for the day again.
    if (!m_pStore || m_pStore->IsOff())
        Load();
    else if (!m_bUnreadable)
        m_stState.setText(tr("Kept in %1").arg(QDir::toNativeSeparators(m_pStore->Path())));
    ShowSummary();
}

void CRecordsWindow::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange && m_pHours)
        RetranslateUi();
    QDialog::changeEvent(pEvent);
}

void CRecordsWindow::reject()
{
    emit HideRequested();
}

void CRecordsWindow::SetHideHandler(std::function<void()> fnHide)
{
    disconnect(this, &CRecordsWindow::HideRequested, nullptr, nullptr);
    if (fnHide)
        connect(this, &CRecordsWindow::HideRequested, this, std::move(fnHide));
}
