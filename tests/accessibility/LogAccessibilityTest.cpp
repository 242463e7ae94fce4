// The adapter window's log as a screen reader meets it: read-only text whose
// every character, line and selection it can read, and which tells it of new
// lines and of dropped old ones once a painted frame, exactly, in order.
#include "tests/accessibility/AccessibilitySupport.h"

#include <QScrollBar>
#include <QTest>

#include <memory>

#include "drivers/LogView.h"

using namespace a11ytest;

namespace {

class LogTold : public AccessibleTest {
protected:
    void SetUp() override
    {
        AccessibleTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_log.resize(400, 300);
        m_log.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_log));
        ASSERT_TRUE(WaitForEvents([&] { return m_paints.m_nPaints > 0; }));
        m_pRecorder = std::make_unique<CToldRecorder>();
    }

    QAccessibleInterface* Iface() { return QAccessible::queryAccessibleInterface(&m_log); }
    QAccessibleTextInterface* TextIface() { return Iface()->textInterface(); }
    std::vector<Told> Inserted() const { return m_pRecorder->Of(&m_log, QAccessible::TextInserted); }
    std::vector<Told> Removed() const { return m_pRecorder->Of(&m_log, QAccessible::TextRemoved); }
    // Appends and paints: what a reader is told of it is in the recorder.
    bool AppendAndPaint(const QString& strText)
    {
        m_log.Append(strText);
        return m_paints.WaitForPaint();
    }

    CLogView m_log;
    CPaintCounter m_paints{m_log.viewport()};
    std::unique_ptr<CToldRecorder> m_pRecorder;
};

TEST_F(LogTold, IsReadOnlyTextThatReadsTheWholeLog)
{
    m_log.Append(QStringLiteral("Level 1 -\nB\nOff\n"));
    QAccessibleInterface* pIface = Iface();
    ASSERT_NE(pIface, nullptr);
    EXPECT_EQ(pIface->role(), QAccessible::EditableText);
    EXPECT_TRUE(pIface->state().readOnly);
    EXPECT_TRUE(pIface->state().multiLine);
    QAccessibleTextInterface* pText = TextIface();
    ASSERT_NE(pText, nullptr);
    EXPECT_EQ(pText->characterCount(), m_log.Text().size());
    EXPECT_EQ(pText->text(0, pText->characterCount()), m_log.Text());
    EXPECT_EQ(pText->text(10, -1), "B\nOff\n");
    // Out of range reads are cut to the text, never past it.
    EXPECT_EQ(pText->text(-5, 5), "Level");
    EXPECT_EQ(pText->text(12, 1000), "Off\n");
    EXPECT_EQ(pText->text(1000, 2000), "");
    // A reader's "read this line".
    int nStart = -1;
    int nEnd = -1;
    EXPECT_EQ(pText->textAtOffset(10, QAccessible::LineBoundary, &nStart, &nEnd).trimmed(), "B");
}

TEST_F(LogTold, TheMouseSelectionIsTheReadersAndTheirsIsTheMouses)
{
    m_log.Append(QStringLiteral("Congrat\nWin\n"));
    QAccessibleTextInterface* pText = TextIface();
    EXPECT_EQ(pText->selectionCount(), 0);
    pText->setSelection(0, 8, 11);
    EXPECT_EQ(m_log.SelectedText(), "Win");
    int nStart = -1;
    int nEnd = -1;
    pText->selection(0, &nStart, &nEnd);
    EXPECT_EQ(nStart, 8);
    EXPECT_EQ(nEnd, 11);
    EXPECT_EQ(pText->selectionCount(), 1);
    // Past the end is cut to it.
    pText->addSelection(2, 500);
    EXPECT_EQ(m_log.SelectedText(), "ngrat\nWin\n");
    pText->removeSelection(0);
    EXPECT_EQ(pText->selectionCount(), 0);
    EXPECT_TRUE(m_log.SelectedText().isEmpty());

    // Dragged with the mouse, read by the reader.
    ASSERT_TRUE(m_paints.WaitForPaint());
    const QRect rcC = pText->characterRect(0);
    const QRect rcW = pText->characterRect(8);
    ASSERT_FALSE(rcC.isEmpty());
    QWidget* pPort = m_log.viewport();
    QTest::mousePress(pPort, Qt::LeftButton, {}, pPort->mapFromGlobal(rcC.topLeft()) + QPoint(1, 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(pPort->mapFromGlobal(rcW.topLeft()) + QPoint(1, 2)),
                     QPointF(rcW.topLeft()), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pPort, &move);
    EXPECT_EQ(m_log.SelectedText(), "Congrat\n");
    EXPECT_EQ(pText->selectionCount(), 1);
}

TEST_F(LogTold, CharacterPlacesAndPointsAgree)
{
    for (int i = 0; i < 30; ++i)
        m_log.Append(QStringLiteral("line %1\n").arg(i));
    ASSERT_TRUE(m_paints.WaitForPaint());
    QAccessibleTextInterface* pText = TextIface();
    // The end is shown: a character of the last lines is where a point finds it.
    const int nLast = pText->characterCount() - 3;
    for (int nOffset : {nLast, nLast - 1, nLast - 9}) {
        const QRect rc = pText->characterRect(nOffset);
        ASSERT_FALSE(rc.isEmpty()) << nOffset;
        EXPECT_EQ(pText->offsetAtPoint(rc.topLeft() + QPoint(1, rc.height() / 2)), nOffset);
    }
    EXPECT_EQ(pText->offsetAtPoint(m_log.viewport()->mapToGlobal(QPoint(-50, -50))), -1);
    EXPECT_TRUE(pText->characterRect(pText->characterCount()).isEmpty());
    // Asked to show the first line, the log scrolls there.
    pText->scrollToSubstring(0, 4);
    EXPECT_EQ(m_log.verticalScrollBar()->value(), 0);
}

TEST_F(LogTold, ChunksOfAFrameAreToldAsOneInsertionAtTheEnd)
{
    ASSERT_TRUE(AppendAndPaint(QStringLiteral("New\n")));
    ASSERT_EQ(Inserted().size(), 1u);
    EXPECT_EQ(Inserted()[0].nPosition, 0);
    EXPECT_EQ(Inserted()[0].strText, "New\n");
    // A thousand chunks before the next frame.
    QString strBurst;
    for (int i = 0; i < 1000; ++i) {
        const QString strChunk = QStringLiteral("G\r\nOff %1\r\n").arg(i);
        strBurst += strChunk;
        m_log.Append(strChunk);
    }
    ASSERT_TRUE(m_paints.WaitForPaint());
    const std::vector<Told> told = Inserted();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].nPosition, 4);
    EXPECT_EQ(told[1].strText, strBurst);
    EXPECT_TRUE(Removed().empty());
    // Nothing new, nothing told, however often it paints.
    m_log.viewport()->update();
    ASSERT_TRUE(m_paints.WaitForPaint());
    EXPECT_EQ(Inserted().size(), 2u);
}

TEST_F(LogTold, TheDroppedStartIsToldBeforeTheNewEnd)
{
    ASSERT_TRUE(AppendAndPaint(QStringLiteral("0123456789")));
    m_log.KeepLast(4);
    m_log.Append(QStringLiteral("ab"));
    ASSERT_TRUE(m_paints.WaitForPaint());
    ASSERT_EQ(Removed().size(), 1u);
    EXPECT_EQ(Removed()[0].nPosition, 0);
    EXPECT_EQ(Removed()[0].strText, "012345");
    ASSERT_EQ(Inserted().size(), 2u);
    EXPECT_EQ(Inserted()[1].nPosition, 4);
    EXPECT_EQ(Inserted()[1].strText, "ab");
    // Removal first: in the recorder's order the reader's text stays whole.
    size_t nRemoveAt = 0;
    size_t nInsertAt = 0;
    for (size_t i = 0; i < m_pRecorder->m_told.size(); ++i) {
        if (m_pRecorder->m_told[i].nType == QAccessible::TextRemoved)
            nRemoveAt = i;
        if (m_pRecorder->m_told[i].nType == QAccessible::TextInserted)
            nInsertAt = i;
    }
    EXPECT_LT(nRemoveAt, nInsertAt);
    EXPECT_EQ(TextIface()->text(0, -1), "6789ab");
}

TEST_F(LogTold, TextDroppedBeforeAReaderHeardOfItIsNeverToldAsRemoved)
{
    ASSERT_TRUE(AppendAndPaint(QStringLiteral("abc")));
    m_log.Append(QStringLiteral("defgh"));
    m_log.KeepLast(2);
    ASSERT_TRUE(m_paints.WaitForPaint());
    ASSERT_EQ(Removed().size(), 1u);
    EXPECT_EQ(Removed()[0].strText, "abc");
    ASSERT_EQ(Inserted().size(), 2u);
    EXPECT_EQ(Inserted()[1].nPosition, 0);
    EXPECT_EQ(Inserted()[1].strText, "gh");
}

TEST_F(LogTold, ClearingIsToldAndALogGivenBackWithinAFrameIsNoNews)
{
    ASSERT_TRUE(AppendAndPaint(QStringLiteral("Level 2 -\n")));
    // A connect keeps the log aside while the adapter's old input goes.
    m_log.Clear();
    m_log.SetText(QStringLiteral("Level 2 -\nG\n"));
    ASSERT_TRUE(m_paints.WaitForPaint());
    EXPECT_TRUE(Removed().empty());
    ASSERT_EQ(Inserted().size(), 2u);
    EXPECT_EQ(Inserted()[1].nPosition, 10);
    EXPECT_EQ(Inserted()[1].strText, "G\n");

    m_log.Clear();
    ASSERT_TRUE(m_paints.WaitForPaint());
    ASSERT_EQ(Removed().size(), 1u);
    EXPECT_EQ(Removed()[0].nPosition, 0);
    EXPECT_EQ(Removed()[0].strText, "Level 2 -\nG\n");
    EXPECT_EQ(TextIface()->characterCount(), 0);
}

TEST_F(LogTold, AHiddenLogTellsNothingUntilItIsShown)
{
    m_log.hide();
    for (int i = 0; i < 50; ++i)
        m_log.Append(QStringLiteral("B\n"));
    // The frames the appends asked for have come: the scroll range has grown.
    ASSERT_TRUE(WaitForEvents([&] { return m_log.verticalScrollBar()->maximum() > 0; }));
    EXPECT_TRUE(Inserted().empty());
    // Read while hidden, the text is there all the same.
    EXPECT_EQ(TextIface()->text(0, 2), "B\n");
    m_log.show();
    ASSERT_TRUE(m_paints.WaitForPaint());
    ASSERT_EQ(Inserted().size(), 1u);
    EXPECT_EQ(Inserted()[0].strText.size(), 100);
}

} // namespace
