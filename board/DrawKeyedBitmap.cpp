#include "board/DrawKeyedBitmap.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsRgb32(QImage::Format nFormat)
{
    return nFormat == QImage::Format_RGB32 || nFormat == QImage::Format_ARGB32 ||
           nFormat == QImage::Format_ARGB32_Premultiplied;
}

constexpr uint32_t RgbMask = 0x00FFFFFFu;

// Written as an unconditional store of a select so that the compiler turns
// it into vector compare-and-blend.
void BlendRow(const uint32_t* __restrict pSource, uint32_t* __restrict pTarget, int nCount, uint32_t nKey)
{
    for (int i = 0; i < nCount; ++i) {
        const uint32_t nPixel = pSource[i];
        pTarget[i] = (nPixel & RgbMask) == nKey ? pTarget[i] : nPixel;
    }
}

} // namespace

void DrawKeyedBitmap(const QImage& image, QImage& target, int x, int y, QRgb key)
{
    if (image.isNull() || target.isNull())
        return;
    // Holding our own reference to the pixels also makes target detach
    // below when both share one buffer, so reading and writing never overlap.
    const QImage source = IsRgb32(image.format()) ? image : image.convertToFormat(QImage::Format_RGB32);
    if (!IsRgb32(target.format()))
        target = target.convertToFormat(QImage::Format_RGB32);

    const long long nLeft = std::max<long long>(0, x);
    const long long nTop = std::max<long long>(0, y);
    const long long nRight = std::min<long long>(target.width(), static_cast<long long>(x) + source.width());
    const long long nBottom = std::min<long long>(target.height(), static_cast<long long>(y) + source.height());
    if (nLeft >= nRight || nTop >= nBottom)
        return;

    const int nCount = static_cast<int>(nRight - nLeft);
    const int nSourceX = static_cast<int>(nLeft - x);
    const uint32_t nKey = key & RgbMask;
    for (long long ty = nTop; ty < nBottom; ++ty) {
        const auto* pSource = reinterpret_cast<const uint32_t*>(source.constScanLine(static_cast<int>(ty - y))) + nSourceX;
        auto* pTarget = reinterpret_cast<uint32_t*>(target.scanLine(static_cast<int>(ty))) + nLeft;
        BlendRow(pSource, pTarget, nCount, nKey);
    }
}
