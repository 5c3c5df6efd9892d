// A temporary directory of a run's own, where the programs it starts read and write their
// files: removed with what it holds when the run ends, and when a signal ends it.
#pragma once

#include <string>
#include <vector>

namespace osc {

// Removes the work directory of the run, if any, and its files: for a signal handler, so
// only async-signal-safe calls.
void remove_work_directory_now();

// Where temporary directories go: $TMPDIR, or /tmp where it is unset or empty.
std::string temporary_base();

class WorkDirectory {
public:
    WorkDirectory() = default;
    WorkDirectory(const WorkDirectory &) = delete;
    WorkDirectory &operator=(const WorkDirectory &) = delete;
    ~WorkDirectory(); // removes it, with what it holds

    // Creates "base/caller.XXXXXX", where the files `names` will be; why not, or "".
    std::string create(const std::string &base, const char *caller, const std::vector<std::string> &names);

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

    // Writes `content` to the file `name` in it; why not, or "".
    std::string write(const std::string &name, const std::string &content) const;

private:
    std::string path_;
};

} // namespace osc
