// gnuplot as oscplot runs it: a process fed its whole program on standard input, whose
// standard output (a PNG image, a text drawing or tables) and standard error are kept.
#pragma once

#include <string>

namespace osc {

struct GnuplotRun {
    bool exited = false; // gnuplot ended by exit(), with `status`
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the gnuplot at `path` on `program` and waits for it to end. Its messages come in the
// C.UTF-8 locale. A gnuplot that stops reading early is not an error here: its status says.
GnuplotRun run_gnuplot(const std::string &path, const std::string &program);

} // namespace osc
