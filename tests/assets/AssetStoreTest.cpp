// The embedded pictures: sizes, exact colours where the board view and the
// manual driver depend on them, and the white key areas.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"

namespace {

constexpr QRgb White = 0xFFFFFFFF;

struct BoardCase {
    int nId;
    bool bLit[4]; // blue, green, red, yellow
};

constexpr BoardCase BoardCases[] = {
    {AssetId::BoardNone, {false, false, false, false}},  {AssetId::BoardGreen, {false, true, false, false}},
    {AssetId::BoardRed, {false, false, true, false}},    {AssetId::BoardBlue, {true, false, false, false}},
    {AssetId::BoardYellow, {false, false, false, true}}, {AssetId::BoardAll, {true, true, true, true}},
};

constexpr QRgb Dim[4] = {qRgb(0, 0, 255), qRgb(0, 175, 0), qRgb(175, 0, 0), qRgb(175, 175, 0)};
constexpr QRgb Lit[4] = {qRgb(25, 100, 255), qRgb(0, 255, 0), qRgb(255, 0, 0), qRgb(255, 255, 0)};

// Points well inside each sector's face: blue top left, green top right,
// red bottom left, yellow bottom right. Offsets from the board centre.
constexpr QPoint FaceOffsets[] = {{-105, -105}, {-150, -60}, {-60, -170}, {-190, -40}, {-40, -190}};

QPoint Mirror(QPoint offset, int nSector)
{
    const int sx = (nSector == 1 || nSector == 3) ? -1 : 1;
    const int sy = (nSector >= 2) ? -1 : 1;
    return QPoint(256 + sx * offset.x(), 256 + sy * offset.y());
}

} // namespace

TEST(BoardImages, SizeSectorColoursAndWhiteKeyAreas)
{
    for (const BoardCase& c : BoardCases) {
        SCOPED_TRACE(c.nId);
        const QImage image = LoadBitmapResource(c.nId);
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image.size(), QSize(512, 512));
        EXPECT_FALSE(image.hasAlphaChannel());

        for (QPoint corner : {QPoint(0, 0), QPoint(511, 0), QPoint(0, 511), QPoint(511, 511), QPoint(40, 40)})
            EXPECT_EQ(image.pixel(corner), White) << corner.x() << "," << corner.y();
        // The centre hole, about 86 px across.
        for (QPoint hole : {QPoint(256, 256), QPoint(220, 256), QPoint(290, 256), QPoint(256, 218), QPoint(240, 240)})
            EXPECT_EQ(image.pixel(hole), White) << hole.x() << "," << hole.y();
        // The black disc touches all four edges; the cross divides it.
        for (QPoint rim : {QPoint(256, 0), QPoint(0, 256), QPoint(511, 256), QPoint(256, 511), QPoint(256, 150),
                           QPoint(380, 256)})
            EXPECT_EQ(image.pixel(rim), qRgb(0, 0, 0)) << rim.x() << "," << rim.y();

        for (int s = 0; s < 4; ++s) {
            const QRgb expected = c.bLit[s] ? Lit[s] : Dim[s];
            for (QPoint offset : FaceOffsets) {
                const QPoint p = Mirror(offset, s);
                EXPECT_EQ(image.pixel(p), expected) << "sector " << s << " at " << p.x() << "," << p.y();
            }
        }
    }
}

TEST(BoardImages, NoPixelIsAlmostWhite)
{
    // White is the compositing key: a pixel that is nearly but not exactly
    // white would stay opaque and show as a pale speck on the background.
    for (const BoardCase& c : BoardCases) {
        const QImage image = LoadBitmapResource(c.nId).convertToFormat(QImage::Format_RGB32);
        int nNearWhite = 0;
        for (int y = 0; y < image.height(); ++y) {
            const QRgb* pLine = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb rgb = pLine[x];
                if (rgb != White && qRed(rgb) > 200 && qGreen(rgb) > 200 && qBlue(rgb) > 200)
                    ++nNearWhite;
            }
        }
        EXPECT_EQ(nNearWhite, 0) << c.nId;
    }
}

TEST(Background, SizeAndPlainGroundsUnderBoardAndPanel)
{
    const QImage image = LoadBitmapResource(AssetId::Background);
    ASSERT_EQ(image.size(), QSize(1280, 768));
    EXPECT_FALSE(image.hasAlphaChannel());

    auto countOff = [&](QRect rect, QRgb expected) {
        int nOff = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                nOff += image.pixel(x, y) != expected;
        return nOff;
    };
    EXPECT_EQ(countOff(QRect(412, 120, 512, 512), qRgb(52, 52, 60)), 0);
    EXPECT_EQ(countOff(QRect(934, 240, 326, 288), qRgb(36, 36, 36)), 0);

    // Dark artwork around them: the title band carries some bright pixels
    // but the picture as a whole stays dark.
    long long nSum = 0;
    int nBrightInTitle = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb rgb = image.pixel(x, y);
            nSum += qGray(rgb);
            if (y < 120 && qGray(rgb) > 180)
                ++nBrightInTitle;
        }
    }
    EXPECT_LT(nSum / (1280 * 768), 70);
    EXPECT_GT(nBrightInTitle, 1000);
}

TEST(Icons, ButtonIconsShowTheirSectorInTheTableColour)
{
    struct IconCase {
        int nId;
        QPoint face;
        QRgb rgb;
    };
    // Face points sit in the quarter ring, which is centred on the corner
    // nearest the board's centre.
    const IconCase cases[] = {
        {AssetId::IconBlueDim, {10, 16}, qRgb(0, 0, 255)},    {AssetId::IconGreenDim, {21, 16}, qRgb(0, 128, 0)},
        {AssetId::IconRedDim, {10, 15}, qRgb(128, 0, 0)},     {AssetId::IconYellowDim, {21, 15}, qRgb(128, 128, 0)},
        {AssetId::IconYellowLit, {21, 15}, qRgb(255, 255, 0)}, {AssetId::IconRedLit, {10, 15}, qRgb(255, 0, 0)},
        {AssetId::IconGreenLit, {21, 16}, qRgb(0, 255, 0)},   {AssetId::IconBlueLit, {10, 16}, qRgb(25, 100, 255)},
    };
    for (const IconCase& c : cases) {
        SCOPED_TRACE(c.nId);
        const QPixmap pixmap = LoadIconPixmap(c.nId);
        ASSERT_EQ(pixmap.size(), QSize(32, 32));
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(image.pixel(c.face), c.rgb | 0xFF000000u);
        // Beyond the outer radius, inside the inner one and along the two
        // straight edges the icon is transparent: all four corners are.
        for (QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)})
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << corner.x() << "," << corner.y();
        EXPECT_FALSE(LoadIconResource(c.nId).isNull());
    }
}

TEST(Icons, AppIconOffersThreeSizesAndToolBarImageIsSixteenByFifteen)
{
    const QIcon icon = LoadIconResource(AssetId::IconApp);
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int n : {16, 32, 48})
        EXPECT_TRUE(sizes.contains(QSize(n, n))) << n;
    EXPECT_EQ(LoadIconPixmap(AssetId::IconApp).size(), QSize(32, 32));
    EXPECT_EQ(LoadBitmapResource(AssetId::ToolBarFullScreen).size(), QSize(16, 15));
}

TEST(AssetStore, UnknownIdsGiveNothing)
{
    for (int nId : {0, -1, 1, 140, 146, 158, 999, AssetId::IconBlueDim}) {
        if (nId == AssetId::Background)
            continue;
        EXPECT_TRUE(LoadBitmapResource(nId).isNull()) << nId;
    }
    // Sound ids are not bitmaps, and bitmap ids are not icons or sounds.
    EXPECT_TRUE(LoadBitmapResource(AssetId::WaveWin).isNull());
    EXPECT_TRUE(LoadIconResource(AssetId::BoardNone).isNull());
    EXPECT_TRUE(LoadIconPixmap(0).isNull());
    EXPECT_TRUE(LoadWaveResource(0).isEmpty());
    EXPECT_TRUE(LoadWaveResource(AssetId::IconBlueDim).isEmpty());
    EXPECT_TRUE(LoadWaveResource(AssetId::BoardNone).isEmpty());
}

// A bitmap unpacked ahead is the same picture, is the caller's own to change
// (the canvas is drawn into in place), and is handed out once: the next
// caller gets a fresh one, untouched by what the first drew.
TEST(AssetStore, PrefetchedBitmapIsTheSamePictureAndTheCallersOwn)
{
    const QImage fresh = LoadBitmapResource(AssetId::Background);
    PrefetchBitmaps({AssetId::Background, AssetId::WaveWin});
    QImage prefetched = LoadBitmapResource(AssetId::Background);
    ASSERT_FALSE(prefetched.isNull());
    EXPECT_EQ(prefetched, fresh);
    const uchar* pBefore = prefetched.constBits();
    prefetched.setPixel(0, 0, qRgb(1, 2, 3));
    EXPECT_EQ(prefetched.constBits(), pBefore) << "changed in place, not copied";
    EXPECT_EQ(LoadBitmapResource(AssetId::Background), fresh);
}
