// Each question's answer in words and in a figure: a short table with the exact beside the
// computed, a last line that answers, and the datablocks of the figure, from the numbers of
// study.hpp.
#pragma once

#include "figures/figure.hpp"
#include "oscstudy/setup.hpp"

#include <string>
#include <vector>

namespace osc {

struct Answer {
    std::string text;   // the table and its last line
    std::string title;  // the constants, for the figure
    const char *question = ""; // the figure's layout in oscstudy.gp
    std::vector<Datablock> blocks; // numbers only
};

// Where the rows come from: computed in full precision, or read from a data file with six
// significant digits.
struct Source {
    std::vector<Row> rows;
    std::string file; // empty when computed
};

// What the program fixes and what was given, as the title says it.
std::string title_of(const Setup &setup);

Answer answer_error(const Setup &setup, const Source &source);
Answer answer_energy(const Setup &setup, const Source &source);
Answer answer_period(const Setup &setup, const Source &source);
// The curve over [low, high] (NaN: 0 to 3·w0).
Answer answer_resonance(const Setup &setup, double low, double high);
Answer answer_methods(const Setup &setup);

} // namespace osc
