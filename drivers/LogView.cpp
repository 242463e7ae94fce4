#include "drivers/LogView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

#include "drivers/LogScrollBar.h"
#include "drivers/LogViewAccessible.h"

namespace {

// Each character takes one cell of the fixed pitch, which is what lets rows,
// the selection and copying agree. A tab or a control character would take
// none or many, so it is shown as a mark of its own; copying gives the
// character itself.
QChar DisplayedChar(QChar c)
{
    const char16_t n = c.unicode();
    if (n == u'\t')
        return QChar(u'\u00BB');
    if (n < 0x20 || (n >= 0x7F && n < 0xA0))
        return QChar(u'\u00B7');
    if (n == 0xAD) // the soft hyphen is drawn as nothing
        return QLatin1Char('-');
    return c;
}

QString DisplayedText(QStringView text)
{
    QString strShown = text.toString();
    for (QChar& c : strShown)
        c = DisplayedChar(c);
    return strShown;
}

} // namespace

CLogView::CLogView(QWidget* pParent)
    : QAbstractScrollArea(pParent)
    // The scroll bar moves before the paint, not inside it: a change in a
    // paint asks for a second one.
    , m_pacer(viewport(), [this] { Settle(); })
{
    // A fixed pitch makes a row's width a count of characters, so the rows
    // can be found without laying any text out.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    InstallLogViewAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBar(new CLogScrollBar(Qt::Vertical, this));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

int CLogView::Columns() const
{
    const int nAdvance = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
    return std::clamp((viewport()->width() - 2 * 2) / nAdvance, 1, MaxRowChars);
}

int CLogView::RowHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int CLogView::VisibleRows() const
{
    return std::max(1, viewport()->height() / RowHeight());
}

// Extends the row index over the text from nFrom, the start of the last row.
void CLogView::IndexFrom(int nFrom)
{
    const QChar* pText = m_strText.constData();
    const int nLength = static_cast<int>(m_strText.size());
    int nRowStart = nFrom;
    for (int i = nFrom; i < nLength; ++i) {
        if (pText[i] == QLatin1Char('\n') || i + 1 - nRowStart == m_nColumns) {
            nRowStart = i + 1;
            m_vecRowStarts.push_back(nRowStart);
        }
    }
}

void CLogView::MeasureColumns()
{
    if (!m_bColumnsStale)
        return;
    m_bColumnsStale = false;
    m_nColumns = Columns();
}

void CLogView::RebuildIndex()
{
    m_vecRowStarts.assign(1, 0);
    IndexFrom(0);
}

void CLogView::RequestSettle()
{
    m_bDirty = true;
    // The whole viewport is repainted: new rows may scroll every row.
    m_pacer.RequestAll();
}

void CLogView::Append(const QString& strText)
{
    if (strText.isEmpty())
        return;
    MeasureColumns();
    // Whether the view follows the end is decided by where it was before
    // this text, not by a scroll range that is not yet up to date.
    if (!m_bDirty)
        m_bFollowEnd = IsShowingEnd();
    const int nLastRow = m_vecRowStarts.back();
    m_strText += strText;
    // The last row may be open; it is indexed again from its start.
    IndexFrom(nLastRow);
    RequestSettle();
}

void CLogView::KeepLast(int nKeep)
{
    const int nDrop = static_cast<int>(m_strText.size()) - nKeep;
    if (nDrop <= 0)
        return;
    if (!m_bDirty)
        m_bFollowEnd = IsShowingEnd();
    ForgetForReaders(nDrop);
    m_strText.remove(0, nDrop);
    m_nSelAnchor = std::max(0, m_nSelAnchor - nDrop);
    m_nSelEnd = std::max(0, m_nSelEnd - nDrop);
    // Rows that began in the dropped text go; a row cut in two starts anew
    // at the first character kept.
    const auto itFirstKept = std::lower_bound(m_vecRowStarts.begin(), m_vecRowStarts.end(), nDrop);
    const int nRemoved = static_cast<int>(itFirstKept - m_vecRowStarts.begin());
    m_vecRowStarts.erase(m_vecRowStarts.begin(), itFirstKept);
    for (int& nStart : m_vecRowStarts)
        nStart -= nDrop;
    // A cut inside a row leaves its rest as a row of its own; a cut on a
    // row's start takes whole rows only.
    int nRowsGone = nRemoved;
    if (m_vecRowStarts.empty() || m_vecRowStarts.front() != 0) {
        m_vecRowStarts.insert(m_vecRowStarts.begin(), 0);
        --nRowsGone;
    }
    QScrollBar* pBar = verticalScrollBar();
    if (!m_bFollowEnd)
        pBar->setValue(std::max(0, pBar->value() - nRowsGone));
    RequestSettle();
}

void CLogView::SetText(const QString& strText)
{
    ForgetForReaders(static_cast<int>(m_strText.size()));
    m_strText = strText;
    m_nSelAnchor = m_nSelEnd = 0;
    if (!m_strText.isEmpty())
        MeasureColumns();
    RebuildIndex();
    m_bFollowEnd = true;
    RequestSettle();
}

bool CLogView::IsShowingEnd() const
{
    const QScrollBar* pBar = verticalScrollBar();
    return pBar->value() >= pBar->maximum();
}

void CLogView::Settle()
{
    if (!m_bDirty)
        return;
    m_bDirty = false;
    m_bSettling = true;
    QScrollBar* pBar = verticalScrollBar();
    // An empty log has one row, which any page shows: nothing to measure.
    const int nPage = m_strText.isEmpty() ? std::max(1, pBar->pageStep()) : VisibleRows();
    pBar->setPageStep(nPage);
    pBar->setSingleStep(1);
    pBar->setRange(0, std::max(0, RowCount() - nPage));
    if (m_bFollowEnd)
        pBar->setValue(pBar->maximum());
    m_bSettling = false;
}

void CLogView::paintEvent(QPaintEvent* pEvent)
{
    Settle();
    TellReaders();
    QPainter painter(viewport());
    m_pacer.Painted(painter, pEvent->region());
    // The viewport fills its own background; an empty log draws no row.
    if (m_strText.isEmpty())
        return;
    painter.setPen(palette().color(QPalette::Text));
    const int nRowHeight = RowHeight();
    const int nAscent = fontMetrics().ascent();
    const int nFirst = verticalScrollBar()->value();
    const int nLast = std::min(RowCount(), nFirst + VisibleRows() + 1);
    const int nSelFrom = std::min(m_nSelAnchor, m_nSelEnd);
    const int nSelTo = std::max(m_nSelAnchor, m_nSelEnd);
    const int nAdvance = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
    for (int nRow = nFirst; nRow < nLast; ++nRow) {
        const int nStart = m_vecRowStarts[nRow];
        const int nEnd = RowEnd(nRow);
        const int nTop = (nRow - nFirst) * nRowHeight;
        if (nEnd > nStart) {
            const QString strRow = DisplayedText(QStringView(m_strText).mid(nStart, nEnd - nStart));
            painter.drawStaticText(2, nTop, ShapedRow(strRow));
        }
        // The selected part of the row over a highlight.
        const int nFrom = std::max(nStart, nSelFrom);
        const int nTo = std::min(nEnd, nSelTo);
        if (nFrom < nTo) {
            const QRect rc(2 + (nFrom - nStart) * nAdvance, nTop, (nTo - nFrom) * nAdvance, nRowHeight);
            painter.fillRect(rc, palette().color(QPalette::Highlight));
            painter.setPen(palette().color(QPalette::HighlightedText));
            painter.drawText(rc.left(), nTop + nAscent, DisplayedText(QStringView(m_strText).mid(nFrom, nTo - nFrom)));
            painter.setPen(palette().color(QPalette::Text));
        }
    }
}

const QStaticText& CLogView::ShapedRow(const QString& strKey)
{
    auto it = m_hashShaped.constFind(strKey);
    if (it == m_hashShaped.cend()) {
        // A log full of noise would otherwise keep every row it ever showed;
        // wide rows count by their characters.
        if (m_hashShaped.size() >= MaxShapedRows || m_nShapedChars >= MaxShapedChars) {
            m_hashShaped.clear();
            m_nShapedChars = 0;
        }
        m_nShapedChars += strKey.size();
        QStaticText text(strKey);
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), viewport()->font());
        it = m_hashShaped.insert(strKey, text);
    }
    return *it;
}

// The row's end, without the line feed that closes it.
int CLogView::RowEnd(int nRow) const
{
    const int nStart = m_vecRowStarts[nRow];
    int nEnd = nRow + 1 < RowCount() ? m_vecRowStarts[nRow + 1] : static_cast<int>(m_strText.size());
    if (nEnd > nStart && m_strText[nEnd - 1] == QLatin1Char('\n'))
        --nEnd;
    return nEnd;
}

int CLogView::OffsetAt(const QPoint& pt) const
{
    const int nRow = std::clamp(verticalScrollBar()->value() + std::max(0, pt.y()) / RowHeight(), 0, RowCount() - 1);
    const int nAdvance = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
    const int nColumn = std::max(0, (pt.x() - 2 + nAdvance / 2) / nAdvance);
    return std::min(m_vecRowStarts[nRow] + nColumn, RowEnd(nRow));
}

QString CLogView::SelectedText() const
{
    const int nFrom = std::min(m_nSelAnchor, m_nSelEnd);
    const int nTo = std::min(static_cast<int>(m_strText.size()), std::max(m_nSelAnchor, m_nSelEnd));
    return nFrom < nTo ? m_strText.mid(nFrom, nTo - nFrom) : QString();
}

void CLogView::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(pEvent);
        return;
    }
    Settle();
    m_nSelAnchor = m_nSelEnd = OffsetAt(pEvent->position().toPoint());
    viewport()->update();
}

void CLogView::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (!(pEvent->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(pEvent);
        return;
    }
    Settle();
    m_nSelEnd = OffsetAt(pEvent->position().toPoint());
    viewport()->update();
}

void CLogView::resizeEvent(QResizeEvent* pEvent)
{
    QAbstractScrollArea::resizeEvent(pEvent);
    if (m_strText.isEmpty()) {
        m_bColumnsStale = true;
        RequestSettle();
        return;
    }
    const int nColumns = Columns();
    if (nColumns != m_nColumns) {
        m_bFollowEnd = m_bFollowEnd || IsShowingEnd();
        m_nColumns = nColumns;
        RebuildIndex();
    }
    RequestSettle();
}

void CLogView::changeEvent(QEvent* pEvent)
{
    QAbstractScrollArea::changeEvent(pEvent);
    if (pEvent->type() == QEvent::FontChange) {
        m_hashShaped.clear();
        m_nShapedChars = 0;
        m_bColumnsStale = true;
        if (!m_strText.isEmpty())
            MeasureColumns();
        RebuildIndex();
        RequestSettle();
    }
}

void CLogView::scrollContentsBy(int, int)
{
    if (!m_bSettling)
        m_bFollowEnd = IsShowingEnd();
    viewport()->update();
}

void CLogView::keyPressEvent(QKeyEvent* pEvent)
{
    if (pEvent->matches(QKeySequence::Copy)) {
        const QString strSelected = SelectedText();
        QApplication::clipboard()->setText(strSelected.isEmpty() ? m_strText : strSelected);
        return;
    }
    QAbstractScrollArea::keyPressEvent(pEvent);
}
