#include "ui/historycharts.h"

#include <algorithm>
#include <cmath>

namespace typetoki {

std::vector<ChartColumn> SummariseColumns(std::span<const QPointF> points, double x0, double x1, int columns)
{
    std::vector<ChartColumn> out;
    columns = std::max(columns, 1);
    const double width = x1 > x0 ? (x1 - x0) / columns : 1;
    int current = -1;
    double sum = 0;
    for (const QPointF &p : points) {
        const int column = std::clamp(int(std::floor((p.x() - x0) / width)), 0, columns - 1);
        if (column != current || out.empty()) {
            if (!out.empty())
                out.back().mean = sum / out.back().count;
            current = column;
            sum = 0;
            out.push_back({p, p, x0 + (column + 0.5) * width, 0, 0});
        }
        ChartColumn &c = out.back();
        if (p.y() < c.low.y())
            c.low = p;
        if (p.y() > c.high.y())
            c.high = p;
        sum += p.y();
        ++c.count;
    }
    if (!out.empty())
        out.back().mean = sum / out.back().count;
    return out;
}

QList<QPointF> ColumnExtremes(const std::vector<ChartColumn> &columns)
{
    QList<QPointF> points;
    points.reserve(qsizetype(columns.size() * 2));
    for (const ChartColumn &c : columns) {
        const bool lowFirst = c.low.x() <= c.high.x();
        points.append(lowFirst ? c.low : c.high);
        if (c.count > 1)
            points.append(lowFirst ? c.high : c.low);
    }
    return points;
}

QList<QPointF> ColumnMeans(const std::vector<ChartColumn> &columns)
{
    QList<QPointF> points;
    points.reserve(qsizetype(columns.size()));
    for (const ChartColumn &c : columns)
        points.append(c.count == 1 ? c.low : QPointF(c.centre, c.mean));
    return points;
}

int Ticks::intervals() const
{
    return int(std::lround((max - min) / step));
}

double NiceStep(double span, int intervals)
{
    const double raw = std::max(span, 1e-9) / std::max(intervals, 1);
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (;;) {
        for (double m : {1.0, 2.0, 2.5, 5.0}) {
            // A hair of slack: 0.3 / 3 must give 0.1, not 0.2.
            if (m * power >= raw * (1 - 1e-9))
                return m * power;
        }
        power *= 10;
    }
}

int DecimalsOf(double step)
{
    for (int decimals = 0; decimals < 6; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::abs(scaled - std::round(scaled)) < 1e-6)
            return decimals;
    }
    return 6;
}

std::pair<Ticks, Ticks> SharedTicks(double speedTop, double accuracyLow)
{
    speedTop = std::max(speedTop, 0.1);
    // Some room under the lowest accuracy, and never below 0 %.
    const double accuracySpan = std::clamp(100 - accuracyLow, 1.0, 100.0);
    std::pair<Ticks, Ticks> best;
    double leastWaste = 1e9;
    for (int n = 4; n <= 8; ++n) {
        const double s = NiceStep(speedTop, n);
        const double a = NiceStep(accuracySpan, n);
        if (100 - a * n < -1e-9)
            continue;  // four intervals always fit
        const double waste = (s * n - speedTop) / (s * n) + (a * n - accuracySpan) / (a * n);
        if (waste < leastWaste - 1e-9) {
            leastWaste = waste;
            best = {{0, s * n, s, DecimalsOf(s)}, {100 - a * n, 100, a, DecimalsOf(a)}};
        }
    }
    return best;
}

Ticks TicksFromZero(double top)
{
    const double step = NiceStep(std::max(top, 1.0), 5);
    const int n = int(std::ceil(std::max(top, 1.0) / step - 1e-9));
    return {0, step * n, step, DecimalsOf(step)};
}

}  // namespace typetoki
