// A program's run as the study makes it: the program as programs/ defines it, with the study's
// values for the names it is not given, its loop and its rows, with any of the methods in place
// of its Runge-Kutta step.
#pragma once

#include "dataformat/rows.hpp"
#include "methods/methods.hpp"
#include "motion/motion.hpp"
#include "programs/layout.hpp"

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

// One run as its program makes it.
struct Setup {
    Program program;
    std::map<std::string, double> values; // every name of the program
    double h;
    Motion motion;
    Acceleration acceleration;
    double steps; // from t = 0 to the program's last row, as its running sum takes them
};

// The setup from the values given by name (the rest take their fallback); "" or why the program
// would refuse them.
std::string make_setup(Program program, const std::map<std::string, double> &given, Setup &setup);

// The rows of the program's data file, each time the running sum of h, in full precision; with
// `method` in place of the program's step.
std::vector<Row> rows_of(const Setup &setup, const Method &method);

// The rows as the program writes its data file: "t x v", or "n t x v" (n = t/h) for drivenosc.
std::string data_text(const Setup &setup, const std::vector<Row> &rows);

// The state after `steps` steps of h from t = 0, t the running sum.
Row advance(const Setup &setup, const Method &method, double h, double steps);

} // namespace osc
