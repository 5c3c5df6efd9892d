// The checks every program makes between reading its parameters and its first step, in one
// order: what refuses the run first, so that a refused run says nothing else; then what the
// program itself has to say, the step, driven and rows warnings, rows that repeat a time, and
// rows that the disk may not hold.
#pragma once

#include "warnings/step_warnings.hpp"

#include <functional>
#include <optional>

namespace osc {

// A run about to start.
struct Plan {
    Motion motion;
    Grid grid;          // its steps up to the last row
    double t_end;       // the end its rows run to (at or after t = 0)
    bool judge_motion;  // the constants of the step are finite enough to judge its modes
    bool judge_rows;    // the rows show a motion worth drawing
    bool index;         // each row starts with the step index n
    const char *file;   // where the rows go
    double rows;        // how many, at most
    double last_n, last_t; // the bounds of the index (with `index`) and time columns
    std::optional<double> room; // the bytes `file`'s disk has for the rows; none unwritten
};

// Runs the checks; `own` says what the program has to say of its own parameters once the run
// is not refused. False, after saying why, when the run is refused.
bool check_before_run(const char *program, const Plan &plan, const std::function<void()> &own);

} // namespace osc
