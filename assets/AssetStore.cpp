#include "assets/AssetStore.h"

#include <algorithm>
#include <iterator>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <QFile>
#include <QResource>

#include "assets/AssetIds.h"

namespace {

// Ids are checked against these lists before any resource path is built, so
// an unknown id can never name something that happens to exist.
constexpr int BitmapIds[] = {
    AssetId::BoardNone, AssetId::BoardGreen, AssetId::BoardRed,   AssetId::BoardBlue,
    AssetId::BoardYellow, AssetId::BoardAll, AssetId::Background, AssetId::CanvasDim,
    AssetId::ToolBarFullScreen,
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

quint32 ReadLittleEndian32(const char* p)
{
    quint32 nValue = 0;
    for (int i = 3; i >= 0; --i)
        nValue = nValue << 8 | uchar(p[i]);
    return nValue;
}

void ReleasePixels(void* pBytes)
{
    delete static_cast<QByteArray*>(pBytes);
}

// The generator's raw RGB32 form: the image takes the unpacked bytes over
// as its own buffer, so a canvas made from it is changed in place without
// another copy. Null when the resource is missing or malformed.
QImage LoadPixels(const QString& strPath)
{
    constexpr qsizetype HeaderBytes = 16;
    const QResource resource(strPath);
    if (!resource.isValid())
        return QImage();
    auto pBytes = std::make_unique<QByteArray>(resource.uncompressedData());
    if (pBytes->size() < HeaderBytes || !pBytes->startsWith("QPIX"))
        return QImage();
    const quint32 nWidth = ReadLittleEndian32(pBytes->constData() + 4);
    const quint32 nHeight = ReadLittleEndian32(pBytes->constData() + 8);
    const quint32 nStride = ReadLittleEndian32(pBytes->constData() + 12);
    if (nWidth == 0 || nHeight == 0 || nWidth > 16384 || nHeight > 16384 || nStride < nWidth * 4 || nStride % 4 != 0
        || pBytes->size() != HeaderBytes + qsizetype(nStride) * nHeight)
        return QImage();
    // data() detaches a resource stored uncompressed from the program's
    // read-only pages; an unpacked one is ours already.
    uchar* pPixels = reinterpret_cast<uchar*>(pBytes->data()) + HeaderBytes;
    QImage image(pPixels, int(nWidth), int(nHeight), qsizetype(nStride), QImage::Format_RGB32, &ReleasePixels,
                 pBytes.get());
    pBytes.release();
    return image;
}

QImage UnpackBitmap(int nId)
{
    if (nId == AssetId::ToolBarFullScreen)
        return QImage(ResourcePath("bitmap", nId) + QStringLiteral(".png"), "PNG");
    return LoadPixels(ResourcePath("bitmap", nId) + QStringLiteral(".pix"));
}

// Bitmaps being unpacked ahead of their first use, each taken once.
struct Prefetched {
    std::mutex mutex;
    std::map<int, std::future<QImage>> mapImages;
    std::thread thread;

    // Made after the program's resources were registered, so this runs
    // before they go: a run that ends early never unpacks into nothing.
    ~Prefetched()
    {
        if (thread.joinable())
            thread.join();
    }
};

Prefetched& PrefetchedBitmaps()
{
    static Prefetched prefetched;
    return prefetched;
}

} // namespace

void PrefetchBitmaps(std::initializer_list<int> ids)
{
    std::vector<int> vecIds;
    for (const int nId : ids) {
        if (Contains(BitmapIds, nId))
            vecIds.push_back(nId);
    }
    if (vecIds.empty())
        return;
    // One thread for all of them, in the order given: the first is wanted
    // first.
    auto pPromises = std::make_shared<std::vector<std::promise<QImage>>>(vecIds.size());
    Prefetched& prefetched = PrefetchedBitmaps();
    std::thread threadEarlier;
    {
        std::lock_guard lock(prefetched.mutex);
        for (size_t i = 0; i < vecIds.size(); ++i)
            prefetched.mapImages[vecIds[i]] = (*pPromises)[i].get_future();
        threadEarlier = std::exchange(prefetched.thread, std::thread([vecIds, pPromises] {
                                          for (size_t i = 0; i < vecIds.size(); ++i)
                                              (*pPromises)[i].set_value(UnpackBitmap(vecIds[i]));
                                      }));
    }
    // Joined without the lock, so a load meanwhile does not wait for an
    // earlier prefetch it does not need.
    if (threadEarlier.joinable())
        threadEarlier.join();
}

QImage LoadBitmapResource(int nId)
{
    if (!Contains(BitmapIds, nId))
        return QImage();
    std::future<QImage> future;
    {
        Prefetched& prefetched = PrefetchedBitmaps();
        std::lock_guard lock(prefetched.mutex);
        const auto it = prefetched.mapImages.find(nId);
        if (it != prefetched.mapImages.end()) {
            future = std::move(it->second);
            prefetched.mapImages.erase(it);
        }
    }
    // Moved out of the promise's state, so the caller's image is the only
    // one holding the pixels and can be changed in place.
    if (future.valid())
        return future.get();
    return UnpackBitmap(nId);
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
