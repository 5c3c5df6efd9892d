// A student's data file judged against the equation it solves: its shape as students write
// files, whether one of our runs is writing it now, the step and start its times show, then its
// rows against every entry of the catalogue, the exact motion and, for free motion, the one-step
// map they follow; and, over files of one student at h, h/2, h/4, ..., the observed order.
// Numbers and a classification only: the sentences are the tool's.
#pragma once

#include "checking/identify.hpp"
#include "dataformat/student_rows.hpp"
#include "order/verdict.hpp"

#include <string>
#include <vector>

namespace osc {

// The equation the rows solve, with the arithmetic of the program they stand for, and the
// motion it makes: w0, β, f, wf, and x0 and v0 where `start_given`, else taken from a first row
// at t = 0.
struct Equation {
    Acceleration acceleration;
    Motion motion;
    bool start_given;
};

// What the times of the rows say, once the shape is sound.
enum class TimeFault {
    none,
    not_finite, // a time of the first, second or last row is nan or inf
    start,      // the first row is neither at t = 0 nor one step on
    step,       // no constant step h gives the times of the rows as its running sum
};

enum class Judgement {
    unreadable,      // the shape's fault
    being_written,   // one of our runs holds it locked
    times,           // the time fault
    rk4,             // the programs' RK4, every row to six digits (maybe others as well)
    cut,             // RK4's rows up to the last line, which is cut short
    other_entries,   // one or more entries of the catalogue, not RK4
    other_constants, // free motion whose fitted map, read as RK4's, has other w0 or β
    none,            // no entry, and no other constants to tell
};

struct FileCheck {
    std::string file;
    StudentShape shape;
    TimeFault time_fault = TimeFault::none;
    double h = NAN;         // the step, the shortest decimal whose running sum gives the times
    bool from_start = true; // the first row is the state at t = 0
    double x0 = NAN, v0 = NAN;
    bool start_from_file = false;      // x0 and v0 from the first row
    std::vector<Departure> departures; // each entry's, in the catalogue's order
    ExactError error;
    bool free_motion = false;
    Constants implied; // free motion: the fitted map's, as RK4's
    Judgement judgement = Judgement::unreadable;

    // The entries every row agrees with, in the catalogue's order.
    std::vector<std::size_t> matched() const;
    // The departure from the programs' RK4.
    const Departure &from_rk4() const;
};

// The judgement of `file` against `equation`.
FileCheck check_file(const std::string &file, const Equation &equation);

// The step h whose running sum, from the first row, gives `shape`'s first, second and last
// times as written (the shortest decimal that does, of up to 17 digits), and whether the
// first row is at t = 0; the fault, if none does.
TimeFault step_of(const StudentShape &shape, double &h, bool &from_start);

// Files of one student at steps h, h/2, h/4, ... to one final time: the indices of those that
// form each such ladder in a list of checks (at least two, largest step first), and the order
// that their last rows' errors give.
struct Ladder {
    std::vector<std::size_t> files;
    Verdict verdict;
};
std::vector<Ladder> ladders(const std::vector<FileCheck> &checks);

} // namespace osc
