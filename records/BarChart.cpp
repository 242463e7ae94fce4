#include "records/BarChart.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QValueAxis>

#include <algorithm>

namespace {

constexpr int MaxSteps = 5;
constexpr int AxisLabelPixels = 10;

} // namespace

CBarChart::CBarChart(const QString& strTitle, QRgb rgbBars, QWidget* pParent)
    : QChartView(pParent)
{
    auto* pChart = new QChart();
    pChart->setTitle(strTitle);
    pChart->legend()->hide();
    pChart->setAnimationOptions(QChart::NoAnimation);
    pChart->setMargins(QMargins(4, 4, 4, 4));
    m_pSet = new QBarSet(strTitle);
    m_pSet->setColor(QColor(rgbBars));
    m_pSet->setBorderColor(QColor(rgbBars).darker(130));
    auto* pSeries = new QBarSeries();
    pSeries->append(m_pSet);
    pSeries->setBarWidth(0.8);
    pChart->addSeries(pSeries);
    // Bars stand at 0, 1, 2 ... on a value axis, whose labels can be set at
    // chosen bars; a category axis would shorten every label to "..." once
    // twenty-four of them share the width.
    m_pAxisX = new QCategoryAxis();
    m_pAxisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_pAxisX->setGridLineVisible(false);
    m_pAxisY = new QValueAxis();
    m_pAxisY->setLabelFormat(QStringLiteral("%d"));
    QFont fontLabels = m_pAxisX->labelsFont();
    fontLabels.setPixelSize(AxisLabelPixels);
    m_pAxisX->setLabelsFont(fontLabels);
    m_pAxisY->setLabelsFont(fontLabels);
    pChart->addAxis(m_pAxisX, Qt::AlignBottom);
    pChart->addAxis(m_pAxisY, Qt::AlignLeft);
    pSeries->attachAxis(m_pAxisX);
    pSeries->attachAxis(m_pAxisY);
    setChart(pChart);
    // Screen readers cannot see the bars; the title at least says what they count.
    setAccessibleName(strTitle);
    setRenderHint(QPainter::Antialiasing);
    setMinimumHeight(170);
}

void CBarChart::SetTitle(const QString& strTitle)
{
    chart()->setTitle(strTitle);
    m_pSet->setLabel(strTitle);
    setAccessibleName(strTitle);
}

void CBarChart::SetBars(const QList<QPair<QString, int>>& bars)
{
    QStringList labels;
    int nMax = 0;
    for (const auto& [strLabel, nCount] : bars) {
        labels << strLabel;
        nMax = std::max(nMax, nCount);
    }
    if (labels != m_labels) {
        m_labels = labels;
        m_pSet->remove(0, m_pSet->count());
        for (const auto& bar : bars)
            m_pSet->append(bar.second);
        for (const QString& strLabel : m_pAxisX->categoriesLabels())
            m_pAxisX->remove(strLabel);
        const int nStep = std::max<int>(1, static_cast<int>((labels.size() + MaxLabels - 1) / MaxLabels));
        m_pAxisX->setStartValue(-0.5);
        for (int i = 0; i < labels.size(); i += nStep)
            m_pAxisX->append(labels[i], i);
        m_pAxisX->setRange(-0.5, std::max<double>(0.5, labels.size() - 0.5));
    } else {
        for (qsizetype i = 0; i < bars.size(); ++i) {
            if (m_pSet->at(static_cast<int>(i)) != bars[i].second)
                m_pSet->replace(static_cast<int>(i), bars[i].second);
        }
    }
    // Round numbers on every tick (steps of 1, 2 or 5 times a power of
    // ten), at most MaxSteps of them up to the first tick above the top bar.
    int nStep = 1;
    for (int nPower = 1; nStep * MaxSteps < nMax; nPower *= 10) {
        for (int nFactor : {1, 2, 5}) {
            nStep = nFactor * nPower;
            if (nStep * MaxSteps >= nMax)
                break;
        }
    }
    const int nSteps = std::max(1, (nMax + nStep - 1) / nStep);
    m_pAxisY->setTickCount(nSteps + 1);
    m_pAxisY->setRange(0, nSteps * nStep);
}

QList<int> CBarChart::Values() const
{
    QList<int> values;
    for (int i = 0; i < m_pSet->count(); ++i)
        values << static_cast<int>(m_pSet->at(i));
    return values;
}
