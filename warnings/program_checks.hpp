// Each program's checks before its first step, from the values it read: the plan of its run,
// what it says of its own constants, in check_before_run's order. The program calls them
// before it runs, with the room its data file's disk has (disk/space.hpp); oscstudy calls them
// for the run it studies, which it computes without writing a data file, and so without one.
#pragma once

#include "motion/motion.hpp"

#include <optional>
#include <string>

namespace osc {

// Who says the warnings, and the bytes the disk of the run's data file has for its rows; none
// where the run writes no file.
struct Speaker {
    const char *name;
    std::optional<double> room;
};

// harmosc with constants k, m, b (the motion made from them, β = 0 for simple harmonic
// motion) and final time tf, at its fixed step.
bool harmosc_checks(Speaker speaker, const Motion &motion, double k, double m, double b,
                    double tf);

// drivenosc at menu choice `selection` (1, 2 or 3) from input_1a.txt's N and h.
bool drivenosc_checks(Speaker speaker, int selection, const Motion &motion, double N, double h);

// rkstepper from parametros_sistema.txt's N and h.
bool rkstepper_checks(Speaker speaker, const Motion &motion, int N, double h);

// What follows the refusal of rkstepper's N, given as the text `N` beside h's, where the two
// may have come swapped; "" where they may not. N and h read `in_order`, or given by name.
std::string rkstepper_swap_hint(const std::string &N, const std::string &h, bool in_order);

// The step forms w0·w0 and β + β, which may pass the largest double where w0 and β do not:
// only where both are finite can the modes of the equation be judged.
bool judgeable(double w0, double beta);

} // namespace osc
