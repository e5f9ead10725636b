#pragma once

#include <QColor>
#include <QPointF>
#include <QString>

#include <vector>

namespace t7::dbf {
class Table;
}

namespace t7::chart {

struct ChartPoint
{
    QPointF at;
    QColor color;
};

// What the chart window shows for the rows of one series number: the points of its two
// line series (sorted by X), the titles, and the axes.
struct ChartData
{
    QString title;
    std::vector<ChartPoint> left;  // Series1: bottom and left axes
    std::vector<ChartPoint> right; // Series2: bottom and right axes
    QString leftTitle, rightTitle, bottomTitle;
    bool rightAxisLine = false;
    double leftMax = 1, rightMax = 1, bottomMax = 1; // every axis starts at 0
    double leftStep = 0, bottomStep = 0;             // 0: the chart chooses
    qint64 rows = 0;
};

// Reads the rows whose N is `series` through the table's filter, in the current order.
// Afterwards, also when a value does not read as a number (t7::Error), the filter is off and
// the table on its first row.
ChartData buildChart(dbf::Table& table, const QString& series);

// (largest − smallest) / rows, to the nearest whole number, halves to the even one.
double axisStep(double smallest, double largest, qint64 rows);

} // namespace t7::chart
