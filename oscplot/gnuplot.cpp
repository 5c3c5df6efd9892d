#include "oscplot/gnuplot.hpp"

#include "text/messages.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace osc {

namespace {

// The three pipes to gnuplot, closed once done with.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() = default;
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    ~Pipe()
    {
        close(read);
        close(write);
    }
    bool open()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return false;
        read = ends[0];
        write = ends[1];
        return true;
    }
    static void close(int &fd)
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

// Appends what fd holds now to `into`; false once it is at its end.
bool drain(int fd, std::string &into)
{
    char buffer[65536];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (got <= 0) return false;
    into.append(buffer, static_cast<std::size_t>(got));
    return true;
}

} // namespace

GnuplotRun run_gnuplot(const std::string &path, const std::string &program)
{
    GnuplotRun run;
    Pipe input;
    Pipe output;
    Pipe errors;
    if (!input.open() || !output.open() || !errors.open()) {
        run.err = reason(errno);
        return run;
    }
    // A gnuplot that ends before reading all of its program must not end oscplot; a closed
    // standard output still does, as for any tool in a pipeline.
    std::signal(SIGPIPE, SIG_IGN);
    struct RestorePipeSignal {
        RestorePipeSignal() = default;
        RestorePipeSignal(const RestorePipeSignal &) = delete;
        RestorePipeSignal &operator=(const RestorePipeSignal &) = delete;
        ~RestorePipeSignal() { std::signal(SIGPIPE, SIG_DFL); }
    } restore;
    const pid_t child = ::fork();
    if (child < 0) {
        run.err = reason(errno);
        return run;
    }
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        ::dup2(input.read, 0);
        ::dup2(output.write, 1);
        ::dup2(errors.write, 2);
        ::setenv("LC_ALL", "C.UTF-8", 1);
        // A program named as a file is read through stdio's buffer; one read from standard
        // input itself goes byte by byte, a system call each.
        char *const argv[] = {const_cast<char *>("gnuplot"), const_cast<char *>("/dev/stdin"), nullptr};
        ::execv(path.c_str(), argv);
        constexpr std::string_view failed = "não é possível executar o gnuplot\n";
        (void)!::write(2, failed.data(), failed.size());
        ::_exit(127);
    }
    Pipe::close(input.read);
    Pipe::close(output.write);
    Pipe::close(errors.write);
    ::fcntl(input.write, F_SETFL, O_NONBLOCK);
    std::string_view left = program;
    if (left.empty()) Pipe::close(input.write);
    while (output.read >= 0 || errors.read >= 0) {
        pollfd watched[3] = {{output.read, POLLIN, 0}, {errors.read, POLLIN, 0}, {input.write, POLLOUT, 0}};
        if (::poll(watched, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (watched[0].revents != 0 && !drain(output.read, run.out)) Pipe::close(output.read);
        if (watched[1].revents != 0 && !drain(errors.read, run.err)) Pipe::close(errors.read);
        if (watched[2].revents != 0) {
            const ssize_t put = ::write(input.write, left.data(), left.size());
            if (put > 0) left.remove_prefix(static_cast<std::size_t>(put));
            if ((put < 0 && errno != EAGAIN && errno != EINTR) || left.empty()) Pipe::close(input.write);
        }
    }
    Pipe::close(input.write);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace osc
