// The board view as a screen reader hears it: what is lit and what the panel
// says, read as it is now, and told once a painted frame at most, only when
// the words changed, however fast the board changes.
#include "tests/accessibility/AccessibilitySupport.h"

#include <QTest>

#include <memory>
#include <string>

#include "board/BoardDescription.h"
#include "board/ChildView.h"
#include "protocol/IQuadoBoard.h"

using namespace a11ytest;

namespace {

TEST(BoardWords, SayWhichColourIsLitAndThePanelsLinesInOrder)
{
    EXPECT_EQ(DescribeBoard(QuadrantNone, L""), "Nothing lit. Panel empty.");
    EXPECT_EQ(DescribeBoard(QuadrantGreen, L"Level:\n3 of 5"), "Green lit. Panel: Level: / 3 of 5");
    EXPECT_EQ(DescribeBoard(QuadrantRed, L"x"), "Red lit. Panel: x");
    EXPECT_EQ(DescribeBoard(QuadrantBlue, L"x"), "Blue lit. Panel: x");
    EXPECT_EQ(DescribeBoard(QuadrantYellow, L"x"), "Yellow lit. Panel: x");
    EXPECT_EQ(DescribeBoard(QuadrantAll, L"x"), "All four lit. Panel: x");
}

TEST(BoardWords, EmptyLinesAreLeftOutAndTheBoardsTextIsReadAsSent)
{
    EXPECT_EQ(DescribeBoard(QuadrantNone, L"\n  \n"), "Nothing lit. Panel empty.");
    EXPECT_EQ(DescribeBoard(QuadrantNone, L"  Congrat \n\n\nGewonnen!\r"), "Nothing lit. Panel: Congrat / Gewonnen!");
    // Text that looks like a placeholder is the board's, not ours to fill.
    EXPECT_EQ(DescribeBoard(QuadrantNone, L"%1 %2"), "Nothing lit. Panel: %1 %2");
    // A light no image shows is read as none rather than as garbage.
    EXPECT_EQ(DescribeBoard(-1, L""), DescribeBoard(QuadrantNone, L""));
    EXPECT_EQ(DescribeBoard(99, L""), DescribeBoard(QuadrantNone, L""));
}

class BoardTold : public AccessibleTest {
protected:
    void SetUp() override
    {
        AccessibleTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(m_view.Create(nullptr));
        // Whole, so every change lies where a paint shows it.
        m_view.resize(CChildView::CanvasWidth, CChildView::CanvasHeight);
        m_view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_view));
        // Whatever the first frames told is past.
        ASSERT_TRUE(WaitForEvents([&] { return m_paints.m_nPaints > 0 && !m_view.IsRepaintPending(); }));
        m_pRecorder = std::make_unique<CToldRecorder>();
    }

    QString Read() { return QAccessible::queryAccessibleInterface(&m_view)->text(QAccessible::Description); }
    std::vector<Told> ToldOfBoard() const { return m_pRecorder->Of(&m_view, QAccessible::DescriptionChanged); }
    // Paints until the view has nothing waiting for a frame.
    bool Settle()
    {
        return m_paints.WaitForPaint() && WaitForEvents([&] { return !m_view.IsRepaintPending(); });
    }

    CChildView m_view;
    CPaintCounter m_paints{&m_view};
    std::unique_ptr<CToldRecorder> m_pRecorder;
};

TEST_F(BoardTold, IsAPictureNamedForTheBoardThatReadsWhatItShowsBeforeItIsPainted)
{
    QAccessibleInterface* pIface = QAccessible::queryAccessibleInterface(&m_view);
    ASSERT_NE(pIface, nullptr);
    EXPECT_EQ(pIface->role(), QAccessible::Graphic);
    EXPECT_EQ(pIface->text(QAccessible::Name), "Quado board");
    EXPECT_TRUE(pIface->state().focusable);
    m_view.LightQuadrant(QuadrantBlue);
    m_view.ShowPanelText(L"Level:\n2");
    // Asked between two frames, a reader hears what is there now.
    EXPECT_EQ(Read(), "Blue lit. Panel: Level: / 2");
}

TEST_F(BoardTold, ABurstOfChangesIsToldOnceWithWhatTheFrameShows)
{
    // A board sending as fast as the adapter carries: nothing is told until
    // a frame shows the changes, and then once.
    for (int i = 0; i < 2000; ++i) {
        m_view.LightQuadrant(QuadrantGreen + i % 4);
        m_view.ShowPanelText(L"Level:\n" + std::to_wstring(i));
    }
    EXPECT_TRUE(ToldOfBoard().empty());
    ASSERT_TRUE(Settle());
    const std::vector<Told> told = ToldOfBoard();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].strText, "Yellow lit. Panel: Level: / 1999");
    EXPECT_EQ(told[0].strText, Read());
}

TEST_F(BoardTold, EveryPaintedChangeIsToldInTurn)
{
    const QuadrantIndex lights[] = {QuadrantRed, QuadrantNone, QuadrantAll};
    for (QuadrantIndex nLight : lights) {
        m_view.LightQuadrant(nLight);
        ASSERT_TRUE(Settle());
    }
    const std::vector<Told> told = ToldOfBoard();
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told[0].strText, "Red lit. Panel empty.");
    EXPECT_EQ(told[1].strText, "Nothing lit. Panel empty.");
    EXPECT_EQ(told[2].strText, "All four lit. Panel empty.");
}

TEST_F(BoardTold, WhatReadsAsBeforeIsNotToldAgain)
{
    m_view.LightQuadrant(QuadrantGreen);
    m_view.ShowPanelText(L"Level:\n1");
    ASSERT_TRUE(Settle());
    ASSERT_EQ(ToldOfBoard().size(), 1u);
    // The same text again, a light on and off within a frame, and a panel
    // that differs only in what is not read: each repaints, none is news.
    m_view.ShowPanelText(L"Level:\n1");
    ASSERT_TRUE(Settle());
    m_view.LightQuadrant(QuadrantRed);
    m_view.LightQuadrant(QuadrantGreen);
    m_view.ShowPanelText(L"Level:\n\n1\n");
    ASSERT_TRUE(Settle());
    m_view.ShowIdleScreen(IdleFigures{});
    ASSERT_TRUE(Settle());
    EXPECT_EQ(ToldOfBoard().size(), 1u);
}

} // namespace
