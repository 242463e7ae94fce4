// The shapes tell the quadrants apart in luminance alone, which is all that
// is left when no colour is seen and what the common colour-vision
// deficiencies leave least confused: turned to grey, each quadrant's shape
// stands out from its face, dim and lit, and no two quadrants' shapes are
// alike. Without the shapes the same measure finds nothing to tell.
#include <gtest/gtest.h>

#include <cstdlib>

#include "assets/gen/BoardArt.h"
#include "tests/symbols/ShapesSupport.h"

using namespace shapestest;

namespace {

// A step in luminance a player can tell at a glance.
constexpr int Contrast = 48;

// Where, in the square around a sector's shape, the grey picture differs
// plainly from the face around the shape: the shape as a player without
// colour sees it. Same size for every sector of one look.
std::vector<bool> ShapeMask(const QImage& grey, const QPointF& ptCentre, int nHalf)
{
    const int cx = static_cast<int>(std::lround(ptCentre.x()));
    const int cy = static_cast<int>(std::lround(ptCentre.y()));
    // The square's corner lies on the flat face, clear of the shape.
    const int nFace = qGray(grey.pixel(cx - nHalf, cy - nHalf));
    std::vector<bool> mask;
    mask.reserve(size_t(4 * nHalf * nHalf));
    for (int y = cy - nHalf; y < cy + nHalf; ++y)
        for (int x = cx - nHalf; x < cx + nHalf; ++x)
            mask.push_back(std::abs(qGray(grey.pixel(x, y)) - nFace) > Contrast);
    return mask;
}

int Count(const std::vector<bool>& mask)
{
    return static_cast<int>(std::count(mask.begin(), mask.end(), true));
}

// The share of the pixels in either mask that are in only one of them.
double Unlike(const std::vector<bool>& a, const std::vector<bool>& b)
{
    int nEither = 0;
    int nOne = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        nEither += a[i] || b[i];
        nOne += a[i] != b[i];
    }
    return nEither ? double(nOne) / nEither : 0.0;
}

} // namespace

TEST(ShapesGrey, InGreyAloneEveryQuadrantShowsAShapeUnlikeEveryOtherDimAndLit)
{
    CChildView view;
    ASSERT_TRUE(view.Create(nullptr));
    for (const Look& look : Looks()) {
        SetLook(view, look);
        for (bool bShapes : {true, false}) {
            view.SetShapesShown(bShapes);
            for (int nQuadrant : {QuadrantNone, QuadrantAll, QuadrantYellow}) {
                SCOPED_TRACE(testing::Message() << look.pszName << ", quadrant " << nQuadrant << ", shapes "
                                                << bShapes);
                view.LightQuadrant(nQuadrant);
                const QImage grey = Grey(Picture(view, look));
                const int nHalf = static_cast<int>(BoxHalf * DeviceScale(view, look));
                std::vector<bool> masks[BoardArt::SectorCount];
                for (int s = 0; s < BoardArt::SectorCount; ++s) {
                    masks[s] = ShapeMask(grey, ShapeCentre(view, look, s), nHalf);
                    if (bShapes)
                        EXPECT_GT(Count(masks[s]), nHalf * nHalf / 3) << "sector " << s << " shows too little";
                    else
                        EXPECT_EQ(Count(masks[s]), 0) << "sector " << s;
                }
                for (int a = 0; a < BoardArt::SectorCount; ++a)
                    for (int b = a + 1; b < BoardArt::SectorCount; ++b) {
                        if (bShapes)
                            EXPECT_GT(Unlike(masks[a], masks[b]), 0.4) << "sectors " << a << " and " << b;
                        else
                            EXPECT_EQ(masks[a], masks[b]);
                    }
            }
        }
    }
}
