// The board with Shapes on the Board, in every look (1x, ratio 2, Fit to
// Screen): the shapes sit in their quadrants' middles, dim and lit, drawn at
// the device size; off, and after on and off again, the picture is the one
// the view always drew; and whatever came before, the picture is the one a
// fresh view draws.
#include <gtest/gtest.h>

#include <algorithm>

#include "assets/gen/BoardArt.h"
#include "board/ChildView.h"
#include "tests/symbols/ShapesSupport.h"

using namespace shapestest;

namespace {

constexpr int Quadrants[] = {QuadrantNone, QuadrantGreen, QuadrantRed, QuadrantBlue, QuadrantYellow, QuadrantAll};

struct InkCount {
    int nDark = 0;
    int nLight = 0;
};

InkCount CountInk(const QImage& image, const QRect& rc)
{
    InkCount ink;
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x) {
            const QRgb rgb = image.pixel(x, y);
            ink.nDark += std::max({qRed(rgb), qGreen(rgb), qBlue(rgb)}) < 40;
            ink.nLight += std::min({qRed(rgb), qGreen(rgb), qBlue(rgb)}) > 215;
        }
    return ink;
}

class ShapesPicture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_view.Create(nullptr)); }

    CChildView m_view;
};

} // namespace

TEST_F(ShapesPicture, OffAndOnAgainAndOffGiveTodaysPictureInEveryLook)
{
    CChildView untouched;
    ASSERT_TRUE(untouched.Create(nullptr));
    for (const Look& look : Looks()) {
        SCOPED_TRACE(look.pszName);
        SetLook(m_view, look);
        SetLook(untouched, look);
        std::vector<QImage> today;
        for (int nQuadrant : Quadrants) {
            untouched.LightQuadrant(nQuadrant);
            today.push_back(Picture(untouched, look));
            m_view.LightQuadrant(nQuadrant);
            EXPECT_EQ(Picture(m_view, look), today.back()) << "quadrant " << nQuadrant;
        }
        m_view.SetShapesShown(true);
        for (size_t i = 0; i < std::size(Quadrants); ++i) {
            m_view.LightQuadrant(Quadrants[i]);
            EXPECT_NE(Picture(m_view, look), today[i]) << "quadrant " << Quadrants[i];
        }
        m_view.SetShapesShown(false);
        for (size_t i = 0; i < std::size(Quadrants); ++i) {
            m_view.LightQuadrant(Quadrants[i]);
            EXPECT_EQ(Picture(m_view, look), today[i]) << "quadrant " << Quadrants[i];
        }
    }
    // The 1x canvas too, which the other looks let go of and make again.
    EXPECT_EQ(m_view.Canvas(), untouched.Canvas());
}

TEST_F(ShapesPicture, EachShapeSitsInItsQuadrantsMiddleInBlackAndWhiteDimAndLit)
{
    for (const Look& look : Looks()) {
        SCOPED_TRACE(look.pszName);
        SetLook(m_view, look);
        m_view.SetShapesShown(false);
        std::vector<QImage> plains;
        for (int nQuadrant : Quadrants) {
            m_view.LightQuadrant(nQuadrant);
            plains.push_back(Picture(m_view, look));
        }
        m_view.SetShapesShown(true);
        for (size_t i = 0; i < std::size(Quadrants); ++i) {
            SCOPED_TRACE(testing::Message() << "quadrant " << Quadrants[i]);
            m_view.LightQuadrant(Quadrants[i]);
            const QImage& plain = plains[i];
            const QImage marked = Picture(m_view, look);
            ASSERT_EQ(plain.size(), marked.size());
            QRect boxes[BoardArt::SectorCount];
            for (int s = 0; s < BoardArt::SectorCount; ++s)
                boxes[s] = ShapeBox(m_view, look, s);
            int nStray = 0;
            int nInBox[BoardArt::SectorCount] = {};
            for (int y = 0; y < plain.height(); ++y) {
                const auto* pPlain = reinterpret_cast<const QRgb*>(plain.constScanLine(y));
                const auto* pMarked = reinterpret_cast<const QRgb*>(marked.constScanLine(y));
                for (int x = 0; x < plain.width(); ++x) {
                    if (pPlain[x] == pMarked[x])
                        continue;
                    const auto pBox = std::find_if(std::begin(boxes), std::end(boxes),
                                                   [&](const QRect& rc) { return rc.contains(x, y); });
                    if (pBox == std::end(boxes))
                        ++nStray;
                    else
                        ++nInBox[pBox - std::begin(boxes)];
                }
            }
            EXPECT_EQ(nStray, 0) << "changed pixels outside the shapes' squares";
            // A shape's line is a white band between two black ones: both
            // are there in every quadrant, on the dim colour and the lit.
            const double s2 = DeviceScale(m_view, look) * DeviceScale(m_view, look);
            for (int s = 0; s < BoardArt::SectorCount; ++s) {
                SCOPED_TRACE(testing::Message() << "sector " << s);
                const InkCount ink = CountInk(marked, boxes[s]);
                EXPECT_GT(nInBox[s], 700 * s2);
                EXPECT_GT(ink.nDark, 250 * s2);
                EXPECT_GT(ink.nLight, 250 * s2);
                EXPECT_EQ(CountInk(plain, boxes[s]).nLight, 0);
            }
        }
    }
}

TEST_F(ShapesPicture, AnyHistoryOfLightsLooksAndTogglesEndsInAFreshViewsPicture)
{
    // Lights and looks changing under the shapes, and the option switched
    // at every scale, must leave nothing stale behind: no shape missing
    // after a lit quadrant went dim, no dim shape on a lit quadrant.
    const std::vector<Look>& looks = Looks();
    const int steps[][3] = {{QuadrantRed, 0, 1}, {QuadrantAll, 1, 1}, {QuadrantNone, 2, 0}, {QuadrantBlue, 2, 1},
                            {QuadrantYellow, 1, 0}, {QuadrantGreen, 0, 1}, {QuadrantAll, 2, 1}, {QuadrantRed, 1, 1}};
    for (const auto& step : steps) {
        const Look& look = looks[step[1]];
        SetLook(m_view, look);
        m_view.SetShapesShown(step[2] != 0);
        m_view.LightQuadrant(step[0]);
        Picture(m_view, look);
        m_view.Canvas();
    }
    for (const Look& look : looks) {
        SCOPED_TRACE(look.pszName);
        CChildView fresh;
        ASSERT_TRUE(fresh.Create(nullptr));
        fresh.SetShapesShown(true);
        SetLook(fresh, look);
        SetLook(m_view, look);
        for (int nQuadrant : {QuadrantNone, QuadrantBlue, QuadrantAll, QuadrantYellow}) {
            fresh.LightQuadrant(nQuadrant);
            m_view.LightQuadrant(nQuadrant);
            EXPECT_EQ(Picture(m_view, look), Picture(fresh, look)) << "quadrant " << nQuadrant;
        }
    }
    EXPECT_TRUE(m_view.ShapesShown());
}

TEST_F(ShapesPicture, AtAnotherScaleTheShapesAreThoseOfABoardDrawnAtThatScale)
{
    // Not a 1x picture enlarged: the board drawn at the device size and
    // marked there. The lit sectors are made from the dim board, whose
    // shapes come out tinted: the lit shapes laid over them must cover every
    // such pixel.
    for (const Look& look : {Looks()[1], Looks()[2]}) {
        SCOPED_TRACE(look.pszName);
        SetLook(m_view, look);
        m_view.SetShapesShown(true);
        for (int nQuadrant : {QuadrantNone, QuadrantAll}) {
            m_view.LightQuadrant(nQuadrant);
            const QImage shot = Picture(m_view, look);
            const double dScale = DeviceScale(m_view, look);
            BoardArt::ScaledBoards boards = BoardArt::RenderBoards(dScale);
            QImage& board = nQuadrant == QuadrantAll ? boards.bmpLit : boards.bmpDim;
            QuadrantShapes::MarkBoard(board, dScale, boards.ptOrigin);
            const QPoint ptPicture(static_cast<int>(std::lround(m_view.LastPaintRect().nLeft * look.dRatio)),
                                   static_cast<int>(std::lround(m_view.LastPaintRect().nTop * look.dRatio)));
            for (int s = 0; s < BoardArt::SectorCount; ++s) {
                const QRect rc = ShapeBox(m_view, look, s);
                int nWrong = 0;
                for (int y = rc.top(); y <= rc.bottom(); ++y)
                    for (int x = rc.left(); x <= rc.right(); ++x)
                        nWrong += shot.pixel(x, y) != board.pixel(QPoint(x, y) - ptPicture - boards.ptOrigin);
                EXPECT_EQ(nWrong, 0) << "quadrant " << nQuadrant << ", sector " << s;
            }
        }
    }
}
