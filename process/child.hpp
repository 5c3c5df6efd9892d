// Other programs (rkstepper, gnuplot) found beside this one or on the PATH, and run as
// processes of their own, without a shell, in a directory of the caller's choosing.
#pragma once

#include <string>
#include <vector>

namespace osc {

// The absolute name of the executable `name` in the directory of this process's own
// executable, or "" when there is none there.
std::string beside_self(const char *name);

// The absolute name of the first executable `name` in the directories of the PATH, or "".
std::string on_path(const char *name);

struct Finished {
    int status = -1;  // the exit status, or -1 when the process did not exit
    int signal = 0;   // the signal that ended it, 0 if none
    std::string said; // what it wrote to standard error, and to standard output when kept
};

// Runs `program` with `arguments` in `directory`, its standard input from /dev/null, and waits
// for it. Its standard error is kept, and its standard output too when keep_output (otherwise
// thrown away). A program that cannot be started exits 127, having said why in the words of
// `caller`, the program that runs it.
Finished run_program(const char *caller, const std::string &program, const std::vector<std::string> &arguments,
                     const std::string &directory, bool keep_output);

// Ends the process that run_program is waiting for, if any, and waits for it: for a signal
// handler, so only async-signal-safe calls.
void end_running_program();

} // namespace osc
