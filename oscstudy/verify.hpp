// The question verificar: data files a class handed in, and a student's program, judged
// against the program whose equation they solve (checking/): one item a file or a run, and the
// order where files at halved steps to one final time allow it. Numbers and classifications;
// oscstudy/wording.hpp says them.
#pragma once

#include "oscstudy/findings.hpp"
#include "oscstudy/setup.hpp"

#include <map>
#include <string>
#include <vector>

namespace osc {

struct VerifyRequest {
    Program program;
    std::map<std::string, double> given; // the program's names given
    std::vector<std::string> paths;      // files and folders, as given
    std::string student_program;         // a student's program, or ""
    double seconds = 0;                  // a run's time bound; 0 for student_limits'
    std::string csv;                     // the table to be written, never judged
};

// A student's program runs at h, h/2, h/4 and h/8 from these, where h and N are not given:
// oscorder's own, whose errors RK4 still shows above six digits.
inline constexpr double program_h = 1.0;
inline constexpr double program_steps = 10.0;

// Judges every file and every run of `request` into `found`: "" then, or why it cannot be
// made (values the program would refuse or a run with no rows, having given the program's own
// warning; a student's program given a run of fewer than two rows or h = 0, or that cannot be
// run).
std::string verify(const VerifyRequest &request, VerifyFinding &found);

} // namespace osc
