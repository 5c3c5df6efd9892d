// Other programs (rkstepper, gnuplot) found beside this one or on the PATH, and run as
// processes of their own, without a shell, in a directory of the caller's choosing.
#pragma once

#include <cstddef>
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

// What a program is kept of what it writes: past it, it is ended and `overflowed` says so.
inline constexpr std::size_t kept_said = std::size_t{1} << 20U;
inline constexpr std::size_t kept_out = std::size_t{1} << 30U;

// How far a program got towards running: what was missing, when it did not start.
enum class Start { done, no_pipes, no_process, no_directory, no_program };

// The longest time a bound may give, a day: the clocks count it without overflow.
inline constexpr double longest_bound = 86400;

// Bounds on a program that is not ours, a student's: the time it may take (wall clock, and
// its processor time a second more), the memory it may map and the size of any file it
// writes; 0 leaves one unbounded. A bounded program runs in a process group of its own, and
// this process is the subreaper of all it starts (what leaves the group, or the session, comes
// back to it when its parent ends): everything is ended with it, and nothing it started is left
// running, even when this process is killed. It leaves no core file. A time beyond longest_bound
// is taken as that.
struct Limits {
    double seconds = 0;
    unsigned long long address_space = 0;
    unsigned long long file_size = 0;
    bool any() const { return seconds > 0 || address_space > 0 || file_size > 0; }
};

struct Finished {
    int status = -1;         // the exit status, or -1 when the process did not exit
    int signal = 0;          // the signal that ended it, 0 if none
    std::string said;        // what it wrote to standard error, and to standard output when merged
    std::string out;         // what it wrote to standard output when kept apart
    Start start = Start::done;
    int error = 0;           // the errno of the step that kept it from starting
    std::string directory;   // where it was to run
    bool overflowed = false; // it wrote more than it is kept of it, and was ended
    bool timed_out = false;  // it ran past its time, and was ended
    double seconds = 0;      // that time, when it had one
    int left_running = 0;    // bounded: processes it started, still running when it ended
};

// Runs `program` with `arguments` in `directory` (this process's own when empty) and waits for
// it. Its standard input is `input` (/dev/null when empty), written while its outputs are read,
// so that neither side waits on the other; its standard error is kept, up to kept_said bytes
// (kept_out for its standard output). `environment` holds "NAME=value" entries set for it over
// this process's own. A program that cannot be started, for want of a pipe, a process, its
// directory or its file, says so in `start`. One that stops reading its input early does
// not end this process: its status says what happened. `limits` bound it.
Finished run_program(const std::string &program, const std::vector<std::string> &arguments,
                     const std::string &directory, Output output, std::string_view input = {},
                     const std::vector<std::string> &environment = {}, const Limits &limits = {});

// Why a run of `name` (as the user knows it: "o gnuplot") gave nothing to use, or "" when it
// exited with status 0 within its bound: it did not start, was ended by a signal, wrote too
// much (with the words so far, escaped), ran past its time, or failed.
std::string why_failed(const Finished &run, const std::string &name);

// Installs, for the signals that end a run from outside (SIGINT, SIGTERM, SIGHUP), a handler
// that ends the running program, removes the work directory, hands on to the handler that
// was there before, and ends this process by the same signal.
void end_child_on_signals();

// What a tool does first, before it opens any file: standard input, output and error made
// valid, a file-size limit made a failed write with its reason (SIGXFSZ ignored), and its
// child ended by the signals that end it.
void start_tool();

// A tool's whole run: start_tool(), memory kept for a failure, then `run`. Memory that runs out
// ends it with one line, each hidden file beside a figure going as the run unwinds.
int run_tool(const char *program, int argc, char **argv, int (*run)(int, char **));

// Ends the process that run_program is waiting for, if any, and waits for it, and, when it is
// bounded, everything it started: for a signal handler, so only async-signal-safe calls.
void end_running_program();

} // namespace osc
