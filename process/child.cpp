#include "process/child.hpp"

#include "text/messages.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace osc {

namespace {

std::atomic<pid_t> running{0};

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

// In the child: what it could not do, on its standard error, and the status of a program that
// was not started.
[[noreturn]] void fail_in_child(const char *caller, const std::string &doing, int error)
{
    const std::string line = std::string(caller) + ": não é possível " + doing + ": " + reason(error) + "\n";
    const ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
    static_cast<void>(ignored);
    ::_exit(127);
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

Finished run_program(const char *caller, const std::string &program, const std::vector<std::string> &arguments,
                     const std::string &directory, bool keep_output)
{
    Finished finished;
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    int channel[2];
    if (::pipe(channel) != 0) {
        finished.said = std::string(caller) + ": não é possível executar " + program + ": " + reason(errno) + "\n";
        return finished;
    }
    ::fcntl(channel[0], F_SETFD, FD_CLOEXEC);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const int nothing = ::open("/dev/null", O_RDWR);
        if (nothing < 0 || ::dup2(nothing, STDIN_FILENO) < 0 ||
            ::dup2(keep_output ? channel[1] : nothing, STDOUT_FILENO) < 0 ||
            ::dup2(channel[1], STDERR_FILENO) < 0)
            ::_exit(127);
        if (nothing > STDERR_FILENO) ::close(nothing);
        if (channel[1] > STDERR_FILENO) ::close(channel[1]);
        // The caller may ignore SIGPIPE, and an ignored signal stays ignored across exec.
        std::signal(SIGPIPE, SIG_DFL);
        if (::chdir(directory.c_str()) != 0) fail_in_child(caller, "entrar em " + directory, errno);
        ::execv(argv[0], argv.data());
        fail_in_child(caller, "executar " + program, errno);
    }
    ::close(channel[1]);
    if (child < 0) {
        finished.said = std::string(caller) + ": não é possível executar " + program + ": " + reason(errno) + "\n";
        ::close(channel[0]);
        return finished;
    }
    running.store(child);
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        finished.said.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    running.store(0);
    if (WIFEXITED(status)) finished.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) finished.signal = WTERMSIG(status);
    return finished;
}

void end_running_program()
{
    const pid_t child = running.load();
    if (child <= 0) return;
    ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace osc
