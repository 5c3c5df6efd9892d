#include "oscplot/data_rows.hpp"

#include "oscplot/side_by_side.hpp"

namespace osc {

std::string finite_rows_in_halves(const DataSource &source, std::vector<Row> &rows)
{
    const off_t cut = source.halfway();
    if (cut < 0) return source.finite_rows(rows);
    RowsPart first;
    RowsPart second;
    // The first half's rows take the second's in place: room for the whole file. What either
    // half threw (memory that ran out) comes out here.
    side_by_side([&] { source.read(cut, -1, second); },
                 [&] { source.read(source.start(), cut, first, source.size() - source.start()); });
    return said(joined(first, second, rows));
}

} // namespace osc
