// A file that takes the place of another only when whole: it is written under a hidden name
// beside its target (".PROGRAM-PID-N", in the same directory, so that the rename is atomic)
// and renamed over the target at the end. A run that fails, or is ended by a signal, leaves
// the target as it was and removes its hidden file; one ended by SIGKILL leaves it behind, for
// the next run in that directory to remove.
#pragma once

#include <string>
#include <string_view>

namespace osc {

class Replacement {
public:
    Replacement() = default;
    ~Replacement(); // removes the hidden file unless it was renamed
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;

    // Creates the hidden file beside `target`, first removing the hidden files that runs of
    // `program` left there when their process is gone. False, with error(), when the
    // directory takes no file.
    bool open(const char *program, const std::string &target);

    // Writes all of `bytes` to the hidden file; false, with error(), when they do not fit.
    bool write(std::string_view bytes);

    // Renames the hidden file over the target; false, with error(), when that fails.
    bool commit();

    // The errno of the step that failed.
    int error() const { return error_; }

private:
    void discard();

    int fd_ = -1;
    int error_ = 0;
    std::string hidden_;
    std::string target_;
};

// Removes from `directory` the hidden files of `program` whose process is no longer running.
void remove_leftovers(const std::string &directory, const char *program);

} // namespace osc
