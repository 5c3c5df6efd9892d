// Where a program's rows go: the files it writes, in the order it opens them, what their columns
// hold, and the file it reads "x0 v0 N h" from, if any.
#pragma once

#include <array>

namespace osc {

// What each row holds: time, position and velocity, after drivenosc's step index n = t/h.
enum class Columns { t_x_v, n_t_x_v };

constexpr int column_count(Columns columns) { return columns == Columns::t_x_v ? 3 : 4; }
constexpr const char *column_names(Columns columns)
{
    return columns == Columns::t_x_v ? "t x v" : "n t x v";
}

// The columns of rows of `count` numbers into `columns`; false when no program writes such rows.
constexpr bool columns_of_count(int count, Columns &columns)
{
    for (const Columns each : {Columns::t_x_v, Columns::n_t_x_v})
        if (count == column_count(each)) {
            columns = each;
            return true;
        }
    return false;
}

// A program's data files, in the order it opens them, their columns, and its parameter file.
struct Layout {
    const char *program;
    std::array<const char *, 3> files; // nullptr after the last
    Columns columns;
    const char *parameters = nullptr;
};

} // namespace osc
