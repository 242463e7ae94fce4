// A bar chart of counts for the Records window (games per hour, per level),
// in one of the board's colours; no animation, so each update shows at once.
#pragma once

#include <QChartView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class QBarSet;
class QCategoryAxis;
class QValueAxis;

class CBarChart : public QChartView {
    Q_OBJECT
public:
    // More bars than this share their labels: every second, third ... one
    // is named, so that each name shown is whole.
    static constexpr int MaxLabels = 12;

    CBarChart(const QString& strTitle, QRgb rgbBars, QWidget* pParent = nullptr);

    // The chart's title (and its bars' name), in the language of the menus.
    void SetTitle(const QString& strTitle);
    // One bar per label, in order.
    void SetBars(const QList<QPair<QString, int>>& bars);
    const QStringList& Labels() const { return m_labels; }
    QList<int> Values() const;

private:
    QBarSet* m_pSet = nullptr;
    QCategoryAxis* m_pAxisX = nullptr;
    QValueAxis* m_pAxisY = nullptr;
    QStringList m_labels;
};
