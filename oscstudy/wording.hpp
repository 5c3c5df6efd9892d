// The one place where oscstudy's findings (oscstudy/findings.hpp) become words: each question's
// short table, with "não existe" in a cell whose quantity does not exist and, under the table,
// why; and the last line that answers, chosen by the finding's classification alone. No nan or
// inf is ever written: a number that is not finite is said not to exist.
#pragma once

#include "oscstudy/findings.hpp"
#include "oscstudy/setup.hpp"

#include <map>
#include <string>
#include <string_view>
#include <vector>

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

// A line of the words a figure shows, under its name in the gnuplot program.
struct Caption {
    const char *name;
    std::string line;
};

// The words of each answer's figure: the keys of its marks, with their numbers, the titles of
// its panels, and "note", said under the first panel's title: where the answer says the step
// is unstable, the same words ("" elsewhere).
std::vector<Caption> error_captions(const ErrorFinding &f);
std::vector<Caption> energy_captions(const EnergyFinding &f);
std::vector<Caption> period_captions(const PeriodFinding &f);
std::vector<Caption> steady_captions(const SteadyFinding &f);
std::vector<Caption> resonance_captions(const ResonanceFinding &r);
// métodos: "names", each method's key, a line each in the table's order, "(instável)" after
// those whose step is unstable, which the note names.
std::vector<Caption> methods_captions(const MethodsFinding &f);

// Why a data file that one of our runs is writing is not read yet.
std::string being_written_text();

// Why a data file's rows are not those of the run (wording_check.cpp): the fault, and what
// the rows are instead, as far as the catalogue tells.
std::string file_fault_text(const Setup &setup, const FileFault &f);

// verificar (wording_check.cpp): the constants the files were judged against, one line per
// file or run, the orders of the ladders of steps and a summary.
std::string verify_text(Program program, const std::map<std::string, double> &given,
                        const VerifyFinding &f);
// The same as a table for a spreadsheet (CSV), one row per file or run: name, verdict, the
// methods matched, the step, the largest |x - x exato|, and the order where measured and
// whether it is settled ("sim", "não").
std::string verify_csv(const VerifyFinding &f);
// The first line of that table, and how a file that holds one, of this or an earlier head,
// begins.
extern const char verify_csv_head[];
extern const std::string_view verify_csv_signature;

} // namespace osc
