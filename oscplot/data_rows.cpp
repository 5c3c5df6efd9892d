#include "oscplot/data_rows.hpp"

#include <future>
#include <system_error>

namespace osc {

std::string finite_rows_in_halves(const DataSource &source, std::vector<Row> &rows)
{
    const off_t cut = source.halfway();
    if (cut < 0) return source.finite_rows(rows);
    RowsPart first;
    RowsPart second;
    const auto read_second = [&] { source.read(cut, -1, second); };
    // std::async hands on what the other half threw (memory that ran out) to get().
    std::future<void> other;
    try {
        other = std::async(std::launch::async, read_second);
    } catch (const std::system_error &) {
        read_second(); // no thread to be had: this one reads both halves
    }
    // The first half's rows take the second's in place: room for the whole file.
    source.read(source.start(), cut, first, source.size() - source.start());
    if (other.valid()) other.get();
    return said(joined(first, second, rows));
}

} // namespace osc
