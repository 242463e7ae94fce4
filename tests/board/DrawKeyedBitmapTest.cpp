// Colour-keyed copying: key pixels keep the target, all others replace it,
// the image stays as it was and nothing is written outside the target.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include <QImage>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "board/ChildView.h"
#include "board/DrawKeyedBitmap.h"

namespace {

constexpr QRgb Key = qRgb(255, 255, 255);

// An image whose pixels are a mix of the key and random colours, some of
// them one step away from the key.
QImage MakeImage(int w, int h, unsigned nSeed)
{
    std::mt19937 random(nSeed);
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            switch (random() % 4) {
            case 0:
                image.setPixel(x, y, Key);
                break;
            case 1:
                image.setPixel(x, y, qRgb(255, 255, 254 - static_cast<int>(random() % 2)));
                break;
            default:
                image.setPixel(x, y, qRgb(random() % 256, random() % 256, random() % 256));
            }
        }
    }
    return image;
}

// The expected result, pixel by pixel, written as plainly as possible.
QImage Reference(const QImage& image, const QImage& target, int x, int y, QRgb key)
{
    QImage result = target.copy();
    for (int j = 0; j < image.height(); ++j) {
        for (int i = 0; i < image.width(); ++i) {
            const long long tx = static_cast<long long>(x) + i;
            const long long ty = static_cast<long long>(y) + j;
            if (tx < 0 || ty < 0 || tx >= target.width() || ty >= target.height())
                continue;
            const QRgb rgb = image.pixel(i, j);
            if ((rgb & 0xFFFFFF) != (key & 0xFFFFFF))
                result.setPixel(static_cast<int>(tx), static_cast<int>(ty), rgb);
        }
    }
    return result;
}

} // namespace

TEST(DrawKeyedBitmap, KeyPixelsKeepTargetOthersReplaceItImageUnchanged)
{
    const QImage image = MakeImage(37, 23, 1);
    const QImage imageBefore = image.copy();
    QImage target = MakeImage(64, 48, 2);
    const QImage expected = Reference(image, target, 5, 7, Key);

    DrawKeyedBitmap(image, target, 5, 7, Key);
    EXPECT_EQ(target, expected);
    EXPECT_EQ(image, imageBefore);
}

TEST(DrawKeyedBitmap, BlackKeyAsUsedForPanelText)
{
    QImage text(4, 1, QImage::Format_RGB32);
    text.setPixel(0, 0, qRgb(0, 0, 0));
    text.setPixel(1, 0, qRgb(255, 255, 255));
    text.setPixel(2, 0, qRgb(1, 0, 0)); // a smoothed edge pixel: not the key
    text.setPixel(3, 0, qRgb(0, 0, 0));
    QImage target(4, 1, QImage::Format_RGB32);
    target.fill(qRgb(36, 36, 36));
    DrawKeyedBitmap(text, target, 0, 0, qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(0, 0), qRgb(36, 36, 36));
    EXPECT_EQ(target.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(2, 0), qRgb(1, 0, 0));
    EXPECT_EQ(target.pixel(3, 0), qRgb(36, 36, 36));
}

TEST(DrawKeyedBitmap, ClipsAtEveryEdgeAndNeverWritesOutside)
{
    const QImage image = MakeImage(20, 15, 3);
    const QImage target = MakeImage(50, 40, 4);
    const std::pair<int, int> places[] = {
        {-10, -5}, {40, 30}, {-19, 0}, {0, -14}, {49, 39}, {-20, 0}, {50, 0}, {0, 40}, {-5, 35},
        {INT_MAX, 0}, {0, INT_MAX}, {INT_MIN, 0}, {0, INT_MIN}, {INT_MAX - 5, INT_MAX - 5}, {INT_MIN, INT_MIN},
    };
    for (auto [x, y] : places) {
        QImage result = target.copy();
        DrawKeyedBitmap(image, result, x, y, Key);
        EXPECT_EQ(result, Reference(image, target, x, y, Key)) << x << "," << y;
        EXPECT_EQ(result.size(), target.size());
    }

    // An image larger than the target on every side.
    const QImage big = MakeImage(80, 70, 5);
    QImage result = target.copy();
    DrawKeyedBitmap(big, result, -10, -10, Key);
    EXPECT_EQ(result, Reference(big, target, -10, -10, Key));
}

TEST(DrawKeyedBitmap, OtherFormatsNullImagesAndDrawingOntoItself)
{
    // A 24-bit image, as the bitmaps are stored, keys the same way.
    const QImage image = MakeImage(16, 16, 6);
    QImage target = MakeImage(32, 32, 7);
    const QImage expected = Reference(image, target, 8, 8, Key);
    DrawKeyedBitmap(image.convertToFormat(QImage::Format_RGB888), target, 8, 8, Key);
    EXPECT_EQ(target, expected);

    QImage untouched = target.copy();
    DrawKeyedBitmap(QImage(), untouched, 0, 0, Key);
    EXPECT_EQ(untouched, target);
    QImage nullTarget;
    DrawKeyedBitmap(image, nullTarget, 0, 0, Key);
    EXPECT_TRUE(nullTarget.isNull());

    // Image and target sharing one buffer: the result is as if the image
    // had been copied first, and no earlier copy of it changes.
    QImage self = MakeImage(30, 30, 8);
    const QImage selfBefore = self.copy();
    const QImage shared = self;
    DrawKeyedBitmap(self, self, 3, 2, Key);
    EXPECT_EQ(self, Reference(selfBefore, selfBefore, 3, 2, Key));
    EXPECT_EQ(shared, selfBefore);
}

TEST(DrawKeyedBitmap, EveryRowLengthAndTheBoardsOwnImagesMatchTheReference)
{
    // Rows are copied in blocks with a remainder: every length up to a few
    // blocks, at odd and even starting columns.
    const QImage target = MakeImage(64, 8, 9);
    for (int nWidth = 1; nWidth <= 41; ++nWidth) {
        const QImage image = MakeImage(nWidth, 3, 10 + nWidth);
        for (const int x : {0, 3, 64 - nWidth}) {
            QImage result = target.copy();
            DrawKeyedBitmap(image, result, x, 2, Key);
            ASSERT_EQ(result, Reference(image, target, x, 2, Key)) << nWidth << " at " << x;
        }
    }

    // The board over the canvas, as the view composes it: long runs of key
    // and of picture with smoothed edges between.
    const QImage board = LoadBitmapResource(AssetId::BoardAll).convertToFormat(QImage::Format_RGB32);
    const QImage canvas = LoadBitmapResource(AssetId::Background).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(board.isNull());
    ASSERT_FALSE(canvas.isNull());
    QImage result = canvas.copy();
    DrawKeyedBitmap(board, result, CChildView::BoardLeft, CChildView::BoardTop, Key);
    EXPECT_EQ(result, Reference(board, canvas, CChildView::BoardLeft, CChildView::BoardTop, Key));
}
