#include "oscplot/envelope.hpp"

#include <algorithm>
#include <cmath>

namespace osc {

namespace {

Oscillations swings(const std::vector<Row> &rows, double Row::*quantity)
{
    const auto [low, high] =
        std::minmax_element(rows.begin(), rows.end(),
                            [&](const Row &a, const Row &b) { return a.*quantity < b.*quantity; });
    const double middle = (*low).*quantity / 2 + (*high).*quantity / 2;
    const double band = ((*high).*quantity / 8 - (*low).*quantity / 8);
    std::size_t count = 0;
    double first = 0.0;
    double last = 0.0; // the times of the first and the last swing
    int side = 0; // -1 below the middle quarter, 1 above it
    for (const Row &row : rows) {
        const double value = row.*quantity;
        const int here = value < middle - band ? -1 : value > middle + band ? 1 : 0;
        if (here == 0) continue;
        if (side != 0 && here != side) {
            if (++count == 1) first = row.t;
            last = row.t;
        }
        side = here;
    }
    const double each = count > 1 ? (last - first) / static_cast<double>(count - 1) : 0.0;
    return {count, count > 1 && rows.back().t - last > 2 * each};
}

} // namespace

Oscillations oscillations(const std::vector<Row> &rows)
{
    if (rows.empty()) return {};
    const Oscillations x = swings(rows, &Row::x);
    const Oscillations v = swings(rows, &Row::v);
    const Oscillations &most = x.count >= v.count ? x : v;
    return {most.count / 2, most.more};
}

std::vector<std::vector<Row>> envelope(const std::vector<Row> &rows, std::size_t columns)
{
    std::vector<std::vector<Row>> edges(2);
    if (rows.empty() || columns == 0) return edges;
    const double t0 = rows.front().t;
    const double t1 = rows.back().t;
    const double width = (t1 - t0) / static_cast<double>(columns);
    const auto span_of = [&](double t) {
        if (!(width > 0)) return std::size_t{0};
        return std::min(columns - 1,
                        static_cast<std::size_t>(std::max(0.0, std::floor((t - t0) / width))));
    };
    std::vector<Row> &low = edges[0];
    std::vector<Row> &high = edges[1];
    std::size_t current = span_of(t0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row &row = rows[i];
        const std::size_t span = span_of(row.t);
        if (i == 0 || span != current) {
            const double middle = t0 + (static_cast<double>(span) + 0.5) * width;
            low.push_back({middle, row.x, row.v});
            high.push_back({middle, row.x, row.v});
            current = span;
            continue;
        }
        low.back().x = std::min(low.back().x, row.x);
        low.back().v = std::min(low.back().v, row.v);
        high.back().x = std::max(high.back().x, row.x);
        high.back().v = std::max(high.back().v, row.v);
    }
    for (std::vector<Row> *edge : {&low, &high}) {
        edge->front().t = t0;
        edge->back().t = t1;
    }
    return edges;
}

} // namespace osc
