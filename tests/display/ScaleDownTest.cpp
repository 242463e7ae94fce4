// View > Scale Down as it shows on screen: the painted view at a few client
// sizes holds the canvas where the painting geometry puts it, shrunk or 1:1,
// with black margins; with room enough the command changes no pixel.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "app/CommandIds.h"
#include "board/PaintGeometry.h"
#include "tests/display/DisplaySupport.h"
#include "tests/support/HangGuard.h"

namespace {

// Counts the paints the view receives.
class CPaintCounter : public QObject {
public:
    int m_nPaints = 0;

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        m_nPaints += pEvent->type() == QEvent::Paint;
        return false;
    }
};

QImage Rgb32(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// The shot must be black outside rc and show the canvas inside it: 1:1, or
// stretched by dropping and repeating pixels, where a pixel may come from
// either neighbour of its exact source position (rounding is the toolkit's).
::testing::AssertionResult ShowsCanvasAt(const QImage& shot, const QImage& canvas, const PaintRect& rc)
{
    const QRect rcPicture(rc.nLeft, rc.nTop, rc.nWidth, rc.nHeight);
    const QRgb Black = qRgb(0, 0, 0);
    int nOff = 0;
    QString strFirst;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb rgb = shot.pixel(x, y);
            bool bGood = false;
            if (!rcPicture.contains(x, y)) {
                bGood = rgb == Black;
            } else if (!rc.bStretched) {
                bGood = rgb == canvas.pixel(x - rc.nLeft, y - rc.nTop);
            } else {
                const int sx = int((x - rc.nLeft + 0.5) * canvas.width() / rc.nWidth);
                const int sy = int((y - rc.nTop + 0.5) * canvas.height() / rc.nHeight);
                for (int dy = -1; dy <= 1 && !bGood; ++dy)
                    for (int dx = -1; dx <= 1 && !bGood; ++dx)
                        bGood = canvas.rect().contains(sx + dx, sy + dy) && rgb == canvas.pixel(sx + dx, sy + dy);
            }
            if (!bGood && nOff++ == 0)
                strFirst = QString("first at %1,%2").arg(x).arg(y);
        }
    }
    if (nOff == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << nOff << " pixels off, " << strFirst.toStdString();
}

class ScaleDownTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_frame.Create());
        m_frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame, testsupport::HangGuardMs));
        m_pScaleDown = m_frame.FindCommand(CommandId::ScaleDown);
        ASSERT_TRUE(m_pScaleDown);
        m_frame.View().installEventFilter(&m_counter);
        m_canvas = Rgb32(m_frame.View().Canvas());
    }

    // Sizes the frame so that the view gets exactly cx x cy.
    void GiveViewSize(int cx, int cy)
    {
        m_frame.resize(cx, cy + m_frame.menuBar()->sizeHint().height());
        ASSERT_TRUE(WaitForEvents([&] { return m_frame.View().size() == QSize(cx, cy); }))
            << "the view is " << m_frame.View().width() << "x" << m_frame.View().height();
    }

    // Flips Scale Down through the menu; the view must repaint by itself.
    void ToggleAndWaitForPaint()
    {
        QCoreApplication::processEvents();
        m_counter.m_nPaints = 0;
        m_pScaleDown->trigger();
        EXPECT_TRUE(WaitForEvents([&] { return m_counter.m_nPaints > 0; })) << "no repaint after Scale Down";
    }

    QImage Shot() { return Rgb32(m_frame.View().grab().toImage()); }

    CSilentPlayer m_player;
    CMainFrame m_frame{&m_player};
    QAction* m_pScaleDown = nullptr;
    CPaintCounter m_counter;
    QImage m_canvas;
};

} // namespace

TEST_F(ScaleDownTest, ASmallClientAreaShowsTheWholeBoardShrunkAt5To3)
{
    struct Size {
        int cx, cy;
    };
    for (const Size size : {Size{1000, 700}, Size{1280, 600}, Size{640, 400}, Size{1001, 700}}) {
        SCOPED_TRACE(testing::Message() << size.cx << " x " << size.cy);
        GiveViewSize(size.cx, size.cy);
        ASSERT_FALSE(m_frame.View().m_bScaleDown);
        EXPECT_TRUE(ShowsCanvasAt(Shot(), m_canvas, ComputePaintRect(size.cx, size.cy, false)));

        ToggleAndWaitForPaint();
        EXPECT_TRUE(m_frame.View().m_bScaleDown);
        EXPECT_TRUE(m_pScaleDown->isChecked());
        const PaintRect rc = ComputePaintRect(size.cx, size.cy, true);
        ASSERT_TRUE(rc.bStretched);
        EXPECT_TRUE(ShowsCanvasAt(Shot(), m_canvas, rc));

        ToggleAndWaitForPaint();
        EXPECT_FALSE(m_frame.View().m_bScaleDown);
        EXPECT_FALSE(m_pScaleDown->isChecked());
        EXPECT_TRUE(ShowsCanvasAt(Shot(), m_canvas, ComputePaintRect(size.cx, size.cy, false)));
    }
}

TEST_F(ScaleDownTest, WithRoomForTheWholeBoardNothingVisibleChanges)
{
    struct Size {
        int cx, cy;
    };
    for (const Size size : {Size{1280, 768}, Size{1400, 900}}) {
        SCOPED_TRACE(testing::Message() << size.cx << " x " << size.cy);
        GiveViewSize(size.cx, size.cy);
        const QImage before = Shot();
        EXPECT_TRUE(ShowsCanvasAt(before, m_canvas, ComputePaintRect(size.cx, size.cy, false)));
        ToggleAndWaitForPaint();
        EXPECT_TRUE(m_frame.View().m_bScaleDown);
        EXPECT_TRUE(Shot() == before);
        ToggleAndWaitForPaint();
    }
}

TEST_F(ScaleDownTest, TheShrunkBoardFollowsTheWindowAsItIsResized)
{
    GiveViewSize(1000, 700);
    ToggleAndWaitForPaint();
    for (auto [cx, cy] : {std::pair{1400, 600}, std::pair{1000, 900}, std::pair{1279, 767}}) {
        SCOPED_TRACE(testing::Message() << cx << " x " << cy);
        GiveViewSize(cx, cy);
        EXPECT_TRUE(ShowsCanvasAt(Shot(), m_canvas, ComputePaintRect(cx, cy, true)));
    }
}

TEST(FitToScreenGeometry, LargerClientsShowTheBoardAsLargeAsFitsAndSmallerOnesKeepScaleDown)
{
    const struct {
        int cx, cy;
        bool bScaleDown;
        PaintRect expected;
    } rows[] = {
        {1920, 1080, false, {60, 0, 1800, 1080, true}},
        {3840, 2160, false, {120, 0, 3600, 2160, true}},
        {1600, 1400, false, {0, 220, 1600, 960, true}},
        {1280, 768, false, {0, 0, 1280, 768, false}},
        {1281, 768, false, ComputePaintRect(1281, 768, false)},
        {1000, 700, false, ComputePaintRect(1000, 700, false)},
        {1000, 700, true, ComputePaintRect(1000, 700, true)},
    };
    for (const auto& row : rows) {
        const PaintRect rc = ComputePaintRect(row.cx, row.cy, row.bScaleDown, true);
        EXPECT_TRUE(rc == row.expected) << row.cx << " x " << row.cy << ": " << rc.nLeft << "," << rc.nTop << " "
                                        << rc.nWidth << "x" << rc.nHeight;
        EXPECT_TRUE(ComputePaintRect(row.cx, row.cy, row.bScaleDown, false) ==
                    ComputePaintRect(row.cx, row.cy, row.bScaleDown));
    }
}

TEST_F(ScaleDownTest, FitToScreenIsAnOptionsItemThatFillsALargeClientAndKeepsTheSectorColours)
{
    QAction* pFit = m_frame.FindCommand(CommandId::FitToScreen);
    ASSERT_TRUE(pFit);
    EXPECT_EQ(pFit->text(), QStringLiteral("&Fit to Screen"));
    EXPECT_TRUE(pFit->isCheckable());
    EXPECT_FALSE(pFit->isChecked());
    bool bInOptions = false;
    for (QAction* pMenu : m_frame.menuBar()->actions())
        if (pMenu->text() == QStringLiteral("&Options") && pMenu->menu())
            bInOptions = pMenu->menu()->actions().contains(pFit);
    EXPECT_TRUE(bInOptions);

    m_frame.View().LightQuadrant(QuadrantAll);
    for (auto [cx, cy] : {std::pair{1600, 960}, std::pair{1700, 900}}) {
        SCOPED_TRACE(testing::Message() << cx << " x " << cy);
        GiveViewSize(cx, cy);
        QCoreApplication::processEvents();
        m_counter.m_nPaints = 0;
        pFit->trigger();
        ASSERT_TRUE(WaitForEvents([&] { return m_counter.m_nPaints > 0; }));
        EXPECT_TRUE(m_frame.IsFitToScreen());
        EXPECT_TRUE(pFit->isChecked());
        const PaintRect rc = ComputePaintRect(cx, cy, false, true);
        const QImage shot = Shot();
        const QImage canvas = Rgb32(m_frame.View().Canvas());
        // Margins black; the middle of each sector's face the canvas's own
        // colour there, to the bit.
        if (rc.nLeft > 0) {
            EXPECT_EQ(shot.pixel(rc.nLeft / 2, cy / 2), qRgb(0, 0, 0));
        }
        if (rc.nTop > 0) {
            EXPECT_EQ(shot.pixel(cx / 2, rc.nTop / 2), qRgb(0, 0, 0));
        }
        const double dScale = double(rc.nWidth) / CChildView::CanvasWidth;
        for (auto [ux, uy] : {std::pair{-150, -150}, std::pair{150, -150}, std::pair{-150, 150}, std::pair{150, 150}}) {
            const int x = CChildView::BoardLeft + 256 + ux;
            const int y = CChildView::BoardTop + 256 + uy;
            EXPECT_EQ(shot.pixel(rc.nLeft + int(x * dScale), rc.nTop + int(y * dScale)), canvas.pixel(x, y))
                << "sector at " << ux << "," << uy;
        }
        pFit->trigger();
        EXPECT_FALSE(m_frame.IsFitToScreen());
        EXPECT_FALSE(pFit->isChecked());
    }
}
