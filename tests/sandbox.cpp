#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <new>
#include <stdexcept>
#include <string_view>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

Sandbox::Sandbox()
{
    std::string pattern = (fs::temp_directory_path() / "osc-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    work_ = root_ / "work";
    fs::create_directory(work_);
    fs::create_directory(root_ / "io");
}

Sandbox::~Sandbox()
{
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void Sandbox::write(const std::string &name, const std::string &content) const
{
    std::ofstream(path(name), std::ios::binary) << content;
}

std::string Sandbox::read(const std::string &name) const { return read_file(path(name)); }

bool Sandbox::exists(const std::string &name) const
{
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path(name), ignored));
}

namespace {

constexpr rlim_t file_size_cap = 128UL * 1024 * 1024;
constexpr unsigned hang_limit_seconds = 60;

// No run of the suite writes more than a few tens of megabytes: one that loops for ever writing
// rows stops at this size instead of filling the disk and the test's memory before the hang
// limit comes.
void capped_file_size()
{
    rlimit size{};
    if (::getrlimit(RLIMIT_FSIZE, &size) == 0 && size.rlim_cur > file_size_cap) {
        size.rlim_cur = file_size_cap;
        ::setrlimit(RLIMIT_FSIZE, &size);
    }
}

void redirect(const fs::path &file, int flags, int target)
{
    const int fd = ::open(file.c_str(), flags, 0644);
    if (fd < 0 || ::dup2(fd, target) < 0) ::_exit(126);
    ::close(fd);
}

int child_descriptor(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    return -1;
#endif
}

} // namespace

RunResult Sandbox::run(const std::string &program, const std::string &input) const
{
    return run_command({program}, input);
}

namespace {

// While it lives, this process stands in for a run in `dir`, under the same limits: the
// standard streams read and write these, files stop at the cap, and past the hang limit SIGALRM
// ends the whole test program. The run's signal dispositions and new-handler are undone after.
class InProcessRun {
public:
    InProcessRun(const fs::path &dir, std::istream &in, std::ostream &out, std::ostream &err)
        : dir_(fs::current_path()), new_handler_(std::get_new_handler())
    {
        fs::current_path(dir);
        ::getrlimit(RLIMIT_FSIZE, &size_);
        capped_file_size();
        ::sigaction(SIGPIPE, nullptr, &pipe_);
        ::sigaction(SIGXFSZ, nullptr, &file_size_);
        in_ = std::cin.rdbuf(in.rdbuf());
        out_ = std::cout.rdbuf(out.rdbuf());
        err_ = std::cerr.rdbuf(err.rdbuf());
        std::cin.clear();
        ::alarm(hang_limit_seconds);
    }
    ~InProcessRun()
    {
        ::alarm(0);
        std::cin.rdbuf(in_);
        std::cout.rdbuf(out_);
        std::cerr.rdbuf(err_);
        for (std::ios *stream : {static_cast<std::ios *>(&std::cin),
                                 static_cast<std::ios *>(&std::cout),
                                 static_cast<std::ios *>(&std::cerr)})
            stream->clear();
        ::sigaction(SIGPIPE, &pipe_, nullptr);
        ::sigaction(SIGXFSZ, &file_size_, nullptr);
        ::setrlimit(RLIMIT_FSIZE, &size_);
        std::set_new_handler(new_handler_);
        std::error_code ignored;
        fs::current_path(dir_, ignored);
    }
    InProcessRun(const InProcessRun &) = delete;
    InProcessRun &operator=(const InProcessRun &) = delete;

private:
    fs::path dir_;
    std::new_handler new_handler_;
    rlimit size_{};
    struct sigaction pipe_{}, file_size_{};
    std::streambuf *in_ = nullptr, *out_ = nullptr, *err_ = nullptr;
};

} // namespace

RunResult Sandbox::call(const std::function<int()> &program, const std::string &input) const
{
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    RunResult result;
    {
        const InProcessRun run(work_, in, out, err);
        result.status = program();
    }
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::function<int()> started(int (*main)(int, char **), const std::string &name)
{
    return [main, name] {
        std::string argument = name;
        char *argv[] = {argument.data(), nullptr};
        return main(1, argv);
    };
}

RunResult Sandbox::run_command(const std::vector<std::string> &command,
                               const std::string &input) const
{
    const auto hang_limit = std::chrono::seconds(hang_limit_seconds);
    std::vector<char *> argv;
    argv.reserve(command.size() + 1);
    for (const std::string &word : command) argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);

    const fs::path in = root_ / "io" / "stdin";
    const fs::path out = root_ / "io" / "stdout";
    const fs::path err = root_ / "io" / "stderr";
    std::ofstream(in, std::ios::binary) << input;

    // Whatever the user's own NO_COLOR, the programs are tested in their default colours.
    std::vector<char *> environment;
    for (char **variable = environ; *variable != nullptr; ++variable)
        if (std::string_view(*variable).rfind("NO_COLOR=", 0) != 0) environment.push_back(*variable);
    environment.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (::chdir(work_.c_str()) != 0) ::_exit(126);
        redirect(in, O_RDONLY, STDIN_FILENO);
        redirect(out, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
        redirect(err, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
        // The program starts with the three standard streams and nothing the test runner left
        // open, as from a shell.
        for (int fd = 3; fd < 1024; ++fd) ::close(fd);
        // Signals that a call in this process may have left ignored start at their defaults.
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGXFSZ, SIG_DFL);
        capped_file_size();
        ::execve(argv[0], argv.data(), environment.data());
        ::_exit(127);
    }

    RunResult result;
    const auto limit = start + hang_limit;
    int wstatus = 0;
    // The child's end wakes the test where the kernel gives it a descriptor (Linux 5.3);
    // elsewhere the test looks in short naps, which cost the machine more.
    const int ended = child_descriptor(pid);
    while (::waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > limit) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &wstatus, 0);
            result.timed_out = true;
            break;
        }
        pollfd ready{ended, POLLIN, 0};
        if (ended < 0 || ::poll(&ready, 1, 1000) < 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (ended >= 0) ::close(ended);
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
    result.out = read_file(out);
    result.err = read_file(err);
    if (result.timed_out) ADD_FAILURE() << command.front() << " hung: killed after a minute";
    return result;
}

std::vector<std::string> with_private_mounts(std::vector<std::string> command)
{
    const bool root = ::geteuid() == 0;
    command.insert(command.begin(), {"/usr/bin/unshare", root ? "--mount" : "--map-root-user"});
    if (!root) command.insert(command.begin() + 2, "--mount");
    return command;
}

const std::string &private_mounts_refused()
{
    static const std::string why = [] {
        const Sandbox box;
        const RunResult run = box.run_command(with_private_mounts(
            {"/bin/sh", "-c", "mount -t tmpfs -o size=64k tmpfs \"$0\" && : > \"$0\"/m && ls \"$0\"",
             box.dir().string()}));
        if (run.status == 0 && run.out == "m\n") return std::string();
        return "no mounts of a test's own here (status " + std::to_string(run.status) + "): " + run.err;
    }();
    return why;
}

std::string read_file(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> fields_of(const std::string &line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; in >> field;) fields.push_back(field);
    return fields;
}

namespace {

// Each entry under `dir`, named from `prefix`; a link is not followed, not even to see whether
// it leads to a directory (a link to itself would throw).
void take(const fs::path &dir, const fs::path &prefix, Snapshot &entries)
{
    for (const auto &entry : fs::directory_iterator(dir)) {
        const auto type = entry.symlink_status().type();
        const fs::path name = prefix / entry.path().filename();
        entries[name.string()] = type == fs::file_type::regular
                                     ? read_file(entry.path())
                                     : "<kind " + std::to_string(int(type)) + ">";
        if (type == fs::file_type::directory) take(entry.path(), name, entries);
    }
}

} // namespace

Snapshot snapshot(const Sandbox &box)
{
    Snapshot entries;
    take(box.dir(), "", entries);
    return entries;
}

std::string changes(const Snapshot &before, const Snapshot &after)
{
    std::string changed;
    for (const auto &[name, content] : before) {
        const auto now = after.find(name);
        if (now == after.end()) changed += "removed " + name + "\n";
        else if (now->second != content) changed += "changed " + name + "\n";
    }
    for (const auto &entry : after)
        if (before.count(entry.first) == 0) changed += "added " + entry.first + "\n";
    return changed;
}

std::vector<Curve> keyed_curves_of(const std::string &table)
{
    const std::string key = "# Curve title: \"";
    std::vector<Curve> curves;
    for (const std::string &line : lines_of(table)) {
        if (line.rfind("# Curve ", 0) == 0 && line.size() > 8 && std::isdigit(line[8]) != 0)
            curves.emplace_back();
        if (line.rfind(key, 0) == 0 && !curves.empty())
            curves.back().key = line.substr(key.size(), line.size() - key.size() - 1);
        const auto fields = fields_of(line);
        if (fields.size() == 3 && fields[0][0] != '#' && !curves.empty()) {
            curves.back().points.emplace_back(std::stod(fields[0]), std::stod(fields[1]));
            curves.back().marks.push_back(fields[2]);
        }
    }
    return curves;
}

std::vector<std::vector<Point>> curves_of(const std::string &table)
{
    std::vector<std::vector<Point>> curves;
    for (Curve &curve : keyed_curves_of(table)) curves.push_back(std::move(curve.points));
    return curves;
}

std::vector<std::map<std::string, std::string>> panels_of(const std::string &table)
{
    std::vector<std::map<std::string, std::string>> panels;
    for (const std::string &line : lines_of(table)) {
        const std::size_t colon = line.find(": ");
        if (line.rfind("# ", 0) != 0 || colon == std::string::npos) continue;
        if (line.rfind("# painel:", 0) == 0) panels.emplace_back();
        if (!panels.empty()) panels.back()[line.substr(2, colon - 2)] = line.substr(colon + 2);
    }
    return panels;
}

std::pair<std::string, Point> axis_of(const std::string &fact)
{
    const std::size_t de = fact.rfind(", de ");
    const auto numbers = fields_of(fact.substr(de + 5));
    return {fact.substr(0, de), {std::stod(numbers.at(0)), std::stod(numbers.at(2))}};
}

std::pair<std::uint32_t, std::uint32_t> png_size(const std::string &bytes)
{
    const std::string signature = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.compare(0, 8, signature) != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    const auto big_endian = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value << 8U | static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {big_endian(16), big_endian(20)};
}

bool gnuplot_installed()
{
    static const bool installed = std::system("command -v gnuplot > /dev/null 2>&1") == 0;
    return installed;
}
