// A row of a data file as the programs write it: its numbers as a default-configured stream
// writes a double, separated by single spaces and ended by a newline.
#pragma once

#include "text/number_text.hpp"

#include <cstddef>

namespace osc {

// Room for a row of `count` numbers: each at most format_room characters, a space or the
// closing newline after each.
constexpr std::size_t row_room(std::size_t count) { return count * (format_room + 1); }

// Writes one row from `first`: the numbers as format_g6 gives them, separated by single spaces
// and ended by a newline. Returns the end of the row.
template <typename... Numbers>
char *format_row(char *first, Numbers... numbers)
{
    static_assert(sizeof...(numbers) >= 1 && sizeof...(numbers) <= 4, "rows hold 1 to 4 numbers");
    const double values[] = {numbers...};
    char *end = first;
    for (const double value : values) {
        if (end != first) *end++ = ' ';
        end = format_g6(end, value);
    }
    *end++ = '\n';
    return end;
}

} // namespace osc
