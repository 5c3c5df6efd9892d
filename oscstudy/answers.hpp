// Each question's answer in words and in a figure: the text of oscstudy/wording.hpp, and the
// datablocks and settings of the figure that oscstudy.gp draws, from the findings of
// oscstudy/questions.hpp.
#pragma once

#include "figures/figure.hpp"
#include "oscstudy/questions.hpp"

#include <string>
#include <vector>

namespace osc {

struct Answer {
    std::string text;  // the table and its last line
    std::string title; // the constants, for the figure
    const char *question = ""; // the figure's layout in oscstudy.gp
    std::vector<Datablock> blocks; // numbers only
    std::vector<Setting> settings; // what the layout needs to know of them
};

// Each returns "" having made the answer, or why the data file is not the run's rows.
std::string answer_error(const Source &source, Answer &answer);
std::string answer_energy(const Source &source, Answer &answer);
std::string answer_period(const Source &source, Answer &answer);
// The curve over [low, high] (NaN: 0 to 3·w0).
Answer answer_resonance(const Setup &setup, double low, double high);
Answer answer_methods(const Setup &setup);

} // namespace osc
