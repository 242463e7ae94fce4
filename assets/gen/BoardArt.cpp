#include "BoardArt.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace BoardArt {
namespace {

// Board geometry in pixels of the 512 x 512 image; smaller boards scale it.
constexpr double BoardRadius = 256.0;
constexpr double HoleRadius = 43.0;
constexpr double RingInner = 58.0;
constexpr double RingOuter = 240.0;
constexpr double CrossHalfWidth = 10.0;
constexpr double BevelWidth = 10.0;
constexpr int SuperSample = 4;

enum class Spot { Outside, Hole, Black, Face };

struct Sample {
    Spot nSpot = Spot::Black;
    int nSector = 0;
    double dShade = 1.0; // 1 on the face, less on the bevel rim
};

// Where a point of the 512-unit board lies.
Sample ClassifyBoard(double x, double y)
{
    const double dx = x - BoardRadius;
    const double dy = y - BoardRadius;
    const double r = std::hypot(dx, dy);
    Sample s;
    if (r > BoardRadius) {
        s.nSpot = Spot::Outside;
        return s;
    }
    if (r < HoleRadius) {
        s.nSpot = Spot::Hole;
        return s;
    }
    if (r < RingInner || r > RingOuter || std::abs(dx) < CrossHalfWidth || std::abs(dy) < CrossHalfWidth)
        return s;
    s.nSpot = Spot::Face;
    s.nSector = (dy < 0 ? 0 : 2) + (dx < 0 ? 0 : 1);
    const double dEdge = std::min({r - RingInner, RingOuter - r, std::abs(dx) - CrossHalfWidth,
                                   std::abs(dy) - CrossHalfWidth});
    if (dEdge < BevelWidth)
        s.dShade = 0.5 + 0.3 * dEdge / BevelWidth;
    return s;
}

QRgb Shade(QRgb rgb, double dShade)
{
    if (dShade >= 1.0)
        return rgb;
    return qRgb(static_cast<int>(qRed(rgb) * dShade + 0.5), static_cast<int>(qGreen(rgb) * dShade + 0.5),
                static_cast<int>(qBlue(rgb) * dShade + 0.5));
}

// Averages SuperSample^2 points of a pixel; points that fall outside the
// shape count as black (bTransparent false) or as uncovered (true).
template <typename Classify>
QRgb AveragePixel(int px, int py, double dUnit, const QRgb colours[SectorCount], bool bTransparent,
                  Classify classify)
{
    int nR = 0, nG = 0, nB = 0, nCovered = 0;
    for (int sy = 0; sy < SuperSample; ++sy) {
        for (int sx = 0; sx < SuperSample; ++sx) {
            const double x = (px + (sx + 0.5) / SuperSample) * dUnit;
            const double y = (py + (sy + 0.5) / SuperSample) * dUnit;
            const Sample s = classify(x, y);
            if (s.nSpot == Spot::Outside || s.nSpot == Spot::Hole) {
                if (!bTransparent)
                    ++nCovered;
                continue;
            }
            ++nCovered;
            if (s.nSpot == Spot::Face) {
                const QRgb rgb = Shade(colours[s.nSector], s.dShade);
                nR += qRed(rgb);
                nG += qGreen(rgb);
                nB += qBlue(rgb);
            }
        }
    }
    if (nCovered == 0)
        return qRgba(0, 0, 0, 0);
    constexpr int Total = SuperSample * SuperSample;
    const int nAlpha = (255 * nCovered + Total / 2) / Total;
    return qRgba((nR + nCovered / 2) / nCovered, (nG + nCovered / 2) / nCovered, (nB + nCovered / 2) / nCovered,
                 nAlpha);
}

QImage RenderSmallBoard(int nSize, const QRgb colours[SectorCount])
{
    QImage image(nSize, nSize, QImage::Format_ARGB32);
    const double dUnit = 2.0 * BoardRadius / nSize;
    for (int y = 0; y < nSize; ++y)
        for (int x = 0; x < nSize; ++x)
            image.setPixel(x, y, AveragePixel(x, y, dUnit, colours, true, ClassifyBoard));
    return image;
}

void DrawCentredText(QPainter& painter, const QString& str, int nCentreX, int nBaseline)
{
    const int nWidth = painter.fontMetrics().horizontalAdvance(str);
    painter.drawText(nCentreX - nWidth / 2, nBaseline, str);
}

} // namespace

QImage RenderBoard(const bool bLit[SectorCount])
{
    QRgb colours[SectorCount];
    for (int s = 0; s < SectorCount; ++s)
        colours[s] = bLit[s] ? BoardLit[s] : BoardDim[s];
    const QRgb White = qRgb(255, 255, 255);

    QImage image(BoardSize, BoardSize, QImage::Format_RGB32);
    for (int y = 0; y < BoardSize; ++y) {
        for (int x = 0; x < BoardSize; ++x) {
            // The white area is decided by the pixel centre alone: white is
            // the compositing key, and a blended near-white rim would show
            // as a pale fringe over the dark background.
            const Spot nCentre = ClassifyBoard(x + 0.5, y + 0.5).nSpot;
            if (nCentre == Spot::Outside || nCentre == Spot::Hole) {
                image.setPixel(x, y, White);
                continue;
            }
            image.setPixel(x, y, AveragePixel(x, y, 1.0, colours, false, ClassifyBoard) | 0xFF000000u);
        }
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

QImage RenderBackground()
{
    return RenderBackground(1.0).convertToFormat(QImage::Format_RGB888);
}

QImage RenderBackground(double dScale)
{
    constexpr QRect BoardRect(CanvasLayout::BoardLeft, CanvasLayout::BoardTop, BoardSize, BoardSize);
    constexpr QRect PanelRect(CanvasLayout::PanelLeft, CanvasLayout::PanelTop, CanvasLayout::PanelWidth,
                              CanvasLayout::PanelHeight);
    const QColor BoardGrey(52, 52, 60);
    const QColor PanelGrey(36, 36, 36);
    const QPoint BoardCentre = BoardRect.center() + QPoint(1, 1);

    const QRect rcAll(0, 0, BackgroundWidth, BackgroundHeight);
    QImage image(static_cast<int>(std::lround(BackgroundWidth * dScale)),
                 static_cast<int>(std::lround(BackgroundHeight * dScale)), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Shapes and text are given in canvas pixels; the painter draws them at
    // the device size.
    if (dScale != 1.0)
        painter.scale(dScale, dScale);

    QLinearGradient sky(0, 0, 0, BackgroundHeight);
    sky.setColorAt(0.0, QColor(24, 26, 42));
    sky.setColorAt(1.0, QColor(8, 8, 14));
    painter.fillRect(rcAll, sky);

    QRadialGradient glow(BoardCentre, 560);
    glow.setColorAt(0.0, QColor(70, 80, 140, 90));
    glow.setColorAt(1.0, QColor(70, 80, 140, 0));
    painter.fillRect(rcAll, glow);

    // Faint rings spreading from the board, like the echo of a tone.
    painter.setBrush(Qt::NoBrush);
    for (int nRadius = 300; nRadius < 1000; nRadius += 30) {
        painter.setPen(QPen(QColor(255, 255, 255, 9), 1.0));
        painter.drawEllipse(QPointF(BoardCentre), nRadius, nRadius);
    }

    // Logo on the left: a lit board with a halo.
    constexpr QPoint LogoCentre(206, 330);
    constexpr int LogoSize = 240;
    QRadialGradient halo(LogoCentre, 190);
    halo.setColorAt(0.0, QColor(140, 160, 255, 80));
    halo.setColorAt(1.0, QColor(140, 160, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(LogoCentre, 190, 190);
    if (dScale == 1.0) {
        painter.drawImage(LogoCentre - QPoint(LogoSize / 2, LogoSize / 2), RenderSmallBoard(LogoSize, BoardLit));
    } else {
        // The logo is sampled at the device size, not enlarged.
        const int nSize = static_cast<int>(std::lround(LogoSize * dScale));
        painter.save();
        painter.resetTransform();
        painter.drawImage(QPointF(LogoCentre.x() * dScale - nSize / 2.0, LogoCentre.y() * dScale - nSize / 2.0),
                          RenderSmallBoard(nSize, BoardLit));
        painter.restore();
    }

    QFont fontSmall("Liberation Sans");
    fontSmall.setPixelSize(24);
    painter.setFont(fontSmall);
    painter.setPen(QColor(180, 186, 215));
    DrawCentredText(painter, QStringLiteral("Memory Game"), LogoCentre.x(), 505);
    painter.setPen(QColor(140, 146, 175));
    DrawCentredText(painter, QStringLiteral("Ged\u00e4chtnisspiel"), LogoCentre.x(), 537);

    // Title across the top, letter-spaced, with a bar of the four colours.
    QFont fontTitle("Liberation Sans");
    fontTitle.setPixelSize(84);
    fontTitle.setBold(true);
    fontTitle.setLetterSpacing(QFont::AbsoluteSpacing, 22);
    painter.setFont(fontTitle);
    const QString strTitle = QStringLiteral("QUADO");
    const int nTitleWidth = painter.fontMetrics().horizontalAdvance(strTitle) - 22;
    const int nTitleLeft = BoardCentre.x() - nTitleWidth / 2;
    painter.setPen(QColor(0, 0, 0, 150));
    painter.drawText(nTitleLeft + 3, 91, strTitle);
    QLinearGradient titleFill(0, 20, 0, 90);
    titleFill.setColorAt(0.0, QColor(250, 250, 255));
    titleFill.setColorAt(1.0, QColor(170, 178, 210));
    painter.setPen(QPen(QBrush(titleFill), 1));
    painter.drawText(nTitleLeft, 88, strTitle);
    const int nBarWidth = nTitleWidth / SectorCount;
    for (int s = 0; s < SectorCount; ++s)
        painter.fillRect(nTitleLeft + s * nBarWidth, 104, nBarWidth - 6, 5, QColor(BoardLit[s]));

    // Two-line caption along the bottom, English then German.
    QFont fontCaption("Liberation Sans");
    fontCaption.setPixelSize(22);
    painter.setFont(fontCaption);
    painter.setPen(QColor(205, 208, 225));
    DrawCentredText(painter, QStringLiteral("Watch the colours light up, then repeat the sequence on the board."),
                    BackgroundWidth / 2, 690);
    painter.setPen(QColor(150, 154, 178));
    DrawCentredText(painter,
                    QStringLiteral("Beobachte die Farben und wiederhole die Reihenfolge auf dem Brett."),
                    BackgroundWidth / 2, 724);

    // Plain grounds for the board and the panel, with thin frames around them.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor Frame(78, 82, 110);
    painter.fillRect(BoardRect.adjusted(-2, -2, 2, 2), Frame);
    painter.fillRect(PanelRect.adjusted(-2, -2, 2, 2), Frame);
    painter.fillRect(BoardRect, BoardGrey);
    painter.fillRect(PanelRect, PanelGrey);
    painter.end();
    return image;
}

ScaledBoards RenderBoards(double dScale)
{
    constexpr double BoardLeft = CanvasLayout::BoardLeft;
    constexpr double BoardTop = CanvasLayout::BoardTop;
    constexpr double Epsilon = 1e-9;
    const int nLeft = static_cast<int>(std::floor(BoardLeft * dScale + Epsilon));
    const int nTop = static_cast<int>(std::floor(BoardTop * dScale + Epsilon));
    const int nRight = static_cast<int>(std::ceil((BoardLeft + BoardSize) * dScale - Epsilon));
    const int nBottom = static_cast<int>(std::ceil((BoardTop + BoardSize) * dScale - Epsilon));
    ScaledBoards boards;
    boards.ptOrigin = QPoint(nLeft, nTop);
    boards.ptCentre = QPoint(static_cast<int>(std::ceil((BoardLeft + BoardRadius) * dScale - 0.5)) - nLeft,
                             static_cast<int>(std::ceil((BoardTop + BoardRadius) * dScale - 0.5)) - nTop);
    const int nWidth = nRight - nLeft;
    const int nHeight = nBottom - nTop;
    boards.bmpDim = QImage(nWidth, nHeight, QImage::Format_RGB32);
    boards.bmpLit = QImage(nWidth, nHeight, QImage::Format_RGB32);

    // Board units of a device pixel's centre, and how far from it the
    // pixel's corners reach.
    const double dUnit = 1.0 / dScale;
    const double dReach = 0.7072 * dUnit;
    auto unitX = [&](double px) { return (nLeft + px) * dUnit - BoardLeft; };
    auto unitY = [&](double py) { return (nTop + py) * dUnit - BoardTop; };
    // The lines across which the classification or the bevel shade changes.
    constexpr double Radii[] = {BoardRadius, HoleRadius, RingInner, RingOuter, RingInner + BevelWidth,
                                RingOuter - BevelWidth};
    constexpr double Offsets[] = {CrossHalfWidth, CrossHalfWidth + BevelWidth};

    auto average = [&](int px, int py, const QRgb colours[SectorCount]) {
        int nR = 0, nG = 0, nB = 0;
        for (int sy = 0; sy < SuperSample; ++sy) {
            for (int sx = 0; sx < SuperSample; ++sx) {
                const Sample s = ClassifyBoard(unitX(px + (sx + 0.5) / SuperSample),
                                               unitY(py + (sy + 0.5) / SuperSample));
                if (s.nSpot != Spot::Face)
                    continue; // outside, hole and cross all count as black here
                const QRgb rgb = Shade(colours[s.nSector], s.dShade);
                nR += qRed(rgb);
                nG += qGreen(rgb);
                nB += qBlue(rgb);
            }
        }
        constexpr int Total = SuperSample * SuperSample;
        return qRgb((nR + Total / 2) / Total, (nG + Total / 2) / Total, (nB + Total / 2) / Total);
    };

    const QRgb White = qRgb(255, 255, 255);
    for (int py = 0; py < nHeight; ++py) {
        auto* pDim = reinterpret_cast<QRgb*>(boards.bmpDim.scanLine(py));
        auto* pLit = reinterpret_cast<QRgb*>(boards.bmpLit.scanLine(py));
        for (int px = 0; px < nWidth; ++px) {
            const double x = unitX(px + 0.5);
            const double y = unitY(py + 0.5);
            const Sample centre = ClassifyBoard(x, y);
            // As at 1x, the key area is decided by the pixel centre alone,
            // so no near-white pixel can fringe the disc or the hole.
            if (centre.nSpot == Spot::Outside || centre.nSpot == Spot::Hole) {
                pDim[px] = pLit[px] = White;
                continue;
            }
            const double dx = std::abs(x - BoardRadius);
            const double dy = std::abs(y - BoardRadius);
            const double r = std::hypot(dx, dy);
            double dNearest = 1e9;
            for (double dRadius : Radii)
                dNearest = std::min(dNearest, std::abs(r - dRadius));
            for (double dOffset : Offsets)
                dNearest = std::min({dNearest, std::abs(dx - dOffset), std::abs(dy - dOffset)});
            // A pixel wholly on one side of every line has every sample
            // alike: black, or the sector's flat colour.
            if (dNearest > dReach && (centre.nSpot == Spot::Black || centre.dShade >= 1.0)) {
                if (centre.nSpot == Spot::Black) {
                    pDim[px] = pLit[px] = qRgb(0, 0, 0);
                } else {
                    pDim[px] = BoardDim[centre.nSector];
                    pLit[px] = BoardLit[centre.nSector];
                }
                continue;
            }
            pDim[px] = average(px, py, BoardDim);
            pLit[px] = average(px, py, BoardLit);
        }
    }
    return boards;
}

QImage RenderSectorIcon(Sector nSector, QRgb rgb)
{
    // The sector's ring is centred on the icon corner that faces the board
    // centre, so each icon shows its sector as it sits on the big board.
    constexpr double Outer = 31.0;
    constexpr double Inner = 11.0;
    constexpr double Gap = 1.0;
    constexpr double Rim = 2.0;
    const double dCentreX = (nSector == SectorBlue || nSector == SectorRed) ? IconSize : 0.0;
    const double dCentreY = (nSector == SectorBlue || nSector == SectorGreen) ? IconSize : 0.0;
    auto classify = [&](double x, double y) {
        const double dx = x - dCentreX;
        const double dy = y - dCentreY;
        const double r = std::hypot(dx, dy);
        Sample s;
        if (r > Outer || r < Inner || std::abs(dx) < Gap || std::abs(dy) < Gap) {
            s.nSpot = Spot::Outside;
            return s;
        }
        s.nSpot = Spot::Face;
        s.nSector = nSector;
        const double dEdge = std::min({r - Inner, Outer - r, std::abs(dx) - Gap, std::abs(dy) - Gap});
        if (dEdge < Rim)
            s.dShade = 0.55;
        return s;
    };
    QRgb colours[SectorCount] = {};
    colours[nSector] = rgb;
    QImage image(IconSize, IconSize, QImage::Format_ARGB32);
    for (int y = 0; y < IconSize; ++y)
        for (int x = 0; x < IconSize; ++x)
            image.setPixel(x, y, AveragePixel(x, y, 1.0, colours, true, classify));
    return image;
}

QImage RenderAppIcon(int nSize)
{
    return RenderSmallBoard(nSize, BoardLit);
}

QImage RenderToolBarImage()
{
    QImage image(16, 15, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(QRect(1, 1, 14, 10), QColor(40, 40, 48));
    painter.fillRect(QRect(3, 3, 10, 6), QColor(0, 96, 200));
    painter.fillRect(QRect(4, 4, 3, 1), QColor(120, 180, 255));
    painter.fillRect(QRect(7, 11, 2, 2), QColor(90, 90, 100));
    painter.fillRect(QRect(4, 13, 8, 1), QColor(40, 40, 48));
    painter.end();
    return image;
}

} // namespace BoardArt
