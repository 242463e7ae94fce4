#include "board/CanvasImages.h"

#include <algorithm>
#include <cstring>

#include <QFontMetrics>
#include <QPainter>

#include "assets/AssetStore.h"

QImage LoadCanvasImage(int nId)
{
    const QImage image = LoadBitmapResource(nId);
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

QRect DifferingRect(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull() || a.size() != b.size() || a.format() != b.format())
        return b.rect();
    const auto row = [](const QImage& image, int y) { return reinterpret_cast<const QRgb*>(image.constScanLine(y)); };
    const size_t nRowBytes = size_t(a.width()) * sizeof(QRgb);
    int nLeft = a.width();
    int nRight = -1;
    int nTop = -1;
    int nBottom = -1;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pA = row(a, y);
        const QRgb* pB = row(b, y);
        if (std::memcmp(pA, pB, nRowBytes) == 0)
            continue;
        if (nTop < 0)
            nTop = y;
        nBottom = y;
        int x = 0;
        while (x < nLeft && pA[x] == pB[x])
            ++x;
        nLeft = std::min(nLeft, x);
        x = a.width() - 1;
        while (x > nRight && pA[x] == pB[x])
            --x;
        nRight = std::max(nRight, x);
    }
    return nTop < 0 ? QRect() : QRect(QPoint(nLeft, nTop), QPoint(nRight, nBottom));
}

void CopyImage(const QImage& source, QImage& target, int x, int y)
{
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(x, y, source);
}

QFont FitPanelFont(int nLineHeight, int nStartPixels)
{
    // The panel's line height is the height of a character cell, ascent plus
    // descent, as on the platform the board was designed for. Faces differ in
    // how much cell they put around the em, so the size is found by measuring.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    // The largest size up to the start whose cell fits. A cell grows with
    // the size, so the search starts where the start size's cell says the
    // answer lies and steps from there: each size tried loads the face
    // anew, and stepping down from the start took six of them.
    const auto fits = [&font, nLineHeight](int nPixels) {
        font.setPixelSize(nPixels);
        const QFontMetrics metrics(font);
        return metrics.ascent() + metrics.descent() <= nLineHeight;
    };
    font.setPixelSize(nStartPixels);
    const QFontMetrics startMetrics(font);
    const int nStartCell = std::max(1, startMetrics.ascent() + startMetrics.descent());
    int nPixels = std::clamp(nStartPixels * nLineHeight / nStartCell + 1, 2, nStartPixels);
    if (fits(nPixels)) {
        while (nPixels < nStartPixels && fits(nPixels + 1))
            ++nPixels;
    } else {
        while (nPixels > 2) {
            if (fits(--nPixels))
                break;
        }
    }
    font.setPixelSize(nPixels);
    return font;
}
