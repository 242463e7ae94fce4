// A bar chart of counts for the Records window (games per hour, games per
// level): one series of bars in one of the board's colours, whole numbers on
// the value axis, no animation, so each update is drawn at once.
#pragma once

#include <QChartView>
#include <QList>
#include <QPair>
#include <QString>

class QBarCategoryAxis;
class QBarSet;
class QValueAxis;

class CBarChart : public QChartView {
    Q_OBJECT
public:
    CBarChart(const QString& strTitle, QRgb rgbBars, QWidget* pParent = nullptr);

    // One bar per label, in order.
    void SetBars(const QList<QPair<QString, int>>& bars);
    QStringList Labels() const;
    QList<int> Values() const;

private:
    QBarSet* m_pSet = nullptr;
    QBarCategoryAxis* m_pAxisX = nullptr;
    QValueAxis* m_pAxisY = nullptr;
};
