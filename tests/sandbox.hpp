// Runs the built programs as a user does, or a program's body in this process: in a fresh
// working directory of their own, with scripted standard input, capturing what they print and
// their exit status.
// A run that has not ended after the hang limit (a minute: generous on any machine, however
// busy) is killed and fails the test that started it; no file it writes may grow past 128 MiB.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct RunResult {
    int status = -1;         // exit status, or -1 when the program did not exit normally
    int signal = 0;          // the signal that ended it, 0 if none
    bool timed_out = false;  // killed after the hang limit
    std::string out;
    std::string err;
};

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    // The program's working directory and a file in it.
    const std::filesystem::path &dir() const { return work_; }
    std::filesystem::path path(const std::string &name) const { return work_ / name; }

    void write(const std::string &name, const std::string &content) const;
    std::string read(const std::string &name) const;
    bool exists(const std::string &name) const;

    RunResult run(const std::string &program, const std::string &input = "") const;
    // The same for a program's body called in this process, under the same limits: the sandbox
    // its working directory, std::cin reading `input`, std::cout and std::cerr captured.
    RunResult call(const std::function<int()> &program, const std::string &input = "") const;
    // The same for a command with arguments: command[0] is the program.
    RunResult run_command(const std::vector<std::string> &command,
                          const std::string &input = "") const;

private:
    std::filesystem::path root_;
    std::filesystem::path work_;
};

// A program's main as the program is started, with no argument: for Sandbox::call.
std::function<int()> started(int (*main)(int, char **), const std::string &name);

// `command` run with mounts of its own, gone when it ends: root takes a mount namespace, anyone
// else a user namespace in which they count as root (a tmpfs mounts there just the same).
std::vector<std::string> with_private_mounts(std::vector<std::string> command);

// Why no command can be run so here (a container, a system that keeps user namespaces from
// users), or "" when one can: for a test to skip with, whatever status the refusal came with.
const std::string &private_mounts_refused();

// The whole content of a file, byte for byte; empty when it cannot be read.
std::string read_file(const std::filesystem::path &file);

// Every entry under the program's directory, by relative name, links not followed: a regular
// file's bytes, or what kind of entry it is.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const Sandbox &box);

// The names added, removed or changed from `before` to `after`, one a line: "" when none.
// (Comparing the snapshots themselves would have GoogleTest diff megabytes of rows.)
std::string changes(const Snapshot &before, const Snapshot &after);

// The lines of a text, without their newlines; a last line without a newline counts too.
std::vector<std::string> lines_of(const std::string &text);

// The whitespace-separated fields of one line.
std::vector<std::string> fields_of(const std::string &line);

// A point of a curve: x and y.
using Point = std::pair<double, double>;

// The curves of a gnuplot table (a tool's --tabela), in the order they were plotted: "# Curve i
// of n" heads each; an undefined point (type u) is a point with a y of nan.
std::vector<std::vector<Point>> curves_of(const std::string &table);

// The same with each curve's key ("" for none) and the third field of each point: its type,
// or the text of a label.
struct Curve {
    std::string key;
    std::vector<Point> points;
    std::vector<std::string> marks;
};
std::vector<Curve> keyed_curves_of(const std::string &table);

// What a tool's table says of each panel beside its points, "# KEY: VALUE" lines from
// "# painel:" on.
std::vector<std::map<std::string, std::string>> panels_of(const std::string &table);

// An axis as a panel's facts give it, "LABEL, de LOW a HIGH": its label and range.
std::pair<std::string, Point> axis_of(const std::string &fact);

// Width and height from a PNG's header chunk, or zeros when the bytes are not a PNG.
std::pair<std::uint32_t, std::uint32_t> png_size(const std::string &bytes);

// Whether gnuplot is on the PATH. Where it is not (CI installs it), a test that draws skips.
bool gnuplot_installed();
#define REQUIRE_GNUPLOT()                                                                   \
    if (!gnuplot_installed())                                                               \
    GTEST_SKIP() << "gnuplot is not installed (Debian package gnuplot-nox)"
