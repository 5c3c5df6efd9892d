// Two small tools for bench/run.
//
//   bench run STDIN PROGRAM [ARG...]  runs PROGRAM in the current directory with STDIN as its
//                                input and prints "seconds peak_rss_kib cpu_seconds" for the whole
//                                process (cpu: user and system, children included).
//   bench floor ROWS LENGTH FILE writes ROWS rows of LENGTH bytes (newline included) to FILE,
//                                one write() per row: the cost of flushing every row, with no
//                                arithmetic and no formatting.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int run(const char *input, char **command)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(input, O_RDONLY);
        if (fd < 0 || dup2(fd, STDIN_FILENO) < 0) _exit(126);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execv(command[0], command);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto time_of = [](const timeval &t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children); // gnuplot, for a figure, and the run itself
    std::printf("%.4f %ld %.4f\n", seconds, usage.ru_maxrss, time_of(children.ru_utime) + time_of(children.ru_stime));
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

int floor(long rows, long length, const char *file)
{
    std::string row(static_cast<std::size_t>(length - 1), '7');
    row += '\n';
    const int fd = open(file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return 1;
    for (long i = 0; i < rows; ++i)
        if (write(fd, row.data(), row.size()) != static_cast<ssize_t>(row.size())) return 1;
    return close(fd) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "run" && argc >= 4) return run(argv[2], argv + 3);
    if (mode == "floor" && argc == 5) return floor(std::atol(argv[2]), std::atol(argv[3]), argv[4]);
    std::fprintf(stderr, "usage: bench run STDIN PROGRAM [ARG...] | bench floor ROWS LENGTH FILE\n");
    return 2;
}
