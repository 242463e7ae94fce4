#include "drivers/LogViewAccessible.h"

#include <QAccessible>
#include <QScrollBar>

#include <algorithm>
#include <mutex>

#include "drivers/LogView.h"

namespace {

QAccessibleInterface* LogViewAccessibleFactory(const QString&, QObject* pObject)
{
    if (auto* pView = qobject_cast<CLogView*>(pObject))
        return new CLogViewAccessible(pView);
    return nullptr;
}

} // namespace

void InstallLogViewAccessibility()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] { QAccessible::installFactory(LogViewAccessibleFactory); });
}

void CLogView::ForgetForReaders(int nChars)
{
    const int nKnown = std::min(nChars, m_nReadersKnow);
    // Without a screen reader nobody needs the words that went.
    if (QAccessible::isActive())
        m_strReadersDropped += QStringView(m_strText).left(nKnown);
    m_nReadersKnow -= nKnown;
}

void CLogView::TellReaders()
{
    const int nLength = static_cast<int>(m_strText.size());
    if (!QAccessible::isActive()) {
        m_nReadersKnow = nLength;
        m_strReadersDropped.clear();
        return;
    }
    // Text taken away and given back within a frame (the log kept aside
    // while a connect flushes the adapter) is no change to a reader.
    if (!m_strReadersDropped.isEmpty() && m_nReadersKnow == 0 && m_strText.startsWith(m_strReadersDropped)) {
        m_nReadersKnow = static_cast<int>(m_strReadersDropped.size());
        m_strReadersDropped.clear();
    }
    if (!m_strReadersDropped.isEmpty()) {
        QAccessibleTextRemoveEvent event(this, 0, m_strReadersDropped);
        QAccessible::updateAccessibility(&event);
        m_strReadersDropped.clear();
    }
    if (nLength > m_nReadersKnow) {
        QAccessibleTextInsertEvent event(this, m_nReadersKnow, m_strText.mid(m_nReadersKnow));
        QAccessible::updateAccessibility(&event);
        m_nReadersKnow = nLength;
    }
}

CLogViewAccessible::CLogViewAccessible(CLogView* pView)
    : QAccessibleWidget(pView, QAccessible::EditableText)
{
}

CLogView* CLogViewAccessible::View() const
{
    return static_cast<CLogView*>(widget());
}

void* CLogViewAccessible::interface_cast(QAccessible::InterfaceType nType)
{
    if (nType == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(nType);
}

QAccessible::State CLogViewAccessible::state() const
{
    QAccessible::State st = QAccessibleWidget::state();
    st.readOnly = true;
    st.multiLine = true;
    st.selectableText = true;
    return st;
}

int CLogViewAccessible::Clamped(int nOffset) const
{
    return std::clamp(nOffset, 0, characterCount());
}

int CLogViewAccessible::RowOf(int nOffset) const
{
    const std::vector<int>& starts = View()->m_vecRowStarts;
    const auto it = std::upper_bound(starts.begin(), starts.end(), nOffset);
    return std::max(0, static_cast<int>(it - starts.begin()) - 1);
}

void CLogViewAccessible::selection(int nSelection, int* pnStart, int* pnEnd) const
{
    *pnStart = *pnEnd = 0;
    if (nSelection != 0 || selectionCount() == 0)
        return;
    const CLogView* pView = View();
    *pnStart = Clamped(std::min(pView->m_nSelAnchor, pView->m_nSelEnd));
    *pnEnd = Clamped(std::max(pView->m_nSelAnchor, pView->m_nSelEnd));
}

int CLogViewAccessible::selectionCount() const
{
    const CLogView* pView = View();
    return Clamped(pView->m_nSelAnchor) != Clamped(pView->m_nSelEnd) ? 1 : 0;
}

void CLogViewAccessible::addSelection(int nStart, int nEnd)
{
    // One selection only, as with the mouse.
    setSelection(0, nStart, nEnd);
}

void CLogViewAccessible::removeSelection(int nSelection)
{
    if (nSelection == 0)
        setCursorPosition(cursorPosition());
}

void CLogViewAccessible::setSelection(int nSelection, int nStart, int nEnd)
{
    if (nSelection != 0)
        return;
    CLogView* pView = View();
    pView->m_nSelAnchor = Clamped(nStart);
    pView->m_nSelEnd = Clamped(nEnd);
    pView->viewport()->update();
}

int CLogViewAccessible::cursorPosition() const
{
    // The log has no caret; the selection's moving end stands for it.
    return Clamped(View()->m_nSelEnd);
}

void CLogViewAccessible::setCursorPosition(int nPosition)
{
    setSelection(0, nPosition, nPosition);
}

QString CLogViewAccessible::text(int nStart, int nEnd) const
{
    const int nFrom = Clamped(nStart);
    // -1 reads to the end, as in Qt's own text views.
    const int nTo = nEnd < 0 ? characterCount() : Clamped(nEnd);
    return nFrom < nTo ? View()->Text().mid(nFrom, nTo - nFrom) : QString();
}

int CLogViewAccessible::characterCount() const
{
    return static_cast<int>(View()->Text().size());
}

QRect CLogViewAccessible::characterRect(int nOffset) const
{
    CLogView* pView = View();
    if (nOffset < 0 || nOffset >= characterCount())
        return QRect();
    const int nRow = RowOf(nOffset);
    const int nAdvance = std::max(1, pView->fontMetrics().horizontalAdvance(QLatin1Char('M')));
    const int nRowHeight = pView->RowHeight();
    const QPoint ptLocal(2 + (nOffset - pView->m_vecRowStarts[static_cast<size_t>(nRow)]) * nAdvance,
                         (nRow - pView->verticalScrollBar()->value()) * nRowHeight);
    return QRect(pView->viewport()->mapToGlobal(ptLocal), QSize(nAdvance, nRowHeight));
}

int CLogViewAccessible::offsetAtPoint(const QPoint& ptScreen) const
{
    CLogView* pView = View();
    const QPoint pt = pView->viewport()->mapFromGlobal(ptScreen);
    if (!pView->viewport()->rect().contains(pt))
        return -1;
    return pView->OffsetAt(pt);
}

void CLogViewAccessible::scrollToSubstring(int nStart, int)
{
    CLogView* pView = View();
    pView->Settle();
    QScrollBar* pBar = pView->verticalScrollBar();
    const int nRow = RowOf(Clamped(nStart));
    if (nRow < pBar->value() || nRow >= pBar->value() + pView->VisibleRows())
        pBar->setValue(nRow);
}

QString CLogViewAccessible::attributes(int, int* pnStart, int* pnEnd) const
{
    // One run of plain text: no attributes anywhere.
    *pnStart = 0;
    *pnEnd = characterCount();
    return QString();
}
