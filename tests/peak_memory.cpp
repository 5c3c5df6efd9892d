// peak_memory FILE COMMAND [ARG...]: runs COMMAND, writes its peak resident memory in KiB to
// FILE and ends as COMMAND did. The kernel counts in a child's peak what its parent had resident
// when it forked, so a test program that has just read a million rows cannot measure a child
// itself; this small process forks one whose peak is its own.
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: peak_memory FILE COMMAND [ARG...]\n", stderr);
        return 2;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // a test that kills this process ends the command too
        ::execv(argv[2], argv + 2);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return 126;
    std::FILE *const file = std::fopen(argv[1], "w");
    if (file == nullptr || std::fprintf(file, "%ld\n", usage.ru_maxrss) < 0 || std::fclose(file) != 0)
        return 126;
    if (WIFSIGNALED(status)) {
        std::signal(WTERMSIG(status), SIG_DFL);
        std::raise(WTERMSIG(status));
    }
    return WEXITSTATUS(status);
}
