#include "platform/DialogUnits.h"

#include <QFontMetrics>

#include <algorithm>

namespace {

// The alphabet the average character width is taken over, as the original
// dialog manager does it.
constexpr char AverageWidthSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

int RoundDiv(int nNumerator, int nDenominator)
{
    return (nNumerator * 2 + nDenominator) / (nDenominator * 2);
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int nSampleLength = int(sizeof(AverageWidthSample)) - 1;
    m_nBaseX = std::max(1, RoundDiv(metrics.horizontalAdvance(QString::fromLatin1(AverageWidthSample)),
                                     nSampleLength));
    m_nBaseY = std::max(1, metrics.height());
}

int CDialogUnits::X(int nUnits) const
{
    return RoundDiv(nUnits * m_nBaseX, 4);
}

int CDialogUnits::Y(int nUnits) const
{
    return RoundDiv(nUnits * m_nBaseY, 8);
}

QRect CDialogUnits::Rect(int nLeft, int nTop, int nWidth, int nHeight) const
{
    return QRect(X(nLeft), Y(nTop), X(nWidth), Y(nHeight));
}

QSize CDialogUnits::Size(int nWidth, int nHeight) const
{
    return QSize(X(nWidth), Y(nHeight));
}
