// A program that does rkstepper's work, ours or a student's: it reads "x0 v0 N h" from
// rkstepper's parameter file in its current directory and writes its rows to rkstepper's data
// file there. Run in a work directory of the caller's, never in the user's folder.
#pragma once

#include "process/child.hpp"
#include "process/work_directory.hpp"

#include <string>

namespace osc {

// What a student's program may take in one run: ten seconds, where ours takes milliseconds; a
// gigabyte of memory; files of a mebibyte and four times the most that `rows` rows can take.
Limits student_limits(double rows);

// Writes `parameters` to the parameter file in `work`, removes a data file left by a run
// before, and runs `program` there, its output merged and kept, within `limits`. Why the
// parameter file could not be written, or "" with the run in `finished`.
std::string run_stepper(const WorkDirectory &work, const std::string &program,
                        const std::string &parameters, const Limits &limits, Finished &finished);

} // namespace osc
