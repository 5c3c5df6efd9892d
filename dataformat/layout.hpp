// The data files of harmosc, drivenosc and rkstepper: which files each program writes, what
// their columns hold, and how many bytes a row takes. Every program and tool asks here.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "dataformat/row_text.hpp"

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

// A program's data files, in the order it opens them, their columns, and the file it reads
// "x0 v0 N h" from, if any.
struct Layout {
    const char *program;
    std::array<const char *, 3> files; // nullptr after the last
    Columns columns;
    const char *parameters = nullptr;
};

inline constexpr Layout harmosc_layout{"harmosc", {"Oscilador_Kutta.dat"}, Columns::t_x_v};
// One file per driving frequency: w0/3, w0 and 3·w0, the menu's choices 1, 2 and 3.
inline constexpr Layout drivenosc_layout{
    "drivenosc", {"Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat", "Kutta_1a_3w0.dat"}, Columns::n_t_x_v,
    "input_1a.txt"};
inline constexpr Layout rkstepper_layout{"rkstepper", {"RK_generico_1b.txt"}, Columns::t_x_v,
                                         "parametros_sistema.txt"};

// Every program's layout, once.
inline constexpr const Layout *layouts[] = {&harmosc_layout, &drivenosc_layout, &rkstepper_layout};

// The layout of the program that writes a data file of the name `path` ends in; nullptr when
// no program writes a file of that name.
const Layout *layout_of_file(std::string_view path);

// A row at its longest: each growing column (time, and drivenosc's step index, which grow
// steadily up to the bounds `growing`) in the decade of its bound with a sign, position and
// velocity as long as six significant digits get (-1.23457e-05). Each column is followed by a
// space or the newline.
double row_bytes_upper(std::initializer_list<double> growing);

// A row as most rows of a long run are: each growing column with six significant digits in
// the decade of its bound (a run of more rows than a million needs all six), and no sign;
// position and velocity as six digits with a point and a sign or a leading zero (-1.23457,
// 0.841471).
double row_bytes_typical(std::initializer_list<double> growing);

// The longest line a data file may have. Ours are at most row_room(4) bytes; a hand-written
// row of four numbers to all 17 digits (24 characters each: -1.2345678901234567e-308) with
// its columns aligned by wide runs of blanks stays well under 64 times that. A longer line
// (a disk image, a binary file with no line end) is no row, and is judged so as soon as it is
// that long, without reading the rest of it.
inline constexpr std::size_t longest_line = 64 * row_room(4);

} // namespace osc
