#include "figures/figure.hpp"

#include "disk/descriptor.hpp"
#include "disk/png.hpp"
#include "measure_program.hpp"
#include "process/child.hpp"
#include "text/messages.hpp"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace osc {

namespace {

// Whether `why` is empty; when not, says why `target` cannot be written.
bool replaceable(const char *caller, const std::string &target, const std::string &why)
{
    if (!why.empty()) refuse(caller, cannot_write(target, why));
    return why.empty();
}

// The last line of what gnuplot said that holds anything, without the place it puts before
// it ("\"/dev/stdin\" line 7: ").
std::string last_words(const std::string &said)
{
    const std::size_t end = said.find_last_not_of(" \n");
    if (end == std::string::npos) return "";
    const std::size_t newline = said.rfind('\n', end);
    const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
    std::string line = said.substr(start, end + 1 - start);
    // The dynamic loader's own line, in English, when the program could not start at all: under
    // a memory limit, most often no room to map its libraries.
    const std::string loader = "error while loading shared libraries: ";
    if (const std::size_t at = line.find(loader); at != std::string::npos) {
        if (line.find("failed to map segment") != std::string::npos)
            return "sem memória para as suas bibliotecas";
        const std::size_t name = at + loader.size();
        return "não carregou a biblioteca " + line.substr(name, line.find(':', name) - name);
    }
    const std::size_t place = line.find(" line ");
    const std::size_t colon = line.find(": ", place);
    if (line.front() == '"' && place != std::string::npos && colon != std::string::npos)
        line.erase(0, colon + 2);
    return line;
}

} // namespace

std::string cannot_write(const std::string &target, const std::string &why)
{
    return "não é possível escrever " + about(target, why);
}

bool figure_replaceable(const char *caller, const std::string &target)
{
    return replaceable(caller, target, why_not_replaceable(target.c_str()));
}

bool tables_replaceable(const char *caller, const std::string &file)
{
    return replaceable(caller, file, why_table_not_replaceable(file.c_str()));
}

Setting::Setting(const char *name, int value) : line(std::string(name) + " = " + std::to_string(value) + "\n") {}

Setting::Setting(const char *name, double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    line = std::string(name) + " = " + text;
    // gnuplot reads "16" as a whole number, and divides it as one.
    if (line.find_first_of(".en", line.size() - std::strlen(text)) == std::string::npos) line += ".0";
    line += '\n';
}

Setting::Setting(const char *name, const char *word) : line(std::string(name) + " = \"" + word + "\"\n") {}

std::string gnuplot_input(const std::vector<Setting> &settings, const std::vector<Datablock> &blocks,
                          const char *program)
{
    std::string input;
    for (const Setting &setting : settings) input += setting.line;
    for (const Datablock &block : blocks) input += block.name + " << EOD\n" + block.lines + "EOD\n";
    return input + measure_program + program;
}

Figure draw(const std::string &gnuplot, const char *program, const std::vector<Setting> &settings,
            const std::vector<Datablock> &blocks, Kind kind)
{
    // A program named as a file is read through stdio's buffer; one read from standard input
    // itself goes byte by byte, a system call each. Its messages come in one locale everywhere.
    Finished run = run_program(gnuplot, {"/dev/stdin"}, "", Output::apart,
                               gnuplot_input(settings, blocks, program), {"LC_ALL=C.UTF-8"});
    Figure figure;
    figure.why = why_failed(run, "o gnuplot");
    if (run.status > 0 && !run.overflowed) {
        const std::string words = last_words(run.said);
        if (!words.empty()) figure.why += ": " + escaped(words);
    }
    if (!figure.why.empty()) return figure;
    figure.bytes = std::move(run.out);
    if (kind == Kind::png && !png_whole(figure.bytes)) figure.why = "o gnuplot não terminou a figura";
    // The text terminal leaves the last line open.
    if (kind == Kind::text && !figure.bytes.empty() && figure.bytes.back() != '\n') figure.bytes += '\n';
    return figure;
}

bool place(const char *caller, Replacement &beside, const std::string &target, const std::string &png)
{
    if (beside.write(png) && beside.commit()) return true;
    refuse(caller, cannot_write(target, reason(beside.error())));
    return false;
}

std::string why_table_not_replaceable(const char *file)
{
    // gnuplot begins a table with an empty line, then the head of its first curve.
    return why_table_not_replaceable(file, "\n# Curve ", "uma tabela de pontos do gnuplot");
}

std::string why_table_not_replaceable(const char *file, std::string_view signature,
                                      const char *kind)
{
    struct stat status {};
    if (::stat(file, &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) return "";
    return why_not_replaceable(file, signature, kind);
}

bool table_replaceable(const char *caller, const std::string &file, std::string_view signature,
                       const char *kind)
{
    return replaceable(caller, file, why_table_not_replaceable(file.c_str(), signature, kind));
}

bool write_tables(const char *caller, const std::string &file, const std::string &tables)
{
    struct stat status {};
    int error = 0;
    if (::stat(file.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        error = write_file(file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, tables);
    } else {
        Replacement replacement;
        if (!(replacement.open(caller, file) && replacement.write(tables) && replacement.commit()))
            error = replacement.error();
    }
    if (error != 0) refuse(caller, cannot_write(file, reason(error)));
    return error == 0;
}

bool open_beside(const char *caller, Replacement &beside, const std::string &target)
{
    if (beside.open(caller, target)) return true;
    refuse(caller, cannot_write(target, reason(beside.error())));
    return false;
}

} // namespace osc
