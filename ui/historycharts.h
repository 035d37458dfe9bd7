#pragma once
// The numbers behind the statistics window's charts: how thousands of games
// fit in the pixels a chart has, and ticks that land on round values.

#include <QList>
#include <QPointF>
#include <span>
#include <vector>

namespace typetoki {

// The points of one column of pixels.
struct ChartColumn {
    QPointF low, high;  // the lowest and highest point, at their own x
    double centre = 0;  // the column's middle x
    double mean = 0;
    int count = 0;
};

// Splits [x0, x1] into columns of equal width and sums up the points (in
// order of x) in each; empty columns are left out.
std::vector<ChartColumn> SummariseColumns(std::span<const QPointF> points, double x0, double x1, int columns);

// What a line draws of the columns: each column's lowest and highest point
// in the order they came, so no peak or dip is lost; or each column's mean.
QList<QPointF> ColumnExtremes(const std::vector<ChartColumn> &columns);
QList<QPointF> ColumnMeans(const std::vector<ChartColumn> &columns);

// An axis from min to max in equal steps, each label exact with decimals.
struct Ticks {
    double min = 0;
    double max = 1;
    double step = 1;
    int decimals = 0;
    int intervals() const;
};

// The smallest step of 1, 2, 2.5 or 5 times a power of ten that covers span
// in that many intervals.
double NiceStep(double span, int intervals);
int DecimalsOf(double step);

// Speed from 0 up to top and accuracy from low up to 100 percent, with the
// same number of intervals so that both share the grid lines; the count
// that wastes the least of either axis.
std::pair<Ticks, Ticks> SharedTicks(double speedTop, double accuracyLow);

// From 0 up to top in about five steps.
Ticks TicksFromZero(double top);

}  // namespace typetoki
