#include "disk/datafile.hpp"

#include "disk/descriptor.hpp"
#include "text/messages.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
constexpr int moved = -3;       // the name went to another file, or away, at every attempt

// Opens a data file may take while another run holds it, or its name keeps going to another
// file; another run's check holds a file for well under the pause between two of them.
constexpr int attempts = 10;
constexpr useconds_t pause_us = 10000;

std::string why(int error, const char *file)
{
    if (error == not_regular) return not_a_regular_file;
    if (error == locked) return "outra execução está a escrevê-lo; espere que termine";
    if (error == moved)
        return "foi removido ou trocado por outro de cada vez que se abria (" +
               std::to_string(attempts) + " tentativas)";
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

// Where creating `file` makes the file: at the end of its chain of links, if it is one.
std::string link_end(const char *file)
{
    std::string path = file;
    char target[PATH_MAX];
    for (int hop = 0; hop < 40; ++hop) {
        const ssize_t size = ::readlink(path.c_str(), target, sizeof target);
        if (size <= 0 || size == sizeof target) break;
        // A relative target is relative to the link's own directory.
        const std::size_t slash = path.rfind('/');
        path.erase(target[0] == '/' || slash == std::string::npos ? 0 : slash + 1);
        path.append(target, static_cast<std::size_t>(size));
    }
    return path;
}

// Makes `path` a new file that this run holds locked before anyone can open it: made without
// a name and given one once locked. Where the file system cannot make a file without a name,
// it is made with its name and locked at once. -1 with errno, EEXIST when the name was taken.
int create_locked(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        char self[32];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return fd;
        const int error = errno;
        ::close(fd);
        errno = error;
        if (error != ENOENT || ::access("/proc/self/fd", F_OK) == 0) return -1; // or no /proc
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return -1; // what creating it by name would meet too: permission, read-only, no room
    }
    const int named = ::open(path.c_str(), write_flags | O_CREAT | O_EXCL, 0666);
    if (named >= 0) ::flock(named, LOCK_EX | LOCK_NB); // answered when it is taken again
    return named;
}

// Whether `path` names the file open at `fd` (for a link: the file it leads to).
bool names(const char *path, int fd)
{
    struct stat at_name {};
    struct stat held {};
    return ::stat(path, &at_name) == 0 && ::fstat(fd, &held) == 0 &&
           at_name.st_dev == held.st_dev && at_name.st_ino == held.st_ino;
}

// Says that `file` cannot be written, why, and what became of it; returns false.
bool refuse_writing(const char *program, const char *file, int error, const std::string &kept = "")
{
    refuse(program, "não é possível escrever " + about(file, why(error, file) + kept));
    return false;
}

} // namespace

bool data_files_usable(const char *program, std::initializer_list<const char *> files)
{
    std::vector<DataFile> held(files.size());
    const char *const *file = files.begin();
    for (DataFile &each : held)
        if (!each.open(program, *file++)) return false;
    return true; // all closed again, and what was made to find out removed
}

DataFile::~DataFile() { close_file(); }

bool DataFile::open(const char *program, const char *file)
{
    // A file-size limit must reach the program as a failed write it can answer, not as a
    // signal that ends it in the middle of a row.
    std::signal(SIGXFSZ, SIG_IGN);
    program_ = program;
    name_ = file;
    for (int attempt = 1;; ++attempt) {
        const int error = open_once(file);
        if (error == 0) return true;
        close_file();
        if ((error != moved && error != locked) || attempt == attempts) return refuse(error);
        if (error == locked) ::usleep(pause_us);
    }
}

int DataFile::open_once(const char *file)
{
    struct stat status {};
    if (::stat(file, &status) == 0) {
        if (S_ISDIR(status.st_mode)) return EISDIR;
        if (!S_ISREG(status.st_mode) && !S_ISCHR(status.st_mode)) return not_regular;
    }

    fd_ = ::open(file, write_flags);
    if (fd_ < 0 && errno == ENOENT) {
        // A link to a file yet to be made: making it is what the run would do. The name is in
        // hand before the file is made, so that a run out of memory cannot leave it behind.
        std::string end = is_link(file) ? link_end(file) : file;
        fd_ = create_locked(end);
        if (fd_ >= 0) created_ = std::move(end);
        else if (errno == EEXIST) return moved; // made by another run meanwhile: open that
    }
    if (fd_ < 0) return errno;

    // What was opened, which is what a link led to; a FIFO may have slipped in since stat().
    if (::fstat(fd_, &status) != 0) return errno;
    if (!S_ISREG(status.st_mode) && !S_ISCHR(status.st_mode)) return not_regular;
    regular_ = S_ISREG(status.st_mode);
    if (regular_) {
        const bool held = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
        const int error = errno;
        // Another run's check that made this file may have taken its name away again (or
        // someone put another file there) between our open and our lock: open afresh.
        if (!names(file, fd_)) return moved;
        // A file system without locks (some network ones) leaves the run unprotected rather
        // than refused; a device keeps nothing that two runs could spoil.
        if (!held && error == EWOULDBLOCK) return locked;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) return errno;
    return 0;
}

bool being_written(const std::string &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    // A reader's shared lock is refused while a writer holds the exclusive one.
    const bool held = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                      ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // and with it the shared lock, if it was taken
    return held;
}

void DataFile::close_file()
{
    if (fd_ < 0) return;
    // Only the holder of the lock takes away the name of what it made, and only while it holds
    // it: a run that opened the file meanwhile finds, once it has the lock, that the name is
    // gone, and opens afresh.
    if (!created_.empty() && ::flock(fd_, LOCK_EX | LOCK_NB) == 0 && names(created_.c_str(), fd_))
        ::unlink(created_.c_str());
    ::close(fd_);
    fd_ = -1;
    created_.clear();
    regular_ = false;
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
    if (!write_all(fd_, {bytes, size})) {
        const int error = errno;
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
    complete_ += static_cast<off_t>(size);
    ++rows_;
    return true;
}

bool DataFile::refuse(int error) const { return refuse_writing(program_, name_, error); }

} // namespace osc
