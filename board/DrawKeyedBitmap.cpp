#include "board/DrawKeyedBitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

bool IsRgb32(QImage::Format nFormat)
{
    return nFormat == QImage::Format_RGB32 || nFormat == QImage::Format_ARGB32 ||
           nFormat == QImage::Format_ARGB32_Premultiplied;
}

constexpr uint32_t RgbMask = 0x00FFFFFFu;

// Generic vectors (GCC and Clang) keep the loop a compare-and-blend over
// eight pixels at a time on any target, independent of optimisation flags.
// On x86-64 the compiler also makes an AVX2 version, chosen at load time
// where the processor has it: there the whole blend is one 32-byte step,
// close to what a plain copy costs.
using Pixels8 = uint32_t __attribute__((vector_size(32)));
using Mask8 = int32_t __attribute__((vector_size(32)));

#if defined(__x86_64__) && defined(__ELF__)
#define QUADO_BLEND_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QUADO_BLEND_CLONES
#endif

QUADO_BLEND_CLONES
void BlendRow(const uint32_t* pSource, uint32_t* pTarget, int nCount, uint32_t nKey)
{
    const Pixels8 vRgbMask = {RgbMask, RgbMask, RgbMask, RgbMask, RgbMask, RgbMask, RgbMask, RgbMask};
    const Pixels8 vKey = {nKey, nKey, nKey, nKey, nKey, nKey, nKey, nKey};
    int i = 0;
    for (; i + 8 <= nCount; i += 8) {
        Pixels8 vSource;
        Pixels8 vTarget;
        std::memcpy(&vSource, pSource + i, sizeof vSource);
        std::memcpy(&vTarget, pTarget + i, sizeof vTarget);
        const Pixels8 vKeep = reinterpret_cast<Pixels8>(static_cast<Mask8>((vSource & vRgbMask) == vKey));
        vTarget = (vTarget & vKeep) | (vSource & ~vKeep);
        std::memcpy(pTarget + i, &vTarget, sizeof vTarget);
    }
    for (; i < nCount; ++i) {
        const uint32_t nPixel = pSource[i];
        if ((nPixel & RgbMask) != nKey)
            pTarget[i] = nPixel;
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
