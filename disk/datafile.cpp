#include "disk/datafile.hpp"

#include "text/messages.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace osc {

namespace {

// Write-only, never truncating; a FIFO must not block the open (it is refused just after) and
// a terminal must not become the program's controlling one.
constexpr int write_flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Reasons of our own, beside errno's.
constexpr int not_regular = -1; // a FIFO, a socket: nothing to keep rows in
constexpr int locked = -2;      // another of our runs holds the file

std::string why(int error, const char *file)
{
    if (error == not_regular) return "não é um ficheiro regular";
    if (error == locked) return "outra execução está a escrevê-lo; espere que termine";
    if (error == ENOENT) {
        // A link whose target cannot be made reads better named than as a missing file.
        char target[4096];
        const ssize_t size = ::readlink(file, target, sizeof target);
        if (size > 0)
            return "é uma ligação simbólica para " +
                   quoted(std::string(target, static_cast<std::size_t>(size))) +
                   ", num diretório que não existe";
    }
    return reason(error);
}

bool is_link(const char *file)
{
    struct stat status {};
    return ::lstat(file, &status) == 0 && S_ISLNK(status.st_mode);
}

std::string real_path(const char *file)
{
    char *const resolved = ::realpath(file, nullptr);
    if (resolved == nullptr) return file;
    std::string path = resolved;
    std::free(resolved); // NOLINT(cppcoreguidelines-no-malloc): realpath's own allocation
    return path;
}

struct Opened {
    int fd = -1;
    int error = 0;
    bool regular = false;
    std::string created; // the path of the file this open created, if it did
};

Opened fail(const Opened &opened, int error)
{
    if (opened.fd >= 0) ::close(opened.fd);
    if (!opened.created.empty()) ::unlink(opened.created.c_str());
    return {-1, error, false, {}};
}

// Opens `file` as a data file is opened: without truncating it, creating it when it is not
// there, refusing what cannot hold rows, and holding the lock of our runs on a regular file.
Opened open_locked(const char *file)
{
    Opened opened;
    struct stat status {};
    if (::stat(file, &status) == 0) {
        if (S_ISDIR(status.st_mode)) return fail(opened, EISDIR);
        if (!S_ISREG(status.st_mode) && !S_ISCHR(status.st_mode)) return fail(opened, not_regular);
    }

    opened.fd = ::open(file, write_flags);
    if (opened.fd < 0 && errno == ENOENT) {
        opened.fd = ::open(file, write_flags | O_CREAT | O_EXCL, 0666);
        if (opened.fd >= 0) {
            opened.created = file;
        } else if (errno == EEXIST && is_link(file)) {
            // A link to a file yet to be made: making it is what the run would do.
            opened.fd = ::open(file, write_flags | O_CREAT, 0666);
            if (opened.fd >= 0) opened.created = real_path(file);
        }
    }
    if (opened.fd < 0) return fail(opened, errno);

    // What was opened, which is what a link led to; a FIFO may have slipped in since stat().
    if (::fstat(opened.fd, &status) != 0) return fail(opened, errno);
    if (!S_ISREG(status.st_mode) && !S_ISCHR(status.st_mode)) return fail(opened, not_regular);
    opened.regular = S_ISREG(status.st_mode);
    const int flags = ::fcntl(opened.fd, F_GETFL);
    if (flags < 0 || ::fcntl(opened.fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(opened, errno);

    // A device keeps nothing that two runs could spoil; a file system without locks (some
    // network ones) leaves the run unprotected rather than refused.
    if (opened.regular && ::flock(opened.fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return fail(opened, locked);
    return opened;
}

// Says that `file` cannot be written, why, and what became of it; returns false.
bool refuse_writing(const char *program, const char *file, int error, const std::string &kept = "")
{
    refuse(program, std::string("não é possível escrever ") + file + ": " + why(error, file) + kept);
    return false;
}

// "391 GB": three significant digits in the units of the file system's own tools.
std::string size_text(double bytes)
{
    static const char *const units[] = {"bytes", "kB", "MB", "GB", "TB", "PB", "EB"};
    std::size_t unit = 0;
    while (bytes >= 1000.0 && unit + 1 < std::size(units)) {
        bytes /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3g %s", bytes, units[unit]);
    return text;
}

// Characters a column takes in most rows when its values grow steadily to `bound`, sign
// included: most of them lie in the decade of the last one, and there six significant digits
// take at most 12345.6, 0.000123457 or 1.23457e+06 characters.
std::size_t longest_text(double bound)
{
    const double magnitude = std::fabs(bound);
    if (!(magnitude >= 1e-4 && magnitude < 1e6)) return magnitude >= 1e100 ? 13 : 12;
    const int decade = static_cast<int>(std::floor(std::log10(magnitude)));
    return 1 + (decade >= 0 ? (decade == 5 ? 6 : 7) : 7 - decade);
}

// A column of any value, as position and velocity are: -1.23457e-05.
constexpr std::size_t longest_any = 12;

} // namespace

bool data_files_usable(const char *program, std::initializer_list<const char *> files)
{
    std::vector<Opened> held;
    bool usable = true;
    for (const char *file : files) {
        held.push_back(open_locked(file));
        if (held.back().fd < 0) {
            usable = refuse_writing(program, file, held.back().error);
            break;
        }
    }
    for (const Opened &opened : held) fail(opened, 0); // close, remove what was created
    return usable;
}

void warn_if_short_of_space(const char *program, const char *file, double rows,
                            std::initializer_list<double> growing)
{
    // Each column and the space or newline after it.
    std::size_t row_bytes = 2 * (longest_any + 1);
    for (const double bound : growing) row_bytes += longest_text(bound) + 1;

    struct stat status {};
    const bool exists = ::stat(file, &status) == 0;
    if (exists && !S_ISREG(status.st_mode)) return; // a device keeps nothing
    struct statvfs disk {};
    if (::statvfs(exists ? file : ".", &disk) != 0) return;
    // What the file holds now is freed when the run empties it.
    const double free_bytes = static_cast<double>(disk.f_bavail) * static_cast<double>(disk.f_frsize) +
                              (exists ? static_cast<double>(status.st_size) : 0.0);
    const double bytes = rows * static_cast<double>(row_bytes);
    if (!(bytes > free_bytes)) return;
    warn(program, std::string(file) + " pode chegar a " + size_text(bytes) + " (" + text(rows) +
                      " linhas), mas só há " + size_text(free_bytes) +
                      " livres no disco; se o disco encher, a execução para aí e o ficheiro "
                      "fica com as linhas completas escritas até então");
}

DataFile::~DataFile()
{
    if (fd_ >= 0) ::close(fd_);
    if (!created_.empty()) ::unlink(created_.c_str()); // the run never began: leave no file
}

bool DataFile::open(const char *program, const char *file)
{
    // A file-size limit must reach the program as a failed write it can answer, not as a
    // signal that ends it in the middle of a row.
    std::signal(SIGXFSZ, SIG_IGN);
    program_ = program;
    name_ = file;
    const Opened opened = open_locked(file);
    if (opened.fd < 0) return refuse(opened.error);
    fd_ = opened.fd;
    regular_ = opened.regular;
    created_ = opened.created;
    return true;
}

bool DataFile::empty()
{
    if (regular_ && ::ftruncate(fd_, 0) != 0) return refuse(errno);
    created_.clear();
    complete_ = 0;
    rows_ = 0;
    return true;
}

bool DataFile::write_whole(const char *bytes, std::size_t size)
{
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd_, bytes + written, size - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            const int error = n < 0 ? errno : EIO;
            // Back to the end of the last complete row, so that no cut number reads as data.
            std::string kept;
            if (regular_) {
                if (::ftruncate(fd_, complete_) == 0 && ::lseek(fd_, complete_, SEEK_SET) >= 0)
                    kept = rows_ == 0   ? "; o ficheiro fica vazio"
                           : rows_ == 1 ? "; o ficheiro fica com 1 linha completa, a primeira"
                                        : "; o ficheiro fica com as " + std::to_string(rows_) +
                                              " linhas completas escritas até então";
                else
                    kept = "; a última linha do ficheiro pode estar cortada";
            }
            return refuse_writing(program_, name_, error, kept);
        }
    }
    complete_ += static_cast<off_t>(size);
    ++rows_;
    return true;
}

bool DataFile::refuse(int error) const { return refuse_writing(program_, name_, error); }

} // namespace osc
