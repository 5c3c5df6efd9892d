// What the programs answer on the command line, how they refuse a value that is a number only
// in part, and the reason they give when a file cannot be read or written. Each case runs in
// a directory full of an earlier run's files, which must come out as they went in.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
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

// Every entry of the directory and what it holds.
std::map<std::string, std::string> snapshot(const Sandbox &box)
{
    std::map<std::string, std::string> entries;
    for (const auto &entry : fs::directory_iterator(box.dir()))
        entries[entry.path().filename().string()] = read_file(entry.path());
    return entries;
}

struct Program {
    std::string name;
    std::string path;
};
const Program programs[] = {
    {"harmosc", HARMOSC}, {"drivenosc", DRIVENOSC}, {"rkstepper", RKSTEPPER}, {"oscplot", OSCPLOT}};

TEST(Arguments, AreAnsweredWithoutTouchingAFile)
{
    struct Case {
        std::vector<std::string> arguments;
        int status;
        bool usage; // standard output starts with the usage; otherwise it is the version or empty
    };
    const Case cases[] = {{{"--help"}, 0, true},        {{"-h"}, 0, true},
                          {{"--version"}, 0, false},    {{"--bogus"}, 2, false},
                          {{"-h", "--bogus"}, 2, false}, {{"-x"}, 2, false}};
    for (const Program &program : programs)
        for (const Case &c : cases) {
            SCOPED_TRACE(program.name + " " + c.arguments.back());
            Sandbox box;
            fill(box);
            const auto before = snapshot(box);
            std::vector<std::string> command = {program.path};
            command.insert(command.end(), c.arguments.begin(), c.arguments.end());
            const RunResult run = box.run_command(command, "1\n1 1\n1 0\n1\n");
            EXPECT_EQ(run.status, c.status);
            EXPECT_EQ(snapshot(box), before);
            if (c.usage) {
                EXPECT_EQ(run.out.rfind("uso: " + program.name, 0), 0u) << run.out;
                EXPECT_NE(run.out.find("0 "), std::string::npos) << "exit statuses: " << run.out;
                EXPECT_EQ(run.err, "");
            } else if (c.status == 0) {
                EXPECT_EQ(run.out, program.name + " " + OSC_VERSION + "\n");
                EXPECT_EQ(run.err, "");
            } else {
                EXPECT_EQ(run.out, "");
                EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
                EXPECT_EQ(run.err.rfind(program.name + ": ", 0), 0u) << run.err;
                EXPECT_NE(run.err.find("'" + c.arguments.back() + "'"), std::string::npos);
                EXPECT_NE(run.err.find("--help"), std::string::npos);
            }
        }
}

// A token the stream would read only in part, or not at all, is refused as a whole: the
// message quotes it and names the value it was for, and no file changes.
TEST(WholeTokens, PartOfANumberIsRefused)
{
    struct Case {
        const char *program;
        std::string input;                    // harmosc's answers, or drivenosc's menu answer
        std::string parameter_file, parameters;
        std::vector<std::string> said;        // what the one line of the message must hold
    };
    const Case cases[] = {
        {HARMOSC, "2\n4 1 0,4\n1 0\n20\n", "", "", {"\"0,4\"", " b", "ponto decimal"}},
        {HARMOSC, "1\n4 1\n1 0\n20s\n", "", "", {"\"20s\"", " tf", "\"20\""}},
        {HARMOSC, "1\nabc 1\n1 0\n1\n", "", "", {"\"abc\"", " k"}},
        {HARMOSC, "1\n4 1e999\n1 0\n1\n", "", "", {"\"1e999\"", " m", "alcance"}},
        {DRIVENOSC, "1\n", "input_1a.txt", "0 1 100 0.05abc", {"\"0.05abc\"", " h", "input_1a.txt"}},
        {DRIVENOSC, "1\n", "input_1a.txt", "0 1,5 100 0.05", {"\"1,5\"", " v0", "ponto decimal"}},
        {RKSTEPPER, "", "parametros_sistema.txt", "1 0 10.5 7", {"\"10.5\"", " N", "inteiro"}},
        {RKSTEPPER, "", "parametros_sistema.txt", "1 0 1e12 0.1", {"\"1e12\"", " N"}},
        {RKSTEPPER, "", "parametros_sistema.txt", "1 0 2147483648 0.1",
         {"\"2147483648\"", " N", "alcance"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input + c.parameters);
        Sandbox box;
        fill(box);
        if (!c.parameter_file.empty()) box.write(c.parameter_file, c.parameters);
        const auto before = snapshot(box);
        const RunResult run = box.run(c.program, c.input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
        for (const std::string &part : c.said) EXPECT_NE(run.err.find(part), std::string::npos)
            << part << " in " << run.err;
        EXPECT_EQ(snapshot(box), before);
    }
}

// Runs the command as someone other than root, who cannot write to a read-only directory.
std::vector<std::string> as_a_user(const std::string &program)
{
    if (::geteuid() != 0) return {program};
    return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", program};
}

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
        {"a directory in the file's place",
         [](const Sandbox &box) { fs::create_directory(box.path("Oscilador_Kutta.dat")); },
         {HARMOSC}, "1\n1 1\n1 0\n1\n",
         "harmosc: não é possível criar Oscilador_Kutta.dat: é um diretório\n"},
        {"a full disk",
         [](const Sandbox &box) { fs::create_symlink("/dev/full", box.path("Oscilador_Kutta.dat")); },
         {HARMOSC}, "1\n1 1\n1 0\n1\n",
         "harmosc: erro ao escrever em Oscilador_Kutta.dat: não há espaço livre no dispositivo\n"},
        {"no such file", [](const Sandbox &) {}, {DRIVENOSC}, "1\n",
         "drivenosc: não foi possível abrir input_1a.txt: ficheiro ou diretório inexistente\n"},
        {"permission denied",
         [](const Sandbox &box) {
             box.write("parametros_sistema.txt", "1 0 10 0.1\n");
             fs::permissions(box.dir().parent_path(), fs::perms(0755));
             fs::permissions(box.dir(), fs::perms(0555));
         },
         as_a_user(RKSTEPPER), "",
         "rkstepper: não foi possível criar RK_generico_1b.txt: permissão negada\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        Sandbox box;
        c.setup(box);
        const RunResult run = box.run_command(c.command, c.input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.err);
        if (c.command.front() == HARMOSC && c.kind != "a full disk") {
            EXPECT_EQ(run.out, "") << "harmosc asks nothing of a run it cannot keep";
        }
    }
}

// A read-only file system needs one of its own: a private mount, where the machine allows it.
TEST(FailureReasons, ReadOnlyFileSystem)
{
    Sandbox box;
    const std::string script = "mount -t tmpfs -o ro tmpfs \"$0\" && cd \"$0\" && exec \"$1\"";
    const RunResult run = box.run_command(
        {"/usr/bin/unshare", "--mount", "/bin/sh", "-c", script, box.dir().string(), HARMOSC});
    if (run.err.find("harmosc") == std::string::npos)
        GTEST_SKIP() << "no private mounts here: " << run.err;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "harmosc: não é possível criar Oscilador_Kutta.dat: sistema de ficheiros só de leitura\n");
}

} // namespace
