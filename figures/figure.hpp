// Figures drawn by gnuplot: one of the project's gnuplot programs (built into the tool with
// osc_embed_gp) runs on datablocks given on its standard input, and gives back a PNG image, a
// drawing in text for the terminal, or the points of every plot as a table; a PNG then takes
// the place of its target only when whole. Names and numbers reach gnuplot only as data.
#pragma once

#include "disk/replace.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace osc {

// A datablock: its name in the program ("$points") and its lines, each ending in a newline.
struct Datablock {
    std::string name;
    std::string lines;
};

// A variable set before the program runs, "name = value": a whole number, a double written
// whole, or a fixed word of the tool's own (never text from a user or a file).
struct Setting {
    Setting(const char *name, int value);
    Setting(const char *name, double value);
    Setting(const char *name, const char *word);
    std::string line;
};

// The least size of the values on a linear axis that gnuplot's PNG terminal draws: below about
// 1e-303 it leaves the panel empty.
inline constexpr double least_drawn = 1e-300;

// What gnuplot is to give back: a PNG image (pngcairo), a text drawing (dumb) or tables.
enum class Kind { png, text, table };

// What a drawing gave: the bytes, or why there are none.
struct Figure {
    std::string bytes; // the image, the drawing (ending in a newline) or the tables
    std::string why;   // "" when drawn; else one clause, "o gnuplot falhou: ..."
};

// gnuplot's whole standard input: the settings, the datablocks, what measures a panel drawn
// (figures/measure.gp), then the program.
std::string gnuplot_input(const std::vector<Setting> &settings, const std::vector<Datablock> &blocks,
                          const char *program);

// Runs `gnuplot` (gnuplot_on_path) on `program` with `settings` and `blocks`, for `kind`.
Figure draw(const std::string &gnuplot, const char *program, const std::vector<Setting> &settings,
            const std::vector<Datablock> &blocks, Kind kind);

// "não é possível escrever TARGET: why", the one sentence for a file a tool cannot write.
std::string cannot_write(const std::string &target, const std::string &why);

// Whether a figure may take the place of `target` (nothing is there, or a PNG image: disk's
// why_not_replaceable); when not, says "caller: não é possível escrever TARGET: why" first.
bool figure_replaceable(const char *caller, const std::string &target);

// The same for the tables of a run (why_table_not_replaceable).
bool tables_replaceable(const char *caller, const std::string &file);

// Writes `png` through `beside` (opened on `target`) and renames it over the target; false
// having said "caller: não é possível escrever TARGET: reason" when it cannot.
bool place(const char *caller, Replacement &beside, const std::string &target, const std::string &png);

// Writes the tables of a run to `file`: a regular file is replaced whole or not at all;
// anything else (/dev/stdout, a pipe) is written into, never renamed over. False having said
// "caller: não é possível escrever FILE: reason" when it cannot.
bool write_tables(const char *caller, const std::string &file, const std::string &tables);

// Why the tables of a run (gnuplot's "set table") may not take the place of `file`, or "":
// the name is free, holds tables, or is no regular file (/dev/stdout, a pipe), which is
// written into.
std::string why_table_not_replaceable(const char *file);

// The same for a table of another `kind`, known by its first bytes, `signature`.
std::string why_table_not_replaceable(const char *file, std::string_view signature,
                                      const char *kind);

// Whether such a table may take the place of `file`; when not, says why first.
bool table_replaceable(const char *caller, const std::string &file, std::string_view signature,
                       const char *kind);

// Opens `beside` on `target`, before the drawing, so that a directory that takes no file is
// known first; false having said why, as place() does.
bool open_beside(const char *caller, Replacement &beside, const std::string &target);

} // namespace osc
