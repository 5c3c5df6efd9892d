// A student's data file judged against the equation it solves: its shape as students write
// files, whether one of our runs is writing it now, the step and start its times show, then its
// rows against every entry of the catalogue, the exact motion and, for free motion, the one-step
// map they follow; and, over files of one student at h, h/2, h/4, ..., the observed order.
// Numbers and a classification only: the sentences are the tool's.
#pragma once

#include "checking/identify.hpp"
#include "dataformat/student_rows.hpp"
#include "order/verdict.hpp"

#include <cmath>
#include <string>
#include <vector>

namespace osc {

// The equation the rows solve, with the arithmetic of the program they stand for, and the
// motion it makes: w0, β, f, wf, and x0 and v0 (held against a first row at t = 0 where
// `start_given`, else taken from it); and the step and the end of the run where they were
// given, which the file must hold.
struct Equation {
    Acceleration acceleration;
    Motion motion;
    bool start_given;
    double h = NAN;       // the step given
    double end = NAN;     // the final time given (harmosc's tf)
    double steps = NAN;   // the steps given (N): the final time is N·h
    bool counted = false; // the program takes N steps by count (rkstepper), not its running sum
                          // of h while t <= N·h (drivenosc)
};

// The decimal of fewest significant digits (up to 17) within [low, high], 0 where it is
// within, with that count in `digits` if given; NaN where none is.
double shortest_decimal(double low, double high, int *digits = nullptr);

// What the times of the rows say, once the shape is sound.
enum class TimeFault {
    none,
    not_finite, // a time of the first, second or last row is nan or inf
    start,      // the first row is neither at t = 0 nor one step on
    step,       // no constant step h gives the times of the rows as its running sum
    coarse,     // the times give the step only to an interval too wide to judge the rows by,
                // and no fraction of it, or of π, gives the rows
};

// The steps whose running sum, from the first row, writes every time as the file does: from
// `low` to `high`, the rows read again through `reader`. `h` is the shortest decimal among them, and is the
// step itself where it needs no more digits than the times show (0.1, 0.05; `spread` 0); else
// the step lies within `spread` of it (2π/100, 1/3 written to six digits).
struct StepFound {
    TimeFault fault = TimeFault::none;
    double h = NAN, spread = 0;
    double low = NAN, high = NAN;
    bool from_start = true; // the first row is the state at t = 0
};
StepFound step_of(const StudentShape &shape, const StudentFile &reader);

enum class Judgement {
    unreadable,      // the shape's fault
    being_written,   // one of our runs holds it locked
    times,           // the time fault
    rk4,             // the programs' RK4, every row to its digits (maybe others as well)
    cut,             // RK4's rows up to the last line, which is cut short, or up to a row
                     // before the last that the program writes to the final time given
    other_entries,   // one or more entries of the catalogue, not RK4
    other_constants, // RK4's rows for another step, start or end than given; or, for free
                     // motion, for the w0 and β that its fitted map gives
    none,            // no entry, and no other constants to tell
};

// How the file's end stands against the final time given.
enum class End { fits, early, late };

struct FileCheck {
    std::string file;
    StudentShape shape;
    StepFound step;
    double h = NAN;         // the step its rows are judged at: the one given, where the times
                            // allow it, else the file's, found exact where it can be
    double spread = 0;      // how far the true step may lie from h (0: h is exact)
    double x0 = NAN, v0 = NAN;
    bool start_from_file = false;      // x0 and v0 from the first row
    std::vector<Departure> departures; // each entry's, in the catalogue's order
    ExactError error;
    bool free_motion = false;
    Constants implied; // free motion: the fitted map's, as RK4's

    // The constants given that the file does not hold.
    bool other_step = false;  // the times do not allow the h given
    bool other_start = false; // the first row is at t = 0 and not x0, v0 given
    double end = NAN;         // the final time given, or N·h
    End end_fit = End::fits;
    // End::early: the steps the program takes past the file's last row, and the time of its
    // last row; at least these steps, and NaN, where the step is known only within its spread
    // or the steps are too many to count.
    double short_by = 0;
    double last_due = NAN;
    // Free motion: k/m and b/m, short decimals near the fitted map's, with which RK4 gives
    // every row (NaN where none does).
    double fitted_k = NAN, fitted_b = NAN;

    Judgement judgement = Judgement::unreadable;

    // The entries every row agrees with, in the catalogue's order.
    std::vector<std::size_t> matched() const;
    // Whether an RK4 entry, with either clock, gives every row.
    bool rk4_matched() const;
    // The departure from the programs' RK4.
    const Departure &from_rk4() const;
};

// The judgement of `file` against `equation`.
FileCheck check_file(const std::string &file, const Equation &equation);

// Files of one method at steps h, h/2, h/4, ... to one final time, as far as one step tells
// (a loop's running sum may end a step short): the indices of those that form each such ladder
// in a list of checks (at least two, largest step first; of several files at one step, the
// first in the list), the time their rows share nearest the end, and the order that their
// errors there give. Files are of one method where an entry of the catalogue gives all their
// rows, or none gives any.
struct Ladder {
    std::vector<std::size_t> files;
    double at = NAN;
    bool before_end = false; // that time is before the last row of some of them
    Verdict verdict;
};
std::vector<Ladder> ladders(const std::vector<FileCheck> &checks);

} // namespace osc
