// The log measures its width in characters only once it has text: a log
// resized, or given another font, while still empty lays out and paints its
// first text exactly as one that had text all along.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QScrollBar>

#include "drivers/LogView.h"
#include "tests/support/EventWait.h"

namespace {

// A line far wider than the view, a short one, and a second wide one.
QString WideText()
{
    return QString(300, QLatin1Char('x')) + QStringLiteral("\nG\n") + QString(150, QLatin1Char('y'));
}

int ColumnsFor(const CLogView& view)
{
    const int nAdvance = std::max(1, QFontMetrics(view.font()).horizontalAdvance(QLatin1Char('M')));
    return (view.viewport()->width() - 2 * 2) / nAdvance;
}

int WrappedRows(int nColumns)
{
    const auto rows = [nColumns](int nChars) { return (nChars + nColumns - 1) / nColumns; };
    // A line filling its last row exactly opens one more, empty row.
    return rows(300) + (300 % nColumns == 0) + 1 + rows(150);
}

struct Views {
    Views()
    {
        early.resize(400, 300);
        late.resize(400, 300);
        early.show();
        late.show();
    }
    CLogView early;
    CLogView late;
};

} // namespace

TEST(LogViewWidth, AResizeWhileEmptyWrapsTheFirstTextAtTheNewWidth)
{
    Views views;
    views.early.SetText(WideText());
    ASSERT_TRUE(testsupport::WaitForEvents([&] { return views.early.viewport()->width() > 200; }));
    for (const QSize size : {QSize(260, 200), QSize(520, 240)}) {
        views.early.resize(size);
        views.late.resize(size);
        ASSERT_TRUE(testsupport::WaitForEvents([&] {
            return views.late.viewport()->width() == views.early.viewport()->width();
        }));
    }
    views.late.Append(WideText());
    const int nColumns = ColumnsFor(views.late);
    ASSERT_GT(nColumns, 10);
    EXPECT_EQ(views.late.RowCount(), WrappedRows(nColumns));
    EXPECT_EQ(views.late.RowCount(), views.early.RowCount());
    views.early.Settle();
    views.late.Settle();
    EXPECT_EQ(views.late.verticalScrollBar()->maximum(), views.early.verticalScrollBar()->maximum());
    EXPECT_EQ(views.late.verticalScrollBar()->pageStep(), views.early.verticalScrollBar()->pageStep());
    EXPECT_EQ(views.late.grab().toImage(), views.early.grab().toImage());
}

TEST(LogViewWidth, AFontChangedWhileEmptyIsTheOneTheFirstTextIsMeasuredWith)
{
    Views views;
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(24);
    views.early.SetText(WideText());
    views.early.setFont(font);
    views.late.setFont(font);
    views.late.SetText(WideText());
    EXPECT_EQ(views.late.RowCount(), WrappedRows(ColumnsFor(views.late)));
    EXPECT_EQ(views.late.RowCount(), views.early.RowCount());

    // Emptied, narrowed and filled again: the width is measured anew.
    views.late.Clear();
    views.late.resize(200, 300);
    ASSERT_TRUE(testsupport::WaitForEvents([&] { return views.late.viewport()->width() < 200; }));
    views.late.Append(WideText());
    EXPECT_EQ(views.late.RowCount(), WrappedRows(ColumnsFor(views.late)));
    EXPECT_GT(views.late.RowCount(), views.early.RowCount());
}
