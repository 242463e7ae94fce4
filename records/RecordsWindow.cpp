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

QLabel* FigureCaption(const char* pszText)
{
    auto* pLabel = new QLabel(QString::fromLatin1(pszText));
    pLabel->setAlignment(Qt::AlignCenter);
    return pLabel;
}

} // namespace

CRecordsWindow::CRecordsWindow(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinMaxButtonsHint)
{
    setWindowTitle(QString::fromLatin1(Caption));
    m_day = m_dayWatch.Today();
    connect(&m_dayWatch, &CLocalDayWatch::DayChanged, this, [this](const QDate& today) {
        if (m_bFollowToday && m_day != today)
            SetDay(today);
    });
    m_pHours = new CBarChart(QStringLiteral("Games per hour"), BoardArt::BoardLit[BoardArt::SectorBlue], this);
    m_pLevels = new CBarChart(QStringLiteral("Games by level reached"), BoardArt::BoardDim[BoardArt::SectorGreen],
                              this);
    m_sorted.setSourceModel(&m_model);
    m_sorted.setSortRole(CGamesTableModel::SortRole);
    m_tblGames.setModel(&m_sorted);
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
    pTop->addWidget(new QLabel(QStringLiteral("Day:")));
    pTop->addWidget(&m_dateDay);
    auto* pToday = new QPushButton(QStringLiteral("Today"));
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
    } figures[] = {{&m_stGames, "Games"}, {&m_stWins, "Won"}, {&m_stBest, "Best level"}, {&m_stMedian, "Median length"}};
    int nColumn = 0;
    for (const auto& figure : figures) {
        figure.pValue->setFont(fontFigure);
        figure.pValue->setAlignment(Qt::AlignCenter);
        pFigures->addWidget(figure.pValue, 0, nColumn);
        m_pCaptions[nColumn] = FigureCaption(figure.pszCaption);
        pFigures->addWidget(m_pCaptions[nColumn], 1, nColumn);
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
        connect(m_pStore, &CRecordStore::DayLoaded, this, &CRecordsWindow::OnDayLoaded);
        connect(m_pStore, &CRecordStore::DayUnreadable, this,
                [this](int nTicket, const QDate& day, const QString& strError) {
                    if (nTicket != m_nTicket || day != m_day)
                        return;
                    m_stState.setText(QStringLiteral("Cannot read the games of %1: %2")
                                          .arg(QLocale().toString(day, QLocale::ShortFormat), strError));
                    m_model.SetGames({});
                    m_bLoaded = true;
                    m_bUnreadable = true;
                    ShowSummary();
                    emit Loaded();
                });
        connect(m_pStore, &CRecordStore::GamesWritten, this, &CRecordsWindow::OnGamesWritten);
        connect(m_pStore, &CRecordStore::Off, this, [this](const QString& strReason) {
            m_stState.setText(QStringLiteral("Records are off: %1").arg(strReason));
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
        m_stState.setText(strReason.isEmpty() ? QStringLiteral("Records are off (Options > Keep Records).")
                                              : QStringLiteral("Records are off: %1").arg(strReason));
        m_model.SetGames({});
        m_bLoaded = true;
        ShowSummary();
        emit Loaded();
        return;
    }
    m_stState.setText(QStringLiteral("Kept in %1").arg(QDir::toNativeSeparators(m_pStore->Path())));
    m_bLoaded = false;
    m_bUnreadable = false;
    m_nTicket = m_pStore->RequestDay(m_day);
}

void CRecordsWindow::OnDayLoaded(int nTicket, const QDate& day, const RecordedGames& games)
{
    // An answer for a day chosen before the last one is of no use.
    if (nTicket != m_nTicket || day != m_day)
        return;
    m_model.SetGames(games);
    m_bLoaded = true;
    ShowSummary();
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
    RecordedGames ofDay;
    for (const RecordedGame& game : games) {
        if (game.nEndMs >= nFrom && game.nEndMs < nTo)
            ofDay.append(game);
    }
    if (ofDay.isEmpty())
        return;
    m_model.Append(ofDay);
    ShowSummary();
}

void CRecordsWindow::ShowSummary()
{
    m_summary = SummariseDay(m_day, m_model.Games());
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
    m_pLevels->SetBars(m_summary.levels);
}

void CRecordsWindow::reject()
{
    emit HideRequested();
}
