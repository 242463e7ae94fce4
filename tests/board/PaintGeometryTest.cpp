// Where the canvas lands for a given client size and Scale Down mode.
#include <gtest/gtest.h>

#include <ostream>

#include "board/PaintGeometry.h"

// Found by argument-dependent lookup, so it lives beside PaintRect.
std::ostream& operator<<(std::ostream& os, const PaintRect& rc)
{
    return os << "(" << rc.nLeft << ", " << rc.nTop << ", " << rc.nWidth << ", " << rc.nHeight << ")"
              << (rc.bStretched ? " stretched" : " 1:1");
}

namespace {

struct Row {
    int cx, cy;
    bool bScaleDown;
    PaintRect expected;
};

} // namespace

TEST(PaintGeometry, EveryRowOfTheTable)
{
    const Row rows[] = {
        {1280, 768, false, {0, 0, 1280, 768, false}},
        {1280, 768, true, {0, 0, 1280, 768, false}},
        {1400, 900, false, {60, 66, 1280, 768, false}},
        {1400, 900, true, {60, 66, 1280, 768, false}},
        // Too small without Scale Down: the top-left part, cut off.
        {1000, 700, false, {0, 0, 1000, 700, false}},
        {1000, 700, true, {0, 50, 1000, 600, true}},
        {1280, 600, true, {140, 0, 1000, 600, true}},
        {1400, 600, true, {200, 0, 1000, 600, true}},
        {1000, 900, true, {0, 150, 1000, 600, true}},
        {1001, 700, true, {0, 49, 1001, 601, true}},
        {1000, 600, true, {0, 0, 1000, 600, true}},
        {640, 400, true, {0, 8, 640, 384, true}},
        {1279, 767, true, {0, 0, 1278, 767, true}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ComputePaintRect(row.cx, row.cy, row.bScaleDown), row.expected)
            << row.cx << " x " << row.cy << (row.bScaleDown ? " scaled" : " unscaled");
}

TEST(PaintGeometry, ZeroWidthOrHeightShowsNothingAndDoesNotTrap)
{
    for (bool bScaleDown : {false, true}) {
        for (auto [cx, cy] : {std::pair{0, 0}, std::pair{0, 500}, std::pair{500, 0}, std::pair{0, 900},
                              std::pair{1400, 0}}) {
            const PaintRect rc = ComputePaintRect(cx, cy, bScaleDown);
            EXPECT_TRUE(rc.nWidth == 0 || rc.nHeight == 0) << cx << " x " << cy << " scale " << bScaleDown << " "
                                                           << rc;
            EXPECT_GE(rc.nLeft, 0);
            EXPECT_GE(rc.nTop, 0);
        }
    }
    // With Scale Down the empty picture stays where the arithmetic puts it.
    EXPECT_EQ(ComputePaintRect(0, 0, true), (PaintRect{0, 0, 0, 0, true}));
    EXPECT_EQ(ComputePaintRect(500, 0, true), (PaintRect{250, 0, 0, 0, true}));
    EXPECT_EQ(ComputePaintRect(0, 500, true), (PaintRect{0, 250, 0, 0, true}));
}

TEST(PaintGeometry, ScaledPictureKeepsFiveToThreeAndStaysInsideTheClientArea)
{
    for (int cx = 1; cx <= 1400; cx += 37) {
        for (int cy = 1; cy <= 900; cy += 29) {
            const PaintRect rc = ComputePaintRect(cx, cy, true);
            ASSERT_LE(rc.nLeft + rc.nWidth, cx) << cx << " x " << cy;
            ASSERT_LE(rc.nTop + rc.nHeight, cy) << cx << " x " << cy;
            if (rc.bStretched && rc.nWidth > 10 && rc.nHeight > 10) {
                ASSERT_NEAR(static_cast<double>(rc.nWidth) / rc.nHeight, 5.0 / 3.0, 0.1) << cx << " x " << cy;
            }
        }
    }
}
