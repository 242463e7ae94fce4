// The board drawn at device pixels: on screens of ratio 1.25, 1.5 and 2 and
// under Fit to Screen the picture is drawn at that size (not a 1x picture
// enlarged), the sectors keep their exact colours, the white key leaves no
// fringe, and the 1x canvas is what it always was.
#include <gtest/gtest.h>

#include <cmath>

#include "assets/gen/BoardArt.h"
#include "board/ChildView.h"
#include "board/PaintGeometry.h"
#include "tests/display/DisplaySupport.h"

namespace {

// Device pixel of a canvas point when the picture is rc at ratio dRatio.
QPoint DevicePoint(const PaintRect& rc, double dRatio, double x, double y)
{
    const double s = (rc.bStretched ? double(rc.nWidth) / CChildView::CanvasWidth : 1.0) * dRatio;
    return QPoint(int(std::floor(rc.nLeft * dRatio + x * s)), int(std::floor(rc.nTop * dRatio + y * s)));
}

// Sector centres as offsets from the board's centre, in BoardArt's order.
constexpr QPoint SectorFaces[BoardArt::SectorCount] = {{-150, -150}, {150, -150}, {-150, 150}, {150, 150}};
constexpr int LitSector[] = {-1, BoardArt::SectorGreen, BoardArt::SectorRed, BoardArt::SectorBlue,
                             BoardArt::SectorYellow};

// Every sector's face shows its exact dim or lit colour for nQuadrant, and
// nothing in the board's square is near-white (the key's fringe).
::testing::AssertionResult ShowsBoardExactly(CChildView& view, double dRatio, int nQuadrant)
{
    const QImage shot = view.PictureAt(dRatio);
    const PaintRect rc = view.LastPaintRect();
    const double cx = CChildView::BoardLeft + 256.0;
    const double cy = CChildView::BoardTop + 256.0;
    for (int s = 0; s < BoardArt::SectorCount; ++s) {
        const bool bLit = nQuadrant == QuadrantAll || (nQuadrant < QuadrantAll && LitSector[nQuadrant] == s);
        const QRgb want = bLit ? BoardArt::BoardLit[s] : BoardArt::BoardDim[s];
        for (int d = -20; d <= 20; d += 10) {
            // Along the ring, so every point stays on the flat face.
            const QPoint p = DevicePoint(rc, dRatio, cx + SectorFaces[s].x() - d * SectorFaces[s].y() / 150,
                                         cy + SectorFaces[s].y() + d * SectorFaces[s].x() / 150);
            if (shot.pixel(p) != want)
                return ::testing::AssertionFailure() << "sector " << s << " at " << p.x() << "," << p.y() << " is "
                                                     << std::hex << shot.pixel(p);
        }
    }
    const QPoint ptFrom = DevicePoint(rc, dRatio, CChildView::BoardLeft, CChildView::BoardTop);
    const QPoint ptTo = DevicePoint(rc, dRatio, CChildView::BoardLeft + 512, CChildView::BoardTop + 512);
    for (int y = ptFrom.y(); y < ptTo.y(); ++y)
        for (int x = ptFrom.x(); x < ptTo.x(); ++x) {
            const QRgb rgb = shot.pixel(x, y);
            if (std::min({qRed(rgb), qGreen(rgb), qBlue(rgb)}) > 120)
                return ::testing::AssertionFailure() << "pale pixel " << std::hex << rgb << " at " << std::dec << x
                                                     << "," << y;
        }
    return ::testing::AssertionSuccess();
}

class DevicePixelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_view.Create(nullptr));
        Resize(1280, 768);
        m_canvas = m_view.Canvas().copy();
    }
    void Resize(int cx, int cy)
    {
        m_view.resize(cx, cy);
        QResizeEvent event(QSize(cx, cy), m_view.size());
        QCoreApplication::sendEvent(&m_view, &event);
    }

    CChildView m_view;
    QImage m_canvas;
};

} // namespace

TEST_F(DevicePixelTest, TheTwoTimesPictureIsDrawnAtTwoTimesNotPixelDoubled)
{
    const QImage shot = m_view.PictureAt(2.0);
    ASSERT_EQ(shot.size(), QSize(2560, 1536));
    // Aligned 2x2 blocks across the disc's rim: in a doubled 1x picture
    // every block is of one colour; drawn at 2x, the rim splits blocks in
    // most directions.
    auto mixed = [&](int x, int y) {
        x &= ~1;
        y &= ~1;
        const QRgb rgb = shot.pixel(x, y);
        return shot.pixel(x + 1, y) != rgb || shot.pixel(x, y + 1) != rgb || shot.pixel(x + 1, y + 1) != rgb;
    };
    int nMixedDirections = 0;
    for (int nStep = 0; nStep < 360; ++nStep) {
        const double a = nStep * M_PI / 180.0;
        bool bMixed = false;
        for (double r = 252; r <= 259 && !bMixed; r += 0.25)
            bMixed = mixed(int(2 * (CChildView::BoardLeft + 256 + r * std::cos(a))),
                           int(2 * (CChildView::BoardTop + 256 + r * std::sin(a))));
        nMixedDirections += bMixed;
    }
    EXPECT_GT(nMixedDirections, 180) << "of 360 directions";
    // At ratio 1 the picture is the canvas itself, and drawing at 2x left
    // the 1x canvas as it was.
    EXPECT_EQ(m_view.PictureAt(1.0), m_canvas);
    EXPECT_EQ(m_view.Canvas(), m_canvas);
}

TEST_F(DevicePixelTest, SectorsKeepTheirExactColoursAtEveryRatioAndUnderFitToScreen)
{
    for (double dRatio : {1.25, 1.5, 2.0})
        for (int nQuadrant : {QuadrantAll, QuadrantGreen, QuadrantYellow, QuadrantNone}) {
            SCOPED_TRACE(testing::Message() << "ratio " << dRatio << ", quadrant " << nQuadrant);
            m_view.LightQuadrant(nQuadrant);
            EXPECT_TRUE(ShowsBoardExactly(m_view, dRatio, nQuadrant));
        }
    m_view.m_bFitToScreen = true;
    for (auto [cx, cy, dRatio] : {std::tuple{1920, 1080, 1.0}, std::tuple{1700, 900, 1.0}, std::tuple{1920, 1080, 2.0}}) {
        SCOPED_TRACE(testing::Message() << cx << " x " << cy << " at " << dRatio);
        Resize(cx, cy);
        for (int nQuadrant : {QuadrantRed, QuadrantBlue, QuadrantAll}) {
            m_view.LightQuadrant(nQuadrant);
            EXPECT_TRUE(ShowsBoardExactly(m_view, dRatio, nQuadrant)) << "quadrant " << nQuadrant;
        }
        EXPECT_EQ(m_view.PictureAt(dRatio).size(), QSize(int(cx * dRatio), int(cy * dRatio)));
    }
}

TEST_F(DevicePixelTest, ABurstOfChangesPaintsWhatTheChangesOneByOneWouldHavePainted)
{
    CChildView stepwise;
    ASSERT_TRUE(stepwise.Create(nullptr));
    m_view.m_bFitToScreen = stepwise.m_bFitToScreen = true;
    Resize(1920, 1080);
    stepwise.resize(1920, 1080);
    QResizeEvent event(QSize(1920, 1080), QSize());
    QCoreApplication::sendEvent(&stepwise, &event);
    const auto steps = {std::pair{QuadrantBlue, L"Level 1"}, std::pair{QuadrantNone, L""},
                        std::pair{QuadrantAll, L"You Win!\n\nSie Haben\nGewonnen!"}, std::pair{QuadrantRed, L"3"}};
    for (double dRatio : {1.0, 1.5}) {
        for (auto [nQuadrant, pszText] : steps) {
            stepwise.LightQuadrant(nQuadrant);
            stepwise.PictureAt(dRatio);
            stepwise.ShowPanelText(pszText);
            stepwise.PictureAt(dRatio);
            stepwise.Canvas();
            m_view.LightQuadrant(nQuadrant);
            m_view.ShowPanelText(pszText);
        }
        EXPECT_EQ(m_view.PictureAt(dRatio), stepwise.PictureAt(dRatio)) << "ratio " << dRatio;
        EXPECT_EQ(m_view.Canvas(), stepwise.Canvas());
    }
}
