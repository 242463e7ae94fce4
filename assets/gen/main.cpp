// Build-time generator of every picture and sound that Quado embeds. Run by
// CMake as `quado_assetgen <output dir>`; it needs no display.
#include <cstdio>

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include "BoardArt.h"
#include "WaveSynth.h"
#include "assets/AssetIds.h"
#include "assets/CanvasLayout.h"

namespace {

bool g_bFailed = false;

void SaveImage(const QImage& image, const QString& strPath)
{
    if (!image.save(strPath, "PNG")) {
        std::fprintf(stderr, "quado_assetgen: cannot write %s\n", qPrintable(strPath));
        g_bFailed = true;
    }
}

void SaveBytes(const QByteArray& bytes, const QString& strPath);

// The form the program reads without decoding: a 16-byte header ("QPIX",
// then width, height and bytes per line, little-endian 32-bit) and the rows
// in QImage's RGB32 layout. The resource compiler compresses it, and
// unpacking that is many times quicker than inflating and unfiltering a PNG.
void SavePixels(const QImage& source, const QString& strPath)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QByteArray bytes("QPIX", 4);
    for (const qsizetype nValue : {qsizetype(image.width()), qsizetype(image.height()), image.bytesPerLine()}) {
        for (int nShift = 0; nShift < 32; nShift += 8)
            bytes.append(char((quint32(nValue) >> nShift) & 0xFF));
    }
    bytes.append(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    SaveBytes(bytes, strPath);
}

void SaveBytes(const QByteArray& bytes, const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "quado_assetgen: cannot write %s\n", qPrintable(strPath));
        g_bFailed = true;
    }
}

// The board over the background as the board view lays it: every pixel
// of the board that is not pure white replaces the one beneath. The view
// starts from this picture instead of keying the dim board in itself.
QImage LayKeyedBoard(const QImage& background, const QImage& board)
{
    QImage canvas = background.convertToFormat(QImage::Format_RGB32);
    const QImage source = board.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y) {
        const int ty = CanvasLayout::BoardTop + y;
        if (ty < 0 || ty >= canvas.height())
            continue;
        const auto* pSource = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* pTarget = reinterpret_cast<QRgb*>(canvas.scanLine(ty));
        for (int x = 0; x < source.width(); ++x) {
            const int tx = CanvasLayout::BoardLeft + x;
            if (tx >= 0 && tx < canvas.width() && (pSource[x] & 0xFFFFFF) != 0xFFFFFF)
                pTarget[tx] = pSource[x];
        }
    }
    return canvas;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quado_assetgen <output dir>\n");
        return 2;
    }
    // Text in the background needs a font engine, which needs a platform
    // plugin; the offscreen one works on a build machine without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QDir dirOut(QString::fromLocal8Bit(argv[1]));
    for (const char* pszSub : {"bitmap", "icon", "wave"})
        dirOut.mkpath(QString::fromLatin1(pszSub));
    auto path = [&](const char* pszSub, const QString& strName) {
        return dirOut.filePath(QString::fromLatin1(pszSub) + '/' + strName);
    };

    using namespace BoardArt;
    struct BoardImage {
        int nId;
        bool bLit[SectorCount]; // blue, green, red, yellow
    };
    static constexpr BoardImage Boards[] = {
        {AssetId::BoardNone, {false, false, false, false}},
        {AssetId::BoardGreen, {false, true, false, false}},
        {AssetId::BoardRed, {false, false, true, false}},
        {AssetId::BoardBlue, {true, false, false, false}},
        {AssetId::BoardYellow, {false, false, false, true}},
        {AssetId::BoardAll, {true, true, true, true}},
    };
    for (const BoardImage& board : Boards)
        SavePixels(RenderBoard(board.bLit), path("bitmap", QString("%1.pix").arg(board.nId)));
    const QImage background = RenderBackground();
    SavePixels(background, path("bitmap", QString("%1.pix").arg(AssetId::Background)));
    SavePixels(LayKeyedBoard(background, RenderBoard(Boards[0].bLit)),
               path("bitmap", QString("%1.pix").arg(AssetId::CanvasDim)));
    SaveImage(RenderToolBarImage(), path("bitmap", QString("%1.png").arg(AssetId::ToolBarFullScreen)));

    struct ButtonIcon {
        int nId;
        Sector nSector;
        QRgb rgb;
    };
    static constexpr ButtonIcon Icons[] = {
        {AssetId::IconBlueDim, SectorBlue, IconDim[SectorBlue]},
        {AssetId::IconGreenDim, SectorGreen, IconDim[SectorGreen]},
        {AssetId::IconRedDim, SectorRed, IconDim[SectorRed]},
        {AssetId::IconYellowDim, SectorYellow, IconDim[SectorYellow]},
        {AssetId::IconYellowLit, SectorYellow, BoardLit[SectorYellow]},
        {AssetId::IconRedLit, SectorRed, BoardLit[SectorRed]},
        {AssetId::IconGreenLit, SectorGreen, BoardLit[SectorGreen]},
        {AssetId::IconBlueLit, SectorBlue, BoardLit[SectorBlue]},
    };
    for (const ButtonIcon& icon : Icons)
        SaveImage(RenderSectorIcon(icon.nSector, icon.rgb), path("icon", QString("%1.png").arg(icon.nId)));
    for (int nSize : {16, 32, 48})
        SaveImage(RenderAppIcon(nSize), path("icon", QString("%1-%2.png").arg(AssetId::IconApp).arg(nSize)));

    using namespace WaveSynth;
    struct ToneWave {
        int nId;
        int nFrequency;
        int nPeak;
    };
    static constexpr ToneWave Tones[] = {
        {AssetId::WaveGreen, 225, 16362},
        {AssetId::WaveRed, 300, 9156},
        {AssetId::WaveBlue, 166, 32765},
        {AssetId::WaveYellow, 200, 16362},
    };
    for (const ToneWave& tone : Tones)
        SaveBytes(EncodeWave(Tone(tone.nFrequency, tone.nPeak), 1), path("wave", QString("%1.wav").arg(tone.nId)));
    SaveBytes(EncodeWave(LoseBuzz(), 1), path("wave", QString("%1.wav").arg(AssetId::WaveLose)));
    SaveBytes(EncodeWave(WinJingle(), 2), path("wave", QString("%1.wav").arg(AssetId::WaveWin)));

    return g_bFailed ? 1 : 0;
}
