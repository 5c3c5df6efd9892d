#include "process/child.hpp"

#include "disk/descriptor.hpp"
#include "memory/memory.hpp"
#include "process/work_directory.hpp"
#include "signals/signals.hpp"
#include "text/messages.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace osc {

namespace {

std::atomic<pid_t> running{0};
std::atomic<bool> running_group{false}; // the running program leads a process group of its own

using Clock = std::chrono::steady_clock;

bool executable(const std::string &file)
{
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(file.c_str(), X_OK) == 0;
}

std::string absolute(const std::string &file)
{
    if (file.front() == '/') return file;
    char directory[4096];
    if (::getcwd(directory, sizeof directory) == nullptr) return file;
    return std::string(directory) + "/" + file;
}

// A file descriptor, closed once done with.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int opened) : fd(opened) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { close(); }
    void close()
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

// `fd` moved above standard input, output and error (it may have taken the place of one that
// was closed), so that putting the others in place in the child never overwrites it.
int above_standard(int fd)
{
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    ::close(fd);
    errno = error;
    return moved;
}

// A pipe to or from the child; neither end is inherited by what the child executes.
struct Pipe {
    Descriptor read;
    Descriptor write;
    bool open()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return false;
        read.fd = above_standard(ends[0]);
        write.fd = above_standard(ends[1]);
        return read.fd >= 0 && write.fd >= 0;
    }
};

// This process's environment with `settings` ("NAME=value") put over it, for execve.
std::vector<char *> environment_with(const std::vector<std::string> &settings)
{
    std::vector<char *> envp;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string_view name(*entry, std::strcspn(*entry, "="));
        const bool set_over = std::any_of(settings.begin(), settings.end(), [&](const std::string &setting) {
            return setting.size() > name.size() && setting.compare(0, name.size(), name) == 0 &&
                   setting[name.size()] == '=';
        });
        if (!set_over) envp.push_back(*entry);
    }
    for (const std::string &setting : settings) envp.push_back(const_cast<char *>(setting.c_str()));
    envp.push_back(nullptr);
    return envp;
}

// SIGPIPE ignored while a program's input is written, so that one that stops reading early
// ends with a status of its own instead of ending this process; put back as it was after.
class PipeSignalIgnored {
public:
    explicit PipeSignalIgnored(bool wanted)
    {
        if (!wanted) return;
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        set_ = ::sigaction(SIGPIPE, &ignore, &earlier_) == 0;
    }
    PipeSignalIgnored(const PipeSignalIgnored &) = delete;
    PipeSignalIgnored &operator=(const PipeSignalIgnored &) = delete;
    ~PipeSignalIgnored()
    {
        if (set_) ::sigaction(SIGPIPE, &earlier_, nullptr);
    }

private:
    struct sigaction earlier_ {};
    bool set_ = false;
};

// What the child could not do before it became the program, reported to the parent.
struct Failure {
    bool entering = false; // entering the directory, rather than executing the program
    int error = 0;
};

// In the child: the report of what it could not do, and the status of a program not started.
[[noreturn]] void fail_in_child(int report, bool entering)
{
    const Failure failure{entering, errno};
    (void)!::write(report, &failure, sizeof failure);
    ::_exit(127);
}

// In the child: the soft and hard limit of `resource` lowered to `value`, if it is lower.
void lower_limit(int resource, unsigned long long value)
{
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0) return;
    const auto bound = static_cast<rlim_t>(value);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < bound) return;
    limit.rlim_cur = limit.rlim_max = bound;
    ::setrlimit(resource, &limit);
}

// In the child: a group of its own and the bounds of `limits`, with no core file; ended
// with this process, should it die first.
void bound(const Limits &limits)
{
    if (!limits.any()) return;
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    lower_limit(RLIMIT_CORE, 0);
    if (limits.seconds > 0) {
        const double seconds = std::ceil(std::min(limits.seconds, longest_bound));
        lower_limit(RLIMIT_CPU, static_cast<unsigned long long>(seconds) + 1);
    }
    if (limits.address_space > 0) lower_limit(RLIMIT_AS, limits.address_space);
    if (limits.file_size > 0) lower_limit(RLIMIT_FSIZE, limits.file_size);
}

// In the child, which may only make async-signal-safe calls: becomes the program, with `in`,
// `out` and `err` as its standard input, output and error, in `directory` (when one is given),
// within `limits`.
[[noreturn]] void become(int in, int out, int err, int report, const std::string &directory,
                         char *const argv[], char *const envp[], const Limits &limits)
{
    if (::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0)
        fail_in_child(report, false);
    bound(limits);
    // The caller may ignore SIGPIPE and SIGXFSZ, and an ignored signal stays ignored across exec.
    std::signal(SIGPIPE, SIG_DFL);
    std::signal(SIGXFSZ, SIG_DFL);
    if (!directory.empty() && ::chdir(directory.c_str()) != 0) fail_in_child(report, true);
    ::execve(argv[0], argv, envp);
    fail_in_child(report, false);
}

// In the parent: whether the child reported what it could not do, in `failure`; it reports
// nothing once it became the program (the report's write end closes on exec).
bool failure_reported(const Descriptor &report, Failure &failure)
{
    ssize_t got = 0;
    while ((got = ::read(report.fd, &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    return got == static_cast<ssize_t>(sizeof failure);
}

// Appends what fd holds now to `into`, up to one byte past `bound`, which tells that the bound
// was passed; false once it is at its end or past its bound.
bool drain(int fd, std::string &into, std::size_t bound)
{
    char buffer[65536];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (got <= 0) return false;
    const std::size_t room = into.size() > bound ? 0 : bound + 1 - into.size();
    into.append(buffer, std::min(static_cast<std::size_t>(got), room));
    return into.size() <= bound;
}

// The milliseconds left until `deadline` for poll(), -1 (no end) when it is unset.
int left_ms(Clock::time_point deadline)
{
    if (deadline == Clock::time_point{}) return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1000000));
}

// Writes `input` to `in` while reading `out` and `err` until both end, or `child` has ended
// and what it wrote is read (what it started may hold them open), so that a program that
// writes much while it reads never waits on this one (a closed descriptor is left out). What
// it writes past its bound, or the deadline, ends the reading; `overflowed` or `late` then.
// `status` holds the child's once it is `reaped`.
void exchange(Descriptor &in, std::string_view input, Descriptor &out, std::string &from_out,
              Descriptor &err, std::string &from_err, Clock::time_point deadline, bool &overflowed,
              bool &late, pid_t child, int &status, bool &reaped)
{
    if (in.fd >= 0) ::fcntl(in.fd, F_SETFL, O_NONBLOCK);
    int after_end = 0; // reads since the child ended
    while (!overflowed && !late && (out.fd >= 0 || err.fd >= 0) && after_end < 64) {
        pollfd watched[3] = {{out.fd, POLLIN, 0}, {err.fd, POLLIN, 0}, {in.fd, POLLOUT, 0}};
        const int wait_ms = reaped ? 0 : left_ms(deadline);
        const int ready = ::poll(watched, 3, wait_ms < 0 || wait_ms > 50 ? 50 : wait_ms);
        // A program that keeps writing a little is late all the same.
        late = left_ms(deadline) == 0;
        if (reaped && ready == 0) break;
        if (reaped) ++after_end;
        if (!reaped && ::waitpid(child, &status, WNOHANG) == child) reaped = true;
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (watched[0].revents != 0 && !drain(out.fd, from_out, kept_out)) out.close();
        if (watched[1].revents != 0 && !drain(err.fd, from_err, kept_said)) err.close();
        overflowed = from_out.size() > kept_out || from_err.size() > kept_said;
        if (watched[2].revents != 0) {
            const ssize_t put = ::write(in.fd, input.data(), input.size());
            if (put > 0) input.remove_prefix(static_cast<std::size_t>(put));
            if ((put < 0 && errno != EAGAIN && errno != EINTR) || input.empty()) in.close();
        }
    }
    in.close();
    out.close();
    err.close();
    from_out.resize(std::min(from_out.size(), kept_out));
    from_err.resize(std::min(from_err.size(), kept_said));
}

// The children of this process, up to `room` of them, into `pids` (from /proc, as a signal
// handler may read it: no allocation), those that have ended and wait to be reaped negated;
// their count, or -1 when /proc cannot be read.
int children(pid_t *pids, int room)
{
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0) return -1;
    const pid_t self = ::getpid();
    int count = 0;
    alignas(8) char entries[8192];
    for (long got; count < room && (got = ::syscall(SYS_getdents64, proc, entries, sizeof entries)) > 0;) {
        for (long at = 0; at < got && count < room;) {
            // struct linux_dirent64: inode (8), offset (8), record length (2), type (1), name.
            unsigned short length = 0;
            std::memcpy(&length, entries + at + 16, sizeof length);
            const char *const name = entries + at + 19;
            at += length;
            pid_t pid = 0;
            const char *c = name;
            for (; *c >= '0' && *c <= '9'; ++c) pid = pid * 10 + (*c - '0');
            if (*c != '\0' || pid <= 0) continue;
            char path[32] = "/proc/";
            char digits[16];
            int n = 0;
            for (pid_t p = pid; p > 0; p /= 10) digits[n++] = static_cast<char>('0' + p % 10);
            int end = 6;
            while (n > 0) path[end++] = digits[--n];
            std::memcpy(path + end, "/stat", 6);
            const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            char stat[512];
            const ssize_t read = ::read(fd, stat, sizeof stat - 1);
            ::close(fd);
            if (read <= 0) continue;
            stat[read] = '\0';
            // "pid (name) state ppid ...": the name may hold anything, up to its last ')'.
            const char *close = nullptr;
            for (const char *p = stat; *p != '\0'; ++p)
                if (*p == ')') close = p;
            if (close == nullptr || close[1] == '\0' || close[2] == '\0') continue;
            pid_t parent = 0;
            for (const char *p = close + 4; *p >= '0' && *p <= '9'; ++p)
                parent = parent * 10 + (*p - '0');
            if (parent == self) pids[count++] = close[2] == 'Z' ? -pid : pid;
        }
    }
    ::close(proc);
    return count;
}

// Ends every child of this process, and those that come to it as their parents end (it is
// their subreaper), until none is left; how many were running at first.
int end_children()
{
    int first = -1;
    // A bound on the rounds, against a program that forks as fast as it is ended.
    for (int round = 0; round < 1000; ++round) {
        pid_t pids[1024];
        const int count = children(pids, 1024);
        if (first < 0)
            first = static_cast<int>(std::count_if(pids, pids + std::max(count, 0),
                                                   [](pid_t pid) { return pid > 0; }));
        if (count <= 0) break;
        for (int i = 0; i < count; ++i) ::kill(std::abs(pids[i]), SIGKILL);
        for (int i = 0; i < count; ++i)
            while (::waitpid(std::abs(pids[i]), nullptr, 0) < 0 && errno == EINTR) {
            }
    }
    return std::max(first, 0);
}

// Waits for `child` to end, up to `deadline` if one is set; `late` when it had to be ended then.
int wait_for(pid_t child, bool group, Clock::time_point deadline, bool &late)
{
    int status = 0;
    for (;;) {
        const pid_t got = ::waitpid(child, &status, deadline == Clock::time_point{} ? 0 : WNOHANG);
        if (got == child || (got < 0 && errno != EINTR)) return status;
        if (got == 0 && left_ms(deadline) == 0) {
            late = true;
            ::kill(group ? -child : child, SIGKILL);
            deadline = {};
        } else if (got == 0) {
            ::poll(nullptr, 0, std::min(left_ms(deadline), 10));
        }
    }
}

// The handlers that were there before end_child_on_signals(), handed on to.
EarlierHandlers earlier_handler;

void end_child_and_reraise(int signal)
{
    end_running_program();
    remove_work_directory_now();
    hand_on(signal, earlier_handler);
}

} // namespace

std::string beside_self(const char *name)
{
    std::string self(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= self.size()) return "";
    self.resize(static_cast<std::size_t>(length));
    const std::string file = self.substr(0, self.rfind('/') + 1) + name;
    return executable(file) ? file : "";
}

std::string on_path(const char *name)
{
    const char *const path = std::getenv("PATH");
    const std::string directories = path != nullptr ? path : "/bin:/usr/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = directories.find(':', start);
        std::string directory = directories.substr(start, end - start);
        if (directory.empty()) directory = ".";
        const std::string file = directory + "/" + name;
        if (executable(file)) return absolute(file);
        if (end == std::string::npos) return "";
        start = end + 1;
    }
}

std::string gnuplot_on_path(const char *caller)
{
    std::string gnuplot = on_path("gnuplot");
    if (gnuplot.empty())
        refuse(caller, "o gnuplot não está instalado; instale o pacote gnuplot-nox "
                       "(apt-get install gnuplot-nox)");
    return gnuplot;
}

Finished run_program(const std::string &program, const std::vector<std::string> &arguments,
                     const std::string &directory, Output output, std::string_view input,
                     const std::vector<std::string> &environment, const Limits &limits)
{
    Finished finished;
    finished.directory = directory;
    finished.seconds = limits.seconds;
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    const std::vector<char *> envp = environment_with(environment);

    Descriptor nothing{above_standard(::open("/dev/null", O_RDWR | O_CLOEXEC))};
    Pipe errors;
    Pipe report;
    Pipe out;
    Pipe in;
    if (nothing.fd < 0 || !errors.open() || !report.open() || (output == Output::apart && !out.open()) ||
        (!input.empty() && !in.open())) {
        finished.start = Start::no_pipes;
        finished.error = errno;
        return finished;
    }
    const PipeSignalIgnored ignored(!input.empty());
    // What a bounded program starts comes back to this process when its parent ends.
    const bool group = limits.any();
    if (group) ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t child = ::fork();
    if (child < 0) {
        finished.start = Start::no_process;
        finished.error = errno;
        return finished;
    }
    if (child == 0) {
        const int output_to = output == Output::apart    ? out.write.fd
                              : output == Output::merged ? errors.write.fd
                                                         : nothing.fd;
        become(input.empty() ? nothing.fd : in.read.fd, output_to, errors.write.fd, report.write.fd,
               directory, argv.data(), envp.data(), limits);
    }
    // Set from both sides, so that the group is there whichever runs first.
    if (group) ::setpgid(child, child);
    const std::chrono::duration<double> allowed(std::min(limits.seconds, longest_bound));
    const Clock::time_point deadline =
        limits.seconds > 0 ? Clock::now() + std::chrono::duration_cast<Clock::duration>(allowed)
                           : Clock::time_point{};
    running_group.store(group);
    running.store(child);
    in.read.close();
    out.write.close();
    errors.write.close();
    report.write.close();
    if (Failure failure; failure_reported(report.read, failure)) {
        finished.start = failure.entering ? Start::no_directory : Start::no_program;
        finished.error = failure.error;
    }
    int status = 0;
    bool reaped = false;
    exchange(in.write, input, out.read, finished.out, errors.read, finished.said, deadline,
             finished.overflowed, finished.timed_out, child, status, reaped);
    if (!reaped && (finished.overflowed || finished.timed_out))
        ::kill(group ? -child : child, SIGKILL);
    if (!reaped) status = wait_for(child, group, deadline, finished.timed_out);
    // What it started and left running ends with it.
    if (group) {
        finished.left_running = end_children();
        ::kill(-child, SIGKILL);
    }
    running.store(0);
    if (WIFEXITED(status)) finished.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) finished.signal = WTERMSIG(status);
    return finished;
}

std::string why_failed(const Finished &run, const std::string &name)
{
    const std::string why = ": " + reason(run.error);
    switch (run.start) {
    case Start::no_pipes: return "não é possível abrir os canais para " + name + why;
    case Start::no_process: return "não é possível criar um processo para " + name + why;
    case Start::no_directory:
        return "não é possível entrar em " + about(run.directory, reason(run.error));
    case Start::no_program: return "não é possível executar " + name + why;
    case Start::done: break;
    }
    if (run.overflowed) {
        const bool said_over = run.said.size() >= kept_said;
        return name + " escreveu mais de " + std::to_string((said_over ? kept_said : kept_out) >> 20U) +
               " MiB sem acabar; começou por " + quoted(said_over ? run.said : run.out);
    }
    if (run.timed_out) return name + " não acabou em " + text(run.seconds) + " s";
    if (run.signal != 0) return name + " foi terminado pelo sinal " + std::to_string(run.signal);
    return run.status == 0 ? "" : name + " falhou";
}

void end_child_on_signals() { chain_on_ending_signals(end_child_and_reraise, earlier_handler); }

void start_tool()
{
    open_standard_descriptors();
    std::signal(SIGXFSZ, SIG_IGN);
    end_child_on_signals();
}

int run_tool(const char *program, int argc, char **argv, int (*run)(int, char **))
try {
    start_tool();
    if (!keep_memory_for_failure()) return out_of_memory(program);
    return run(argc, argv);
} catch (const std::bad_alloc &) {
    return out_of_memory(program);
}

void end_running_program()
{
    const pid_t child = running.load();
    if (child <= 0) return;
    ::kill(running_group.load() ? -child : child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (running_group.load()) end_children();
}

} // namespace osc
