// Other programs (rkstepper, gnuplot) found beside this one or on the PATH, and run as
// processes of their own, without a shell, in a directory of the caller's choosing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace osc {

// The absolute name of the executable `name` in the directory of this process's own
// executable, or "" when there is none there.
std::string beside_self(const char *name);

// The absolute name of the first executable `name` in the directories of the PATH, or "".
std::string on_path(const char *name);

// The gnuplot on the PATH, or "" having said, in the words of `caller`, how to install it.
std::string gnuplot_on_path(const char *caller);

// What becomes of a program's standard output.
enum class Output {
    discarded, // thrown away
    merged,    // kept in `said`, with its standard error
    apart,     // kept in `out`
};

struct Finished {
    int status = -1;  // the exit status, or -1 when the process did not exit
    int signal = 0;   // the signal that ended it, 0 if none
    std::string said; // what it wrote to standard error, and to standard output when merged
    std::string out;  // what it wrote to standard output when kept apart
};

// Runs `program` with `arguments` in `directory` (this process's own when empty) and waits for
// it. Its standard input is `input` (/dev/null when empty), written while its outputs are read,
// so that neither side waits on the other; its standard error is kept. `environment` holds
// "NAME=value" entries set for it over this process's own. A program that cannot be started
// exits 127, having said why in the words of `caller`, the program that runs it. One that stops
// reading its input early does not end this process: its status says what happened.
Finished run_program(const char *caller, const std::string &program, const std::vector<std::string> &arguments,
                     const std::string &directory, Output output, std::string_view input = {},
                     const std::vector<std::string> &environment = {});

// Ends the process that run_program is waiting for, if any, and waits for it: for a signal
// handler, so only async-signal-safe calls.
void end_running_program();

} // namespace osc
