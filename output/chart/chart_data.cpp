#include "output/chart/chart_data.h"

#include "data/dbf/table.h"
#include "data/number_text.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>

namespace t7::chart {

namespace {

void sortByX(std::vector<ChartPoint>& points)
{
    std::stable_sort(points.begin(), points.end(),
                     [](const ChartPoint& a, const ChartPoint& b) { return a.at.x() < b.at.x(); });
}

} // namespace

double axisStep(double smallest, double largest, qint64 rows)
{
    if (rows <= 0)
        return 0;
    // The default rounding mode takes halves to the even neighbour.
    return std::nearbyint((largest - smallest) / double(rows));
}

ChartData buildChart(dbf::Table& table, const QString& series)
{
    ChartData chart;
    if (!series.isEmpty()) {
        table.setFilter(QStringLiteral("N=") + series);
        table.setFiltered(true);
        table.refresh();
        table.first();
    }
    // The filter goes off and the table to its first row, however the build ends.
    const auto restore = qScopeGuard([&table] {
        table.setFiltered(false);
        table.refresh();
        table.first();
    });
    chart.rows = table.visibleCount();
    const NumberReader reader;
    const auto number = [&](const QString& field) { return reader.read(table.text(field)); };
    const auto either = [&](const QString& field, const QString& instead) {
        return table.text(field).isEmpty() ? number(instead) : number(field);
    };
    const QString t1 = QStringLiteral("T_1"), p1 = QStringLiteral("P_1");
    const QString t2 = QStringLiteral("T_2"), p2 = QStringLiteral("P_2");
    for (qint64 row = 0; row < chart.rows; ++row, table.next()) {
        if (!table.text(QStringLiteral("F")).isEmpty()) {
            const double left = either(t1, p1);
            const double x = number(QStringLiteral("F"));
            const double right = either(t2, p2);
            chart.left.push_back({QPointF(x, left), Qt::red});
            chart.right.push_back({QPointF(x, right), Qt::green});
            chart.leftTitle = QStringLiteral("P,кН.");
            chart.rightTitle = QStringLiteral("f,мм.");
            chart.bottomTitle = QStringLiteral("t,сек.");
            chart.rightAxisLine = true;
        } else {
            const double y = either(t1, p1);
            const double x = either(t2, p2);
            chart.left.push_back({QPointF(x, y), Qt::green});
            chart.leftTitle = QStringLiteral("P,кН.");
            chart.rightTitle.clear();
            chart.bottomTitle = QStringLiteral("f,мм.");
            chart.rightAxisLine = false;
        }
    }
    chart.title = QStringLiteral("Серия №") + series;
    sortByX(chart.left);
    sortByX(chart.right);

    // An empty series counts 0 as its largest and smallest value.
    const auto extent = [](const std::vector<ChartPoint>& points, auto value) {
        if (points.empty())
            return std::pair{0.0, 0.0};
        double low = value(points.front()), high = low;
        for (const ChartPoint& point : points) {
            low = std::min(low, value(point));
            high = std::max(high, value(point));
        }
        return std::pair{low, high};
    };
    const auto y = [](const ChartPoint& p) { return p.at.y(); };
    const auto x = [](const ChartPoint& p) { return p.at.x(); };
    const auto [leftLow, leftHigh] = extent(chart.left, y);
    const auto [bottomLow, bottomHigh] = extent(chart.left, x);
    chart.leftMax = leftHigh + 1;
    chart.rightMax = extent(chart.right, y).second + 1;
    chart.bottomMax = bottomHigh + 1;
    chart.leftStep = axisStep(leftLow, leftHigh, chart.rows);
    chart.bottomStep = axisStep(bottomLow, bottomHigh, chart.rows);
    return chart;
}

} // namespace t7::chart
