// A program's run as the study makes it: the program as programs/ defines it, with the study's
// values for the names it is not given, its loop and its rows, with any of the methods in place
// of its Runge-Kutta step.
#pragma once

#include "checking/judge.hpp"
#include "dataformat/rows.hpp"
#include "methods/methods.hpp"
#include "motion/motion.hpp"
#include "programs/layout.hpp"

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace osc {

enum class Program { harmosc, drivenosc, rkstepper };

// The program's name, data files and columns.
const Layout &layout_of(Program program);

// A name the program reads and its value when none is given.
struct Name {
    const char *name;
    double fallback;
};

// The names of `program`, in the order it reads them.
const std::vector<Name> &names_of(Program program);

// drivenosc's escolha for a data file of the name that drivenosc gives its file at that
// escolha (1 for Kutta_1a_w0_3.dat, 2, 3), in any folder; 0 for any other name.
int choice_of_file(const std::string &path);

// One run as its program makes it.
struct Setup {
    Program program;
    std::map<std::string, double> values; // every name of the program
    double h;
    Motion motion;
    Acceleration acceleration;
    double steps; // from t = 0 to the program's last row, as its running sum takes them
    double rows;  // the rows of its data file
    double first_t, last_t; // the times of its first and last rows (NaN: no row)
    std::vector<std::string> from_file; // the names whose values a data file gave
};

// The most steps a study computes for one run: a question on its rows, and `metodos`, which
// runs each method at h, h/2, h/4 and h/8 (15 times the steps).
inline constexpr double most_study_steps = 1e7;
inline constexpr double most_methods_steps = 1e6;

// The setup from the values given by name (the rest take their fallback), for a study of at
// most `most` steps; "" or why it would refuse them, or why the study cannot take them.
std::string make_setup(Program program, const std::map<std::string, double> &given, Setup &setup,
                       double most = most_study_steps);

// The program's pre-run checks on the run (warnings/program_checks.hpp), said by `speaker`
// (which writes no data file).
void check_run(const char *speaker, const Setup &setup);

// One run as its program makes it, row by row, never held: each time the running sum of h, in
// full precision; with `method` in place of the program's step. The rows a data file of the
// run holds, in its order, so that a file's rows can be read in step with them.
class RunRows {
public:
    RunRows(const Setup &setup, const Method &method);
    // The next row; false after the last.
    bool next(Row &row);

private:
    const Setup &setup_;
    const Method &method_;
    double t_ = 0.0, x_, v_;
    double taken_ = 0.0; // rows given so far
};

// The equation of `setup`, to check a data file against: with the start, the step and the end
// of the run where `given` names them, which the file must then hold.
Equation equation_of(const Setup &setup, const std::map<std::string, double> &given);

// drivenosc's other escolha whose rows `file` holds, tried in turn (1, 2, 3, but the one in
// `values`, judged already) on `values`, with its check: the first whose RK4 gives every row;
// else, unless `rk4_only`, the first that some entry of the catalogue gives; 0 where none does.
struct ChoiceFound {
    int choice = 0;
    FileCheck check;
};
ChoiceFound choice_of_rows(std::map<std::string, double> values,
                           const std::map<std::string, double> &given, const std::string &file,
                           bool rk4_only);

// The values of the names not `given` that the data file `file` fixes for `program`, as far
// as its rows show them, each one that makes a run of the file's rows: drivenosc's and
// rkstepper's h (from the times, to all its digits where they show a short decimal, or a
// fraction or a fraction of π that gives the rows) and N, harmosc's tf, x0 and v0 from a first
// row at t = 0, drivenosc's escolha from the file's name or else from its rows.
std::map<std::string, double> values_of_file(Program program, const std::string &file,
                                             const std::map<std::string, double> &given);

// The rows of the data file `file`, each to `take` in order with half a unit of the last digit
// of its x as written, read in step with the run's own rows: each row's t must be written as the
// run's running sum of h writes it (and is taken as that sum), its x and v as the run's to the
// digits the file writes (`writing`, of t, x and v, if given), the rows as many as the run's and none
// being written now. "" or why the file's rows are not those of the run.
std::string file_rows(const Setup &setup, const std::string &file,
                      const std::function<void(const Row &, double rounding)> &take,
                      std::array<Writing, 3> *writing = nullptr);

// The rows as the program writes its data file: "t x v", or "n t x v" (n = t/h) for drivenosc.
std::string data_text(const Setup &setup, const std::vector<Row> &rows);

// The state after `steps` steps of h from t = 0, t the running sum.
Row advance(const Setup &setup, const Method &method, double h, double steps);

} // namespace osc
