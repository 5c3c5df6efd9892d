// The rules that answer each question as a finding (oscstudy/findings.hpp): the run's rows read
// one at a time and never held, against the exact motion, and the classification taken from
// what the step does to each mode (R(z) against e^z), which the rows then show.
#pragma once

#include "oscstudy/findings.hpp"
#include "oscstudy/setup.hpp"

#include <string>

namespace osc {

// Where a question's rows come from: the run, computed, or a data file of it (`file`).
struct Source {
    const Setup &setup;
    std::string file;
};

// Each returns "" having filled the finding, or why the data file is not the run's rows.
std::string find_error(const Source &source, ErrorFinding &found);
std::string find_energy(const Source &source, EnergyFinding &found);
// Free motion: its period and peaks.
std::string find_period(const Source &source, PeriodFinding &found);
// Driven motion: the steady oscillation.
std::string find_steady(const Source &source, SteadyFinding &found);

// The range of wf a resonance curve is drawn over: [low, high] as given, NaN for the
// defaults, 0 and 3·w0 (3 where w0 = 0).
struct Range {
    double low, high;
};
Range resonance_range(const Setup &setup, double low, double high);

// The curve over resonance_range(setup, low, high), and the program's driving frequencies
// measured on its own runs.
ResonanceFinding find_resonance(const Setup &setup, double low, double high);

// The methods side by side on the run.
MethodsFinding find_methods(const Setup &setup);

} // namespace osc
