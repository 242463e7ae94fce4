// The adapter window's log: the received text kept as plain text with an
// index of its display rows, and a view that paints only the rows on screen.
// Appending costs the length of what is appended, however long the log or
// its lines; the scroll range and the scroll to the end happen once per paint.
#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <QStaticText>
#include <QString>

#include <vector>

#include "board/FramePacer.h"

class CLogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // At most this many characters of one line share a display row, so a
    // line of any length is painted a row at a time. The text itself keeps
    // the line whole.
    static constexpr int MaxRowChars = 4096;
    explicit CLogView(QWidget* pParent = nullptr);

    // The log's text exactly: line feeds between lines, every other
    // character as received.
    const QString& Text() const { return m_strText; }
    void Append(const QString& strText);
    // Drops the oldest characters so that at most nKeep remain.
    void KeepLast(int nKeep);
    void SetText(const QString& strText);
    void Clear() { SetText(QString()); }

    int RowCount() const { return static_cast<int>(m_vecRowStarts.size()); }
    // Brings the scroll range up to date and, when the view followed the end
    // before the new text came, shows the end again. Painting does this;
    // nothing else needs to.
    void Settle();
    // Whether the last row is on screen (as of the last Settle).
    bool IsShowingEnd() const;
    // The text dragged over with the mouse; empty when none. Ctrl+C copies
    // it, or the whole log when nothing is selected.
    QString SelectedText() const;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;

private:
    friend class CLogViewAccessible;
    // Screen readers are told of new and dropped text when it is painted,
    // once a frame however many chunks came (LogViewAccessible.cpp);
    // nChars leave the text's start.
    void ForgetForReaders(int nChars);
    void TellReaders();

    void IndexFrom(int nFrom);
    void RebuildIndex();
    int Columns() const;
    // Takes the width in characters, if it was put off (m_bColumnsStale).
    void MeasureColumns();
    int RowHeight() const;
    int VisibleRows() const;
    void RequestSettle();
    // The text offset nearest a point of the viewport, between characters.
    int OffsetAt(const QPoint& pt) const;
    int RowEnd(int nRow) const;
    // The row's text laid out once: a board's log repeats a few lines ("G",
    // "Off") over and over, and laying out every row on screen again each
    // frame was most of a paint.
    const QStaticText& ShapedRow(const QString& strRow);

    QString m_strText;
    // Offsets of the first character of each display row; never empty.
    std::vector<int> m_vecRowStarts{0};
    int m_nColumns = MaxRowChars;
    // The width in characters is measured once there is text to lay out:
    // measuring loads the fixed-pitch face, which the log of an adapter
    // window that has received nothing yet never draws. Only ever set
    // while the text is empty.
    bool m_bColumnsStale = false;
    bool m_bDirty = false;
    bool m_bFollowEnd = true;
    bool m_bSettling = false;
    // The selection runs between these text offsets, in either order.
    int m_nSelAnchor = 0;
    int m_nSelEnd = 0;
    // A board sending a thousand chunks a second would otherwise repaint the
    // log and its scroll bar a thousand times.
    CFramePacer m_pacer;
    static constexpr int MaxShapedRows = 1024;
    static constexpr qsizetype MaxShapedChars = 64 * 1024;
    QHash<QString, QStaticText> m_hashShaped;
    qsizetype m_nShapedChars = 0;
    // How much of the text's start screen readers were told of, and what of
    // that has gone since.
    int m_nReadersKnow = 0;
    QString m_strReadersDropped;
};
