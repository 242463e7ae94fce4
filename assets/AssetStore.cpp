#include "assets/AssetStore.h"

#include <algorithm>
#include <iterator>

#include <QFile>

#include "assets/AssetIds.h"

namespace {

// Ids are checked against these lists before any resource path is built, so
// an unknown id can never name something that happens to exist.
constexpr int BitmapIds[] = {
    AssetId::BoardNone, AssetId::BoardGreen, AssetId::BoardRed,   AssetId::BoardBlue,
    AssetId::BoardYellow, AssetId::BoardAll, AssetId::Background, AssetId::ToolBarFullScreen,
};
constexpr int ButtonIconIds[] = {
    AssetId::IconBlueDim,   AssetId::IconGreenDim, AssetId::IconRedDim,   AssetId::IconYellowDim,
    AssetId::IconYellowLit, AssetId::IconRedLit,   AssetId::IconGreenLit, AssetId::IconBlueLit,
};
constexpr int AppIconSizes[] = {16, 32, 48};
constexpr int WaveIds[] = {
    AssetId::WaveGreen, AssetId::WaveRed, AssetId::WaveBlue,
    AssetId::WaveYellow, AssetId::WaveLose, AssetId::WaveWin,
};

template <size_t N>
bool Contains(const int (&ids)[N], int nId)
{
    return std::find(std::begin(ids), std::end(ids), nId) != std::end(ids);
}

QString ResourcePath(const char* pszKind, int nId)
{
    return QStringLiteral(":/quado/%1/%2").arg(QLatin1String(pszKind)).arg(nId);
}

} // namespace

QImage LoadBitmapResource(int nId)
{
    if (!Contains(BitmapIds, nId))
        return QImage();
    return QImage(ResourcePath("bitmap", nId) + QStringLiteral(".png"), "PNG");
}

QIcon LoadIconResource(int nId)
{
    if (nId == AssetId::IconApp) {
        QIcon icon;
        for (int nSize : AppIconSizes)
            icon.addFile(ResourcePath("icon", nId) + QStringLiteral("-%1.png").arg(nSize), QSize(nSize, nSize));
        return icon;
    }
    const QPixmap pixmap = LoadIconPixmap(nId);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QPixmap LoadIconPixmap(int nId)
{
    if (nId == AssetId::IconApp)
        return QPixmap(ResourcePath("icon", nId) + QStringLiteral("-32.png"), "PNG");
    if (!Contains(ButtonIconIds, nId))
        return QPixmap();
    return QPixmap(ResourcePath("icon", nId) + QStringLiteral(".png"), "PNG");
}

QByteArray LoadWaveResource(int nId)
{
    if (!Contains(WaveIds, nId))
        return QByteArray();
    QFile file(ResourcePath("wave", nId) + QStringLiteral(".wav"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}
