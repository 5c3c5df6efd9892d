// The one place where oscstudy's findings (oscstudy/findings.hpp) become words: each question's
// short table, with "não existe" in a cell whose quantity does not exist and, under the table,
// why; and the last line that answers, chosen by the finding's classification alone. No nan or
// inf is ever written: a number that is not finite is said not to exist.
#pragma once

#include "oscstudy/findings.hpp"
#include "oscstudy/setup.hpp"

#include <string>

namespace osc {

// What the program fixes and what was given, as the title says it.
std::string title_of(const Setup &setup);

// Each answer's text: the table and the lines under it. `file` names the data file the rows
// were read from ("" for none).
std::string error_text(const Setup &setup, const ErrorFinding &f, const std::string &file);
std::string energy_text(const Setup &setup, const EnergyFinding &f, const std::string &file);
std::string period_text(const Setup &setup, const PeriodFinding &f, const std::string &file);
std::string steady_text(const Setup &setup, const SteadyFinding &f, const std::string &file);
std::string resonance_text(const Setup &setup, const ResonanceFinding &r);
std::string methods_text(const Setup &setup, const MethodsFinding &f);

} // namespace osc
