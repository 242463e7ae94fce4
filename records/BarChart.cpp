#include "records/BarChart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QValueAxis>

#include <algorithm>

namespace {

constexpr int ValueTicks = 5;

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
    m_pAxisX = new QBarCategoryAxis();
    m_pAxisY = new QValueAxis();
    m_pAxisY->setLabelFormat(QStringLiteral("%d"));
    m_pAxisY->setTickCount(ValueTicks);
    pChart->addAxis(m_pAxisX, Qt::AlignBottom);
    pChart->addAxis(m_pAxisY, Qt::AlignLeft);
    pSeries->attachAxis(m_pAxisX);
    pSeries->attachAxis(m_pAxisY);
    setChart(pChart);
    setRenderHint(QPainter::Antialiasing);
    setMinimumHeight(200);
}

void CBarChart::SetBars(const QList<QPair<QString, int>>& bars)
{
    QStringList labels;
    int nMax = 0;
    for (const auto& [strLabel, nCount] : bars) {
        labels << strLabel;
        nMax = std::max(nMax, nCount);
    }
    if (labels != m_pAxisX->categories()) {
        m_pSet->remove(0, m_pSet->count());
        m_pAxisX->clear();
        m_pAxisX->append(labels);
        for (const auto& bar : bars)
            m_pSet->append(bar.second);
    } else {
        for (qsizetype i = 0; i < bars.size(); ++i) {
            if (m_pSet->at(static_cast<int>(i)) != bars[i].second)
                m_pSet->replace(static_cast<int>(i), bars[i].second);
        }
    }
    // Whole numbers on every tick: the top is a multiple of the steps.
    const int nStep = std::max(1, (nMax + ValueTicks - 2) / (ValueTicks - 1));
    m_pAxisY->setRange(0, nStep * (ValueTicks - 1));
}

QStringList CBarChart::Labels() const
{
    return m_pAxisX->categories();
}

QList<int> CBarChart::Values() const
{
    QList<int> values;
    for (int i = 0; i < m_pSet->count(); ++i)
        values << static_cast<int>(m_pSet->at(i));
    return values;
}
