// The disk room in-process: a data file's opening and lock, a name taken away or replaced
// between opens, rows that cannot be written whole, files written beside their target and
// renamed over it, and the space a data file's disk has. The test program is linked with the
// room's open, ftruncate and statvfs wrapped (-Wl,--wrap), so that a row stands between an open
// and the lock as another run would, as any user; each row that opens a file runs in a child of
// its own, under the limits it asks for.

#include "sandbox.hpp"

#include "disk/datafile.hpp"
#include "disk/descriptor.hpp"
#include "disk/replace.hpp"
#include "disk/space.hpp"
#include "warnings/disk_space.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// What the wrapped calls do besides the real ones: `at_open` sees each open that succeeds (n
// from 0) before the caller has it; an open without a name fails as on a file system that
// cannot make one; ftruncate to any length but 0 fails; statvfs answers `disk`, or fails.
void (*at_open)(int) = nullptr;
int opens = 0;
bool no_unnamed_files = false;
bool truncate_fails = false;
std::optional<struct statvfs> disk;
bool statvfs_fails = false;
bool as_a_user = false; // the child runs as an ordinary user (root is one no permission stops)

void reset_calls()
{
    at_open = nullptr;
    opens = 0;
    no_unnamed_files = truncate_fails = statvfs_fails = as_a_user = false;
    disk.reset();
}

} // namespace

// The linker's names for the wrapped calls and the real ones.
// NOLINTBEGIN(bugprone-reserved-identifier, readability-identifier-naming)
extern "C" {
int __real_open(const char *path, int flags, ...);
int __real_ftruncate(int fd, off_t length);
int __real_statvfs(const char *path, struct statvfs *status);

int __wrap_open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list more;
        va_start(more, flags);
        mode = va_arg(more, mode_t);
        va_end(more);
    }
    if ((flags & O_TMPFILE) == O_TMPFILE && no_unnamed_files) {
        errno = EOPNOTSUPP;
        return -1;
    }
    const int fd = __real_open(path, flags, mode);
    static bool others_open = false; // the other run's own opens are not counted
    if (fd >= 0 && !others_open) {
        const int n = opens++;
        others_open = true;
        if (at_open != nullptr) at_open(n);
        others_open = false;
    }
    return fd;
}

int __wrap_ftruncate(int fd, off_t length)
{
    if (truncate_fails && length != 0) {
        errno = EIO;
        return -1;
    }
    return __real_ftruncate(fd, length);
}

int __wrap_statvfs(const char *path, struct statvfs *status)
{
    if (statvfs_fails) {
        errno = EIO;
        return -1;
    }
    if (disk) *status = *disk;
    return disk ? 0 : __real_statvfs(path, status);
}
}
// NOLINTEND(bugprone-reserved-identifier, readability-identifier-naming)

namespace {

struct Limit {
    int resource;
    rlim_t value;
};
constexpr Limit no_limit{RLIMIT_FSIZE, RLIM_INFINITY};

struct Ran {
    int status; // the body's, or 128 + the signal that ended it
    std::string said;
};

// Runs `body` in a child working in `box`, under `limit`, and returns its status and what it
// said on standard error.
Ran in_child(const Sandbox &box, Limit limit, const std::function<int()> &body)
{
    int words[2];
    if (::pipe(words) != 0) return {-1, "no pipe"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        osc::open_standard_descriptors();
        if (::dup2(words[1], STDERR_FILENO) < 0 || ::chdir(box.dir().c_str()) != 0) ::_exit(126);
        ::close(words[0]);
        ::close(words[1]);
        rlimit bound{};
        ::getrlimit(limit.resource, &bound);
        bound.rlim_cur = std::min(bound.rlim_max, limit.value);
        const bool dropped = !as_a_user || ::geteuid() != 0 ||
                             (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 &&
                              ::setuid(65534) == 0);
        if (::setrlimit(limit.resource, &bound) != 0 || !dropped) ::_exit(126);
        ::_exit(body());
    }
    ::close(words[1]);
    Ran ran{-1, ""};
    char chunk[512];
    for (ssize_t n; (n = ::read(words[0], chunk, sizeof chunk)) > 0;)
        ran.said.append(chunk, static_cast<std::size_t>(n));
    ::close(words[0]);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ran.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    return ran;
}

using Before = std::function<void(const Sandbox &)>;
const Before nothing = [](const Sandbox &) {};

// A directory its owner can read and enter but not write, which the child enters as a user.
void read_only(const Sandbox &box)
{
    fs::permissions(box.dir().parent_path(), fs::perms(0755));
    fs::permissions(box.dir(), fs::perms(0555));
    as_a_user = true;
}

// What is at `name` in the box, following links: a regular file's bytes, "" for anything else,
// nothing when there is nothing.
std::optional<std::string> at(const Sandbox &box, const std::string &name)
{
    std::error_code ignored;
    if (fs::is_regular_file(box.path(name), ignored)) return box.read(name);
    if (fs::exists(box.path(name), ignored)) return "";
    return std::nullopt;
}

// The data file of the rows below, and the lock another run holds on it, taken through an open
// of its own, -1 when none.
const char *const file = "d.dat";
int held = -1;
void lock(const fs::path &data_file, int how)
{
    held = ::open(data_file.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(::flock(held, how | LOCK_NB), 0);
}

// Another file put at the data file's name, as a run's check does with one it made.
void put_another(int /*n*/)
{
    std::ofstream("spare") << "spare\n";
    fs::rename("spare", file);
}

const std::string cannot = "harmosc: não é possível escrever d.dat: ";
const std::string held_by_another =
    cannot + "outra execução está a escrevê-lo; espere que termine\n";

// A data file opens (status 0, with the count of opens the room made) or is refused, saying
// why (100 + that count); then closed, emptied or not. What another run holds keeps its name.
// Another run acts at each open, in the data file's directory.
TEST(DataFile, OpensOrSaysWhyAndKeepsWhatAnotherRunHolds)
{
    const Before earlier = [](const Sandbox &box) { box.write(file, "earlier\n"); };
    const auto link_to = [](const char *target) {
        return [=](const Sandbox &box) { fs::create_symlink(target, box.path(file)); };
    };
    const Before named = [](const Sandbox &) { no_unnamed_files = true; };
    void (*const none)(int) = nullptr;
    struct Case {
        std::string kind;
        Before before;
        void (*other)(int); // at each open
        bool emptied;
        int status;
        std::string said;
        std::optional<std::string> after;
    };
    const Case cases[] = {
        {"a new file, made to find out", nothing, none, false, 1, "", std::nullopt},
        {"a new file, made with its name", named, none, true, 1, "", ""},
        {"an earlier file", earlier, none, false, 1, "", "earlier\n"},
        {"an earlier file, emptied", earlier, none, true, 1, "", ""},
        {"a directory", [](const Sandbox &box) { fs::create_directory(box.path(file)); }, none,
         false, 100, cannot + "é um diretório\n", ""},
        {"a FIFO", [](const Sandbox &box) { ::mkfifo(box.path(file).c_str(), 0644); }, none, false,
         100, cannot + "não é um ficheiro regular\n", ""},
        {"a link into a missing directory", link_to("nowhere/d.dat"), none, false, 100,
         cannot + "é uma ligação simbólica para \"nowhere/d.dat\", num diretório que não "
                  "existe\n",
         std::nullopt},
        {"a link to a file yet to be made", link_to("made.dat"), none, true, 1, "", ""},
        {"a device", link_to("/dev/null"), none, true, 1, "", ""},
        {"a file another run holds",
         [&](const Sandbox &box) {
             earlier(box);
             lock(box.path(file), LOCK_SH); // even a shared lock keeps out a writer
         },
         none, false, 110, held_by_another, "earlier\n"},
        {"a file another run takes as soon as it is made", named,
         [](int n) { if (n == 0) lock(file, LOCK_EX); }, false, 110, held_by_another, ""},
        {"a name taken away before the lock", earlier, [](int n) { if (n == 0) fs::remove(file); },
         true, 2, "", ""},
        // The name a run gives what it made is taken by another file before its lock: the
        // run opens that one, and never removes it.
        {"another file at the name of one being made", nothing,
         [](int n) { if (n == 0) put_another(n); }, false, 2, "", "spare\n"},
        {"another file at the name of one made with it", named,
         [](int n) { if (n == 0) put_another(n); }, false, 2, "", "spare\n"},
        {"another file at the name at every open", earlier, put_another, false, 110,
         cannot + "foi removido ou trocado por outro de cada vez que se abria (10 tentativas)\n",
         "spare\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        Sandbox box;
        reset_calls();
        c.before(box);
        opens = 0;
        at_open = c.other;
        const Ran ran = in_child(box, no_limit, [&] {
            osc::DataFile data;
            const bool opened = data.open("harmosc", file);
            if (opened && c.emptied && !data.empty()) return 99;
            return (opened ? 0 : 100) + opens;
        });
        reset_calls();
        ::close(held);
        held = -1;
        EXPECT_EQ(ran.status, c.status);
        EXPECT_EQ(ran.said, c.said);
        EXPECT_EQ(at(box, file), c.after);
    }
}

// Three rows of 10 bytes each go out whole or not at all: a row cut short by a limit on the
// file's size is cut back to the last complete one, and the run says how many the file keeps.
TEST(DataFile, RowsGoOutWholeOrAreCutBack)
{
    const auto rows = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += std::to_string(i) + " 0.25 -1\n";
        return text;
    };
    const std::string too_big = cannot + "o ficheiro excede o tamanho máximo permitido";
    struct Case {
        std::string kind;
        Before before;
        Limit limit;
        std::string said;
        std::optional<std::string> after;
    };
    const Case cases[] = {
        {"room for every row", nothing, no_limit, "", rows(3)},
        {"room for two rows and a half", nothing, {RLIMIT_FSIZE, 25},
         too_big + "; o ficheiro fica com as 2 linhas completas escritas até então\n", rows(2)},
        {"room for one row and a half", nothing, {RLIMIT_FSIZE, 15},
         too_big + "; o ficheiro fica com 1 linha completa, a primeira\n", rows(1)},
        {"room for half a row", nothing, {RLIMIT_FSIZE, 5}, too_big + "; o ficheiro fica vazio\n",
         ""},
        {"a file that cannot be cut back", [](const Sandbox &) { truncate_fails = true; },
         {RLIMIT_FSIZE, 25}, too_big + "; a última linha do ficheiro pode estar cortada\n",
         rows(2) + "2 0.2"},
        {"a full disk", [](const Sandbox &box) { fs::create_symlink("/dev/full", box.path(file)); },
         no_limit, cannot + "não há espaço livre no dispositivo\n", ""},
#ifndef OSC_SANITIZED // UBSan needs descriptors of its own to check the message's stream
        {"no descriptor left", nothing, {RLIMIT_NOFILE, 3},
         cannot + "demasiados ficheiros abertos\n", std::nullopt},
#endif
        {"a directory without write permission", read_only, no_limit,
         cannot + "permissão negada\n", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        Sandbox box;
        reset_calls();
        c.before(box);
        const Ran ran = in_child(box, c.limit, [] {
            osc::DataFile data;
            if (!data.open("harmosc", file) || !data.empty()) return 1;
            for (int i = 0; i < 3; ++i)
                if (!data.write_row(double(i), 0.25, -1.0)) return 1;
            return 0;
        });
        reset_calls();
        fs::permissions(box.dir(), fs::perms::owner_all);
        EXPECT_EQ(ran.status, c.said.empty() ? 0 : 1);
        EXPECT_EQ(ran.said, c.said);
        EXPECT_EQ(at(box, file), c.after);
    }
}

// A figure takes the place of the earlier one only when whole: whatever step fails, or a signal
// that ends the run, the earlier one stays and no hidden file is left beside it; hidden files
// of runs that are gone are removed, those of running ones and of other programs kept.
TEST(Replacement, TakesThePlaceOfTheTargetOnlyWhenWhole)
{
    enum Steps { open_only, write_only, all, ended };
    struct Case {
        std::string kind, target;
        Before before;
        Limit limit;
        Steps steps;
        int status; // the errno of the step that failed
        std::map<std::string, std::string> after;
    };
    const std::map<std::string, std::string> kept = {{"fig.png", "old"}};
    const Case cases[] = {
        {"whole", "fig.png", nothing, no_limit, all, 0, {{"fig.png", "new figure"}}},
        {"gone before the end", "fig.png", nothing, no_limit, write_only, 0, kept},
        {"larger than a file may be", "fig.png", nothing, {RLIMIT_FSIZE, 4}, all, EFBIG, kept},
        {"in a directory without write permission", "fig.png", read_only, no_limit, all, EACCES,
         kept},
        {"over a directory", "sub",
         [](const Sandbox &box) { fs::create_directories(box.path("sub/inside")); }, no_limit, all,
         EISDIR, {{"fig.png", "old"}, {"sub", ""}}},
        {"ended by a signal", "fig.png", nothing, no_limit, ended, 128 + SIGTERM, kept},
        // Process 1 runs; none has the largest number a pid_t holds.
        {"beside what runs left", "fig.png",
         [](const Sandbox &box) {
             for (const char *name : {".oscplot-2147483647-0", ".oscplot-1-0",
                                      ".oscorder-2147483647-0", ".oscplot-x-0"})
                 box.write(name, "");
         },
         no_limit, open_only, 0,
         {{"fig.png", "old"}, {".oscplot-1-0", ""}, {".oscorder-2147483647-0", ""},
          {".oscplot-x-0", ""}}},
        {"with too long a name", std::string(4090, 'd') + "/fig.png", nothing, no_limit, all,
         ENAMETOOLONG, kept},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        Sandbox box;
        box.write("fig.png", "old");
        reset_calls();
        c.before(box);
        const Ran ran = in_child(box, c.limit, [&] {
            std::signal(SIGXFSZ, SIG_IGN); // as a tool does first
            osc::Replacement figure;
            const bool done = figure.open("oscplot", c.target) && (c.steps == open_only ||
                              (figure.write("new figure") && (c.steps == write_only ||
                               (c.steps == ended && std::raise(SIGTERM) == 0) || figure.commit())));
            return done ? 0 : figure.error();
        });
        fs::permissions(box.dir(), fs::perms::owner_all);
        EXPECT_EQ(ran.status, c.status);
        std::map<std::string, std::string> after;
        for (const auto &entry : fs::directory_iterator(box.dir())) {
            const std::string name = entry.path().filename().string();
            after[name] = at(box, name).value();
        }
        EXPECT_EQ(after, c.after);
    }
}

// A data file may grow to the free space its disk leaves to users (blocks of the fragment size,
// not of the block size nor those kept for root) plus what it holds now; without limit where
// that is unknown or the file is a device.
TEST(Space, IsTheFreeSpaceAndWhatTheFileHolds)
{
    constexpr double infinity = std::numeric_limits<double>::infinity();
    struct statvfs megabyte {};
    megabyte.f_bsize = 1 << 20;
    megabyte.f_frsize = 4096;
    megabyte.f_bfree = 300;
    megabyte.f_bavail = 256;
    Sandbox box;
    box.write("d.dat", std::string(700000, 'x'));
    const std::tuple<std::string, bool, double> cases[] = {
        {box.path("none.dat"), false, 1048576.0},
        {box.path("d.dat"), false, 1048576.0 + 700000},
        {"/dev/null", false, infinity},
        {box.path("d.dat"), true, infinity},
    };
    for (const auto &[path, fails, room] : cases) {
        disk = megabyte;
        statvfs_fails = fails;
        const double space = osc::space_for(path.c_str());
        reset_calls();
        EXPECT_EQ(space, room) << path;
    }
}

// Rows of 18 bytes typically and 26 at most (no growing column) on a disk of 936000 bytes:
// refused once their typical length does not fit, warned of once their longest does not. On a
// disk of 1.872 GB, told their size once their typical length passes 1 GB.
TEST(Space, RowsThatMayNotFitAreWarnedOfAndThoseThatCannotRefused)
{
    using Kind = osc::DiskFinding::Kind;
    const std::tuple<double, double, Kind, double> cases[] = {
        {936000, 36000, Kind::fits, 936000},         {936000, 36001, Kind::may_not_fit, 936026},
        {936000, 52000, Kind::may_not_fit, 1352000}, {936000, 52001, Kind::cannot_fit, 936018},
        {1.872e9, 55555555, Kind::fits, 1444444430}, {1.872e9, 55555556, Kind::large, 1000000008},
    };
    for (const auto &[room, rows, kind, bytes] : cases) {
        const osc::DiskFinding found = osc::disk_finding(room, rows, {});
        EXPECT_EQ(found.kind, kind) << rows;
        EXPECT_EQ(found.bytes, bytes) << rows;
        EXPECT_EQ(found.room, room) << rows;
    }
}

} // namespace
