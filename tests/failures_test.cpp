// What the programs answer on the command line and the reason they give when a file cannot be
// read or written. Each case runs in a directory full of an earlier run's files, which must come
// out as they went in.

#include "sandbox.hpp"

#include "dataformat/layout.hpp"
#include "process/child.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char *const user_files[] = {"input_1a.txt",     "parametros_sistema.txt", "Oscilador_Kutta.dat",
                                  "Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat",        "Kutta_1a_3w0.dat",
                                  "RK_generico_1b.txt"};

// A directory as the user left it: valid parameter files and earlier data files.
void fill(const Sandbox &box)
{
    box.write("input_1a.txt", "1 0 10 0.1\n");
    box.write("parametros_sistema.txt", "1 0 10 0.1\n");
    for (const char *file : user_files)
        if (!box.exists(file)) box.write(file, std::string("earlier ") + file + "\n");
}


struct Program {
    std::string name;
    std::string path;
};
const Program programs[] = {
    {"harmosc", HARMOSC}, {"drivenosc", DRIVENOSC}, {"rkstepper", RKSTEPPER}, {"oscplot", OSCPLOT},
    {"oscorder", OSCORDER}, {"oscstudy", OSCSTUDY}};

// Why a program that runs for a tool gave nothing to use: one reason for each way it can fail,
// and what it writes kept up to a bound, past which it is ended.
TEST(Children, SayWhyTheyGaveNothing)
{
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        std::string directory, why;
    };
    const Case cases[] = {
        {"/bin/true", {}, "", ""},
        {"/bin/false", {}, "", "o programa falhou"},
        {"/bin/sh", {"-c", "kill -9 $$"}, "", "o programa foi terminado pelo sinal 9"},
        {"/usr/bin/yes", {}, "", "o programa escreveu mais de 1 MiB sem acabar; começou por \"y\\x0ay\\x0ay"},
        {"/nowhere/program", {}, "", "não é possível executar o programa: ficheiro ou diretório inexistente"},
        {"/bin/true", {}, "/nowhere", "não é possível entrar em /nowhere: ficheiro ou diretório inexistente"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.program);
        const osc::Finished run = osc::run_program(c.program, c.arguments, c.directory, osc::Output::merged);
        const std::string why = osc::why_failed(run, "o programa");
        EXPECT_EQ(c.why.empty() ? why : why.substr(0, c.why.size()), c.why);
        EXPECT_LE(run.said.size(), osc::kept_said);
    }
    EXPECT_EQ(osc::run_program("/bin/cat", {}, "", osc::Output::apart, "linhas\n").out, "linhas\n");
}

// Each program and tool answers its command line before it touches a file: help, an unknown
// argument after it, and a version that cannot be written (the rules are the text test's).
TEST(Arguments, AreAnsweredWithoutTouchingAFile)
{
    struct Case {
        std::vector<std::string> arguments;
        int status;
        bool usage; // standard output starts with the usage
        const char *run; // how the shell runs the program
        const char *why; // status 1: why standard output takes nothing
    };
    const char *const as_is = "exec \"$0\" \"$@\"";
    const Case cases[] = {
        {{"--help"}, 0, true, as_is, ""},
        {{"-h", "--bogus"}, 2, false, as_is, ""},
        {{"--version"}, 1, false, "exec \"$0\" \"$@\" > /dev/full", "não há espaço livre no dispositivo"},
        // Closed, it stays closed: the answer fails instead of vanishing with status 0.
        {{"--version"}, 1, false, "exec \"$0\" \"$@\" >&-", "o descritor de ficheiro não está aberto"}};
    for (const Program &program : programs)
        for (const Case &c : cases) {
            SCOPED_TRACE(program.name + " " + c.arguments.back());
            Sandbox box;
            fill(box);
            const auto before = snapshot(box);
            std::vector<std::string> command = {"/bin/sh", "-c", c.run, program.path};
            command.insert(command.end(), c.arguments.begin(), c.arguments.end());
            const RunResult run = box.run_command(command, "1\n1 1\n1 0\n1\n");
            EXPECT_EQ(run.status, c.status);
            EXPECT_EQ(changes(before, snapshot(box)), "");
            if (c.usage) {
                EXPECT_EQ(run.out.rfind("uso: " + program.name, 0), 0u) << run.out;
                EXPECT_NE(run.out.find("0 "), std::string::npos) << "exit statuses: " << run.out;
                EXPECT_EQ(run.err, "");
            } else if (c.status == 1) {
                EXPECT_EQ(run.err, program.name + ": não é possível escrever na saída padrão: " +
                                       c.why + "\n");
            } else {
                EXPECT_EQ(run.out, "");
                EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
                EXPECT_EQ(run.err, program.name + ": argumento desconhecido '" +
                                       c.arguments.back() + "' (veja " + program.name +
                                       " --help)\n");
            }
        }
}

// A reason reaches the user with the file it is about; each reason a data file can have, a
// directory without write permission among them, is disk_test's. A run of 10^8 rows (30 bytes
// each) is told its size first, whatever the file is.
TEST(FailureReasons, NameTheFileAndSayWhy)
{
    struct Case {
        std::string kind;
        std::function<void(const Sandbox &)> setup;
        std::vector<std::string> command;
        std::string input;
        std::string err;
    };
    const Case cases[] = {
        {"a full disk",
         [](const Sandbox &box) { fs::create_symlink("/dev/full", box.path("Oscilador_Kutta.dat")); },
         {HARMOSC}, "1\n1 1\n0 0\n1e7\n",
         "harmosc: aviso: linhas seguidas repetem t a partir de t = 100000\n  os números escritos "
         "têm seis algarismos significativos, que a partir daí não distinguem t de\n  t + 0.1\n"
         "harmosc: aviso: esta execução escreve cerca de 3 GB em Oscilador_Kutta.dat (1e+08 "
         "linhas)\n  mais de 1 GB; se não é o que queria, interrompa-a com Ctrl+C\n"
         "harmosc: não é possível escrever Oscilador_Kutta.dat: não há espaço livre no dispositivo\n"},
        {"no such file", [](const Sandbox &) {}, {DRIVENOSC}, "1\n",
         "drivenosc: não é possível ler input_1a.txt: ficheiro ou diretório inexistente; deve "
         "conter quatro números: x0 v0 N h\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        Sandbox box;
        c.setup(box);
        const RunResult run = box.run_command(c.command, c.input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.err);
    }
}

// A read-only file system needs one of its own: a private mount, where the machine allows it.
TEST(FailureReasons, ReadOnlyFileSystem)
{
    if (!private_mounts_refused().empty()) GTEST_SKIP() << private_mounts_refused();
    Sandbox box;
    const std::string script = "mount -t tmpfs -o ro tmpfs \"$0\" && cd \"$0\" && exec \"$1\"";
    const RunResult run = box.run_command(
        with_private_mounts({"/bin/sh", "-c", script, box.dir().string(), HARMOSC}));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "harmosc: não é possível escrever Oscilador_Kutta.dat: sistema de ficheiros só de leitura\n");
}

// The same three runs, one per program, for the tests of the data files below.
struct DataRun {
    const char *program;
    std::string parameter_file, parameters, input, data_file;
    std::size_t columns;
};
const DataRun data_runs[] = {
    {HARMOSC, "", "", "1\n1 1\n1 0\n1000\n", "Oscilador_Kutta.dat", 3},
    {DRIVENOSC, "input_1a.txt", "1 0 100000 0.01", "2\n", "Kutta_1a_w0.dat", 4},
    {RKSTEPPER, "parametros_sistema.txt", "1 0 100000 0.01", "", "RK_generico_1b.txt", 3},
};

#ifndef OSC_SANITIZED
// Under an address-space or data limit where a program starts at all (the loader needs about
// 6 MB), it completes or ends with one line and status 1, every file as it was: never an
// abort. So does oscstudy, whose rows are never held: 10⁷ steps fit in 64 MB of address space.
// (The sanitizers reserve far more address space than these limits.)
TEST(Memory, NoAbortUnderAnyLimit)
{
    const std::pair<std::vector<std::string>, std::string> programs[] = {
        {{HARMOSC}, "1\n1 1\n1 0\n1\n"}, {{DRIVENOSC}, "1\n"}, {{RKSTEPPER}, ""},
        {{OSCSTUDY, "metodos"}, ""}, {{OSCSTUDY, "ressonancia", "drivenosc"}, ""}};
    struct Limit {
        std::string option;
        long from, to, step;
    };
    const Limit limits[] = {{"--as=", 5 << 20, 7 << 20, 16 << 10}, {"--data=", 64 << 10, 1 << 20, 32 << 10}};
    for (const auto &[program, input] : programs)
        for (const auto &[limit, from, to, step] : limits) {
            Sandbox box;
            fill(box);
            for (long bytes = from; bytes < to; bytes += step) {
                SCOPED_TRACE(program.back() + " " + limit + std::to_string(bytes));
                const auto before = snapshot(box);
                std::vector<std::string> command{"/usr/bin/prlimit", limit + std::to_string(bytes), "--"};
                command.insert(command.end(), program.begin(), program.end());
                const RunResult run = box.run_command(command, input);
                ASSERT_EQ(run.signal, 0) << run.err;
                if (run.status == 127 || run.status == 0) continue; // could not start; ran
                EXPECT_EQ(run.status, 1);
                EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
                EXPECT_NE(run.err.find("memória insuficiente"), std::string::npos) << run.err;
                EXPECT_EQ(changes(before, snapshot(box)), "");
            }
        }
    // A token longer than the memory left: the stream says only that it failed, which is not
    // the end of the input.
    std::string answers = "1\n";
    answers.append(30000000, '7').append(" 1\n1 0\n1\n");
    Sandbox box;
    const RunResult run =
        box.run_command({"/usr/bin/prlimit", "--as=40000000", "--", HARMOSC}, answers);
    EXPECT_EQ(run.err, "harmosc: memória insuficiente para continuar a execução\n");
    const RunResult cap = box.run_command({"/usr/bin/prlimit", "--as=" + std::to_string(64 << 20), "--",
                                           OSCSTUDY, "erro", "rkstepper", "N=10000000", "h=0.001"});
    EXPECT_EQ(cap.status, 0) << cap.err;
}
#endif

// A second run finds the data file locked by the first (here the test holds the lock, as a
// running program does) and refuses at once, touching nothing.
TEST(DataFiles, OneWriterAtATime)
{
    for (const DataRun &r : data_runs) {
        SCOPED_TRACE(r.program);
        Sandbox box;
        fill(box);
        if (!r.parameter_file.empty()) box.write(r.parameter_file, r.parameters);
        const auto before = snapshot(box);
        // Even a shared lock keeps out a run that wants to write.
        const int held = ::open(box.path(r.data_file).c_str(), O_RDONLY);
        ASSERT_EQ(::flock(held, LOCK_SH), 0);
        const RunResult run = box.run(r.program, r.input);
        ::close(held);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, fs::path(r.program).filename().string() + ": não é possível escrever " +
                               r.data_file + ": outra execução está a escrevê-lo; espere que termine\n");
        EXPECT_EQ(changes(before, snapshot(box)), "");
    }
}

// harmosc run in `box` while the test stands at each open of a file in its directory, between
// the open and the lock: `at_open(n, fd)` sees the n-th open (from 0) and the file opened, and
// the run goes on when it returns. False where the system lets no test watch opens.
bool run_pausing_opens(const Sandbox &box, const std::string &input, RunResult &run,
                       const std::function<void(int, int)> &at_open)
{
    const int watch = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC | FAN_NONBLOCK, O_RDONLY);
    if (watch < 0) return false;
    if (::fanotify_mark(watch, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD, AT_FDCWD,
                        box.dir().c_str()) != 0) {
        ::close(watch);
        return false;
    }
    std::atomic<bool> done{false};
    std::thread answer([&] {
        pollfd ready{watch, POLLIN, 0};
        fanotify_event_metadata event{};
        for (int n = 0; !done;)
            while (::poll(&ready, 1, 10) > 0 && ::read(watch, &event, sizeof event) == sizeof event) {
                at_open(n++, event.fd);
                const fanotify_response allow{event.fd, FAN_ALLOW};
                EXPECT_EQ(::write(watch, &allow, sizeof allow), ssize_t(sizeof allow));
                ::close(event.fd);
            }
    });
    run = box.run(HARMOSC, input);
    done = true;
    answer.join();
    ::close(watch);
    return true;
}

// What another run may do at the moment harmosc opens its data file: take hold of a file that
// has just been made, before its maker locks it (the maker then must not remove it); take
// its name away, as a check does with what it made, before harmosc has the lock (harmosc must
// see that it holds a file without a name); or put another file in its place at every open.
// disk_test stands at the same opens in-process, as any user; this is the whole program's.
TEST(DataFiles, NoRunLosesItsFileToAnother)
{
    const std::string file = "Oscilador_Kutta.dat";
    enum Other { takes_the_new_file, takes_the_name_away, replaces_it };
    struct Case {
        std::string kind;
        Other other;
        std::string err; // or the run completes
    };
    const Case cases[] = {
        {"takes the new file", takes_the_new_file, ""},
        {"takes the name away", takes_the_name_away, ""},
        {"replaces it at every open", replaces_it,
         "harmosc: não é possível escrever " + file + ": foi removido ou trocado por outro de cada "
         "vez que se abria (10 tentativas)\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        Sandbox box;
        if (c.other == takes_the_name_away) box.write(file, "earlier\n");
        for (int i = 0; i < 12; ++i) box.write("../spare" + std::to_string(i), "");
        int held = -1;
        RunResult run;
        const bool watched = run_pausing_opens(box, "1\n1 1\n1 0\n1\n", run, [&](int n, int fd) {
            struct stat opened {};
            const bool named = ::fstat(fd, &opened) == 0 && opened.st_nlink > 0;
            if (c.other == takes_the_new_file && named && held < 0) {
                held = ::dup(fd);
                EXPECT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
            }
            if (c.other == takes_the_name_away && n == 1) ::unlink(box.path(file).c_str());
            if (c.other == replaces_it)
                ::rename(box.path("../spare" + std::to_string(n)).c_str(), box.path(file).c_str());
        });
        if (!watched) GTEST_SKIP() << "no watching of opens here (fanotify needs CAP_SYS_ADMIN)";
        EXPECT_EQ(run.err, c.err);
        EXPECT_TRUE(!c.err.empty() || lines_of(box.read(file)).size() == 11u) << box.read(file);
        struct stat at_name {};
        struct stat kept {};
        EXPECT_TRUE(held < 0 || (::stat(box.path(file).c_str(), &at_name) == 0 &&
                                 ::fstat(held, &kept) == 0 && at_name.st_ino == kept.st_ino))
            << "the file another run holds lost its name";
        ::close(held);
    }
}

// When a row cannot be written whole (here a file-size limit of 4096 bytes, set on the run),
// the file is cut back to the end of the last complete row, and the run says how many it keeps
// (every wording of it is disk_test's).
TEST(DataFiles, ARowThatCannotBeWrittenWholeIsCutBack)
{
    for (const DataRun &r : data_runs) {
        SCOPED_TRACE(r.program);
        Sandbox box;
        if (!r.parameter_file.empty()) box.write(r.parameter_file, r.parameters);
        const RunResult run =
            box.run_command({"/usr/bin/prlimit", "--fsize=4096", "--", r.program}, r.input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.signal, 0);
        const std::string content = box.read(r.data_file);
        const auto rows = lines_of(content);
        ASSERT_FALSE(rows.empty());
        EXPECT_GT(content.size() + 40, 4096u) << "the limit, not something else, stopped it";
        EXPECT_EQ(content.back(), '\n');
        for (const std::string &row : rows) EXPECT_EQ(fields_of(row).size(), r.columns) << row;
        const auto said = lines_of(run.err);
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back(), fs::path(r.program).filename().string() +
                                   ": não é possível escrever " + r.data_file +
                                   ": o ficheiro excede o tamanho máximo permitido; o ficheiro "
                                   "fica com as " + std::to_string(rows.size()) +
                                   " linhas completas escritas até então");
    }
}

// Rows in most runs and at their longest: each growing column in the decade of its bound
// (five shown), position, velocity, and the separators.
TEST(DataFiles, RowLengthsOnDisk)
{
    struct Case {
        std::initializer_list<double> growing;
        double typical, upper;
    };
    const Case cases[] = {
        {{}, 9 + 9, 13 + 13},           // -1.23457 and 0.841471; -1.23457e-05 at most
        {{5000}, 18 + 8, 26 + 9},       // 1234.56
        {{0.5}, 18 + 9, 26 + 10},       // 0.123457
        {{150000}, 18 + 7, 26 + 8},     // 123457
        {{1e9}, 18 + 12, 26 + 13},      // 1.23457e+08
        {{1e100}, 18 + 13, 26 + 14},    // 1.23457e+100
        {{50000, 5000}, 18 + 16, 26 + 18},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(osc::row_bytes_typical(c.growing), c.typical) << c.typical;
        EXPECT_EQ(osc::row_bytes_upper(c.growing), c.upper) << c.upper;
    }
}

// On a disk of 1 MiB (1.05 MB), a run whose rows cannot fit at their typical length is refused
// and one that fits only so is warned of; a disk that fills stops it cleanly.
TEST(DataFiles, ARunLargerThanTheFreeSpaceIsRefusedOrWarned)
{
    const std::string warns = ": aviso: Oscilador_Kutta.dat pode chegar a ";
    const std::string fills = " livres no disco\n  se o disco encher, a execução para aí e o "
                              "ficheiro fica com as linhas completas escritas até então";
    // The one line of a run refused for want of disk, nothing written.
    const std::string untouched = "; nenhum ficheiro foi alterado";
    const auto refused = [&untouched](const std::string &program, const std::string &file,
                                      const std::string &size, const std::string &rows,
                                      const std::string &free) {
        return program + ": não é possível escrever " + file + ": ocuparia cerca de " + size + " (" +
               rows + " linhas), mas só há " + free + " livres no disco" + untouched;
    };
    struct Case {
        std::string setup, program, input, data_file, said;
    };
    const Case cases[] = {
        // 35001 rows of 26 bytes, 35 at most: 910 kB to 1.23 MB; positions like 1e-05 take 12.
        {"", HARMOSC, "1\n1 1\n1e-5 0\n3500\n", "Oscilador_Kutta.dat",
         "harmosc" + warns + "1.23 MB (35001 linhas), mas só há 1.05 MB" + fills},
        // 525 kB fits once the 700 kB of the earlier file are given back.
        {"head -c 700000 /dev/zero > Oscilador_Kutta.dat", HARMOSC, "1\n1 1\n1 0\n1500\n",
         "Oscilador_Kutta.dat", ""},
        {"", HARMOSC, "1\n1 1\n1 0\n5000\n", "Oscilador_Kutta.dat",
         refused("harmosc", "Oscilador_Kutta.dat", "1.3 MB", "50001", "1.05 MB")},
        // Refused before the step warnings that k = 25 would give: a refused run says no more.
        {"", HARMOSC, "1\n25 1\n1 0\n9000\n", "Oscilador_Kutta.dat",
         refused("harmosc", "Oscilador_Kutta.dat", "2.34 MB", "90001", "1.05 MB")},
        // n and t take 7 characters each: 50001 rows of 34 bytes; the parameter file holds a
        // page of the disk.
        {"echo '1 0 50000 0.1' > input_1a.txt", DRIVENOSC, "3\n", "Kutta_1a_3w0.dat",
         refused("drivenosc", "Kutta_1a_3w0.dat", "1.7 MB", "50001", "1.04 MB")},
        // 50000 rows of 26 bytes, as harmosc's above.
        {"echo '1 0 50000 0.1' > parametros_sistema.txt", RKSTEPPER, "", "RK_generico_1b.txt",
         refused("rkstepper", "RK_generico_1b.txt", "1.3 MB", "50000", "1.04 MB")},
    };
    const std::string script = R"sh(mount -t tmpfs -o size=1m tmpfs "$0" || exit 99
        cd "$0" && eval "$1"
        "$2" > /dev/null; echo "status $?"
        [[ -e $3 ]] || { echo "rows none"; exit; }
        echo "rows $(wc -l < "$3") $(tail -c 1 "$3" | od -An -c | tr -d ' ')")sh";
    if (!private_mounts_refused().empty()) GTEST_SKIP() << private_mounts_refused();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.program + " " + c.input);
        Sandbox box;
        const RunResult run = box.run_command(
            with_private_mounts({"/bin/bash", "-c", script, box.dir().string(), c.setup,
                                 c.program, c.data_file}),
            c.input);
        const auto said = lines_of(run.err);
        const auto shown = lines_of(run.out);
        ASSERT_EQ(shown.size(), 2u) << run.out;
        EXPECT_EQ(shown[0], c.said.empty() ? "status 0" : "status 1");
        if (c.said.find(untouched) != std::string::npos) {
            EXPECT_EQ(run.err, c.said + "\n");
            EXPECT_EQ(shown[1], "rows none");
            continue;
        }
        const std::string rows = fields_of(shown[1]).at(1);
        EXPECT_EQ(fields_of(shown[1]).at(2), "\\n") << "the last row is whole";
        if (c.said.empty()) {
            EXPECT_EQ(run.err, "");
            continue;
        }
        ASSERT_EQ(said.size(), 3u) << run.err;
        EXPECT_EQ(said[0] + "\n" + said[1], c.said);
        EXPECT_EQ(said[2], fs::path(c.program).filename().string() + ": não é possível escrever " +
                               c.data_file + ": não há espaço livre no dispositivo; o ficheiro " +
                               "fica com as " + rows + " linhas completas escritas até então");
    }
}

} // namespace
