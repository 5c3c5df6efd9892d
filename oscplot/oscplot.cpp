// oscplot: pictures of the data files of harmosc, drivenosc and rkstepper, drawn by gnuplot.
//
//   oscplot FICHEIRO...               each file into FICHEIRO.png beside it
//   oscplot -o FIGURA.png FICHEIRO... all files in one figure, one colour per file
//   oscplot -t FICHEIRO...            all files drawn in the terminal; no file is written
//
// Every name is data: gnuplot gets its program (oscplot.gp, built in), the thinned rows and
// the names, hex-encoded, as datablocks on its standard input, and writes the figure on its
// standard output; no name reaches its program text, and no temporary directory is used.
#include "disk/descriptor.hpp"
#include "disk/png.hpp"
#include "disk/replace.hpp"
#include "memory/memory.hpp"
#include "oscplot/data_rows.hpp"
#include "oscplot/thinning.hpp"
#include "oscplot_program.hpp"
#include "process/child.hpp"
#include "text/command_line.hpp"
#include "text/messages.hpp"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>
#include <fcntl.h>
#include <functional>
#include <future>
#include <new>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *program = "oscplot";

constexpr std::string_view usage = R"(uso: oscplot [-o FIGURA.png | -t] [--tabela TABELA] FICHEIRO...
     oscplot -h | --help | --version

Desenha os ficheiros de dados do harmosc, drivenosc e rkstepper com o gnuplot: a posição e
a velocidade contra o tempo e o retrato de fase (velocidade contra posição). Os ficheiros de
três colunas são "t x v"; os de quatro, "n t x v". As linhas com nan ou inf ficam de fora.
Um ficheiro longo é desbastado antes de desenhado: de cada coluna de píxeis ficam o primeiro,
o último, o mais baixo e o mais alto ponto de cada curva, e a figura é a mesma.

  sem opções      cada FICHEIRO em FICHEIRO.png, ao lado dele
  -o FIGURA.png   todos os ficheiros numa só figura, uma cor e uma legenda por ficheiro;
                  uma FIGURA que já existe só é substituída se for uma imagem PNG
  -t              desenha no terminal (tamanho de COLUMNS e LINES, ou 100x30), sem
                  escrever nenhum ficheiro
  --tabela TABELA em vez de desenhar, escreve em TABELA os pontos que cada curva da figura
                  desenharia, tal como o gnuplot os recebe ("set table"); nenhuma figura
                  é escrita
  --              o que se segue são nomes de ficheiros, mesmo que comecem por -

Uma figura é escrita primeiro num ficheiro temporário ao lado dela e só toma o seu nome
quando está completa: se o desenho falhar, a figura anterior fica como estava.

Estado de saída: 0 tudo desenhado; 1 algum ficheiro recusado (inexistente, vazio, sem
duas linhas de números finitos, ou que não é de dados), uma figura que não se pôde
escrever ou o gnuplot falhou; 2 argumentos inválidos (também -o FIGURA quando FIGURA
existe e não é uma imagem PNG); 3 o gnuplot não está instalado (pacote gnuplot-nox).
)";

struct Options {
    std::string figure;
    bool has_figure = false;
    bool terminal = false;
    std::string table;
    bool has_table = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

int fail(const std::string &message) { return osc::refuse(program, message); }

// The one sentence for a file that cannot be written, and why.
int cannot_write(const std::string &name, const std::string &why)
{
    std::string message = "não é possível escrever ";
    message.append(name).append(": ").append(why);
    return fail(message);
}

int bad_usage(const std::string &problem) { return osc::bad_usage(program, problem); }

// Reads the command line into `options`; returns -1 when it holds, or the status to end with.
int parse(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "-t") {
            options.terminal = true;
        } else if (argument == "-o" || argument == "--tabela") {
            const bool figure = argument == "-o";
            if (i + 1 == argc)
                return bad_usage(figure ? "falta o nome da figura depois de -o"
                                        : "falta o nome da tabela depois de --tabela");
            (figure ? options.figure : options.table) = argv[++i];
            (figure ? options.has_figure : options.has_table) = true;
        } else if (argument == "--") {
            options.files.insert(options.files.end(), argv + i + 1, argv + argc);
            break;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return bad_usage(osc::unknown_argument(argument));
        } else {
            options.files.push_back(argument);
        }
    }
    return -1;
}

// Writes all of `text` on standard output; false, with errno, when it does not take it.
bool put_out(std::string_view text) { return osc::write_all(1, text); }

// What gnuplot is given for one figure: datablocks $ti and $pi for each file i, and the names.
class Drawing {
public:
    void add(const std::string &name, const std::vector<osc::Row> &time, const osc::Runs &phase)
    {
        ++files_;
        const std::string number = std::to_string(files_);
        blocks_ += "$t" + number + " << EOD\n";
        // Runs of two segments, each starting on the row that ended the one before: cairo
        // strokes a run as one shape, in a time that grows faster than its points, and with
        // round caps the seams do not show.
        constexpr std::size_t chain = 2;
        for (std::size_t i = 0; i < time.size(); ++i) {
            row(time[i], true);
            if ((i + 1) % chain == 0) {
                blocks_ += '\n';
                row(time[i], true);
            }
        }
        blocks_ += "EOD\n$p" + number + " << EOD\n";
        for (std::size_t run = 0; run < phase.size(); ++run) {
            if (run > 0) blocks_ += '\n';
            for (const osc::Row &point : phase[run]) row(point, false);
        }
        blocks_ += "EOD\n";
        // The name as gnuplot shows it: control characters (a newline, say) as "?".
        constexpr char digits[] = "0123456789abcdef";
        for (const char c : name) {
            const auto byte = static_cast<unsigned char>(c < 0x20 || c == 0x7f ? '?' : c);
            names_ += digits[byte >> 4U];
            names_ += digits[byte & 15U];
        }
        names_ += '\n';
    }

    int files() const { return files_; }

    // gnuplot's whole standard input.
    std::string input(const char *layout, int columns, int lines, bool tables) const
    {
        return "layout = \"" + std::string(layout) + "\"\nfiles = " + std::to_string(files_) +
               "\ncolumns = " + std::to_string(columns) + "\nlines = " + std::to_string(lines) +
               "\ntables = " + (tables ? "1" : "0") + "\n$names << EOD\n" + names_ + "EOD\n" +
               blocks_ + osc::oscplot_program;
    }

private:
    void number(double value)
    {
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, value);
        blocks_.append(text, written.ptr);
    }

    // A row as gnuplot reads it: "t x v" for the time panels, "x v" for the phase portrait.
    void row(const osc::Row &r, bool with_time)
    {
        if (with_time) {
            number(r.t);
            blocks_ += ' ';
        }
        number(r.x);
        blocks_ += ' ';
        number(r.v);
        blocks_ += '\n';
    }

    int files_ = 0;
    std::string names_;
    std::string blocks_;
};

// The rows of `file`, open in `source`, thinned; says why and returns false when it cannot be
// drawn.
bool thinned(const std::string &file, const osc::DataSource &source, std::vector<osc::Row> &time,
             osc::Runs &phase)
try {
    std::vector<osc::Row> rows;
    const std::string why = osc::finite_rows_in_halves(source, rows);
    if (!why.empty()) {
        fail(file + ": " + why);
        return false;
    }
    // The two thinnings side by side, on a machine with a processor to spare.
    std::future<osc::Runs> portrait = std::async(std::launch::async, osc::thin_phase, std::cref(rows));
    time = osc::thin_time(rows);
    phase = portrait.get();
    return true;
} catch (const std::bad_alloc &) {
    // A file too long to hold its rows; what they took is free again for the next file.
    if (!osc::keep_memory_for_failure()) throw;
    fail(file + ": " + osc::reason(ENOMEM));
    return false;
}

// Thins the rows of `file`, open in `source`, into the drawing; on refusal says why and
// returns false.
bool prepare(const std::string &file, const osc::DataSource &source, Drawing &drawing)
{
    std::vector<osc::Row> time;
    osc::Runs phase;
    if (!thinned(file, source, time, phase)) return false;
    drawing.add(file, time, phase);
    return true;
}

// Opens `file`; says why and returns false when it cannot be read.
bool open(const std::string &file, osc::DataSource &source)
{
    const std::string why = source.open(file);
    if (why.empty()) return true;
    fail(file + ": " + why);
    return false;
}

// The tables gnuplot wrote under --tabela, for all the figures of the run.
std::string tables;

// Runs gnuplot on the drawing; says why and returns false when it failed. `what` names the
// drawing in the message.
bool plot(const std::string &gnuplot, const Drawing &drawing, const char *layout,
          const Options &options, const std::string &what, std::string &out, int columns = 0,
          int lines = 0)
{
    // A program named as a file is read through stdio's buffer; one read from standard input
    // itself goes byte by byte, a system call each. Its messages come in one locale everywhere.
    osc::Finished run = osc::run_program(program, gnuplot, {"/dev/stdin"}, "", osc::Output::apart,
                                         drawing.input(layout, columns, lines, options.has_table),
                                         {"LC_ALL=C.UTF-8"});
    if (run.status != 0) {
        while (!run.said.empty() && run.said.back() == '\n') run.said.pop_back();
        fail(what + ": o gnuplot falhou: " + run.said);
        return false;
    }
    if (options.has_table) tables += run.out;
    out = std::move(run.out);
    return true;
}

// Puts the figure gnuplot drew in place of `figure`, through the hidden file beside it.
bool place(osc::Replacement &beside, const std::string &figure, const std::string &png)
{
    if (!osc::png_whole(png)) {
        fail(figure + ": o gnuplot não terminou a figura");
        return false;
    }
    if (beside.write(png) && beside.commit()) return true;
    cannot_write(figure, osc::reason(beside.error()));
    return false;
}

// The hidden file beside a figure, made before the drawing so that a directory that cannot
// take the figure is known first; says why and returns false when it cannot be.
bool open_beside(osc::Replacement &beside, const std::string &figure)
{
    if (beside.open(program, figure)) return true;
    cannot_write(figure, osc::reason(beside.error()));
    return false;
}

// The terminal's size in the shell's COLUMNS and LINES, or asked of the terminal itself.
int terminal_size(const char *variable, bool columns, int lowest, int fallback)
{
    long value = -1;
    const char *const text = std::getenv(variable);
    if (text != nullptr && *text != '\0') {
        const std::string_view digits(text);
        if (digits.find_first_not_of("0123456789") == std::string_view::npos && digits.size() < 6)
            value = std::strtol(text, nullptr, 10);
    } else if (::isatty(1) != 0) {
        winsize size{};
        if (::ioctl(1, TIOCGWINSZ, &size) == 0) value = columns ? size.ws_col : size.ws_row;
    }
    return value >= lowest && value <= 1000 ? static_cast<int>(value) : fallback;
}

int announce(const std::string &figure)
{
    if (put_out(figure + "\n")) return 0;
    return osc::refuse_standard_output(program, errno);
}

// All files in one drawing: in the terminal, or into one figure.
int draw_together(const Options &options, const std::string &gnuplot)
{
    osc::Replacement beside;
    if (options.has_figure && !options.has_table && !open_beside(beside, options.figure)) return 1;
    int status = 0;
    Drawing drawing;
    std::string shown;
    for (const std::string &file : options.files) {
        osc::DataSource source;
        if (!open(file, source) || !prepare(file, source, drawing)) {
            status = 1;
            continue;
        }
        shown += (shown.empty() ? "" : " ") + file;
    }
    if (drawing.files() == 0) return status;
    std::string out;
    if (options.terminal) {
        // One line fewer than the terminal, for the prompt that follows.
        const int columns = terminal_size("COLUMNS", true, 40, 100);
        const int lines = terminal_size("LINES", false, 20, 30) - 1;
        if (!plot(gnuplot, drawing, "text", options, shown, out, columns, lines)) return 1;
        if (options.has_table) return status;
        // gnuplot leaves the last line open.
        if (!out.empty() && out.back() != '\n') out += '\n';
        if (!put_out(out)) return osc::refuse_standard_output(program, errno);
        return status;
    }
    if (!plot(gnuplot, drawing, "compare", options, options.figure, out)) return 1;
    if (options.has_table) return status;
    if (!place(beside, options.figure, out)) return 1;
    return announce(options.figure) != 0 ? 1 : status;
}

// Each file into FILE.png beside it.
int draw_each(const Options &options, const std::string &gnuplot)
{
    int status = 0;
    for (const std::string &file : options.files) {
        osc::DataSource source;
        if (!open(file, source)) {
            status = 1;
            continue;
        }
        const std::string target = file + ".png";
        const std::string why = osc::why_not_replaceable(target.c_str());
        if (!why.empty()) {
            status = cannot_write(target, why);
            continue;
        }
        osc::Replacement beside;
        Drawing drawing;
        std::string out;
        if ((!options.has_table && !open_beside(beside, target)) || !prepare(file, source, drawing) ||
            !plot(gnuplot, drawing, "png", options, file, out)) {
            status = 1;
            continue;
        }
        if (options.has_table) continue;
        if (!place(beside, target, out) || announce(target) != 0) status = 1;
    }
    return status;
}

// Writes the tables of the run to options.table: a regular file is replaced whole or not at
// all; anything else (/dev/stdout, a pipe) is written into, never renamed over.
int write_tables(const Options &options)
{
    if (!options.has_table || tables.empty()) return 0;
    const char *const name = options.table.c_str();
    struct stat status {};
    if (::stat(name, &status) == 0 && !S_ISREG(status.st_mode)) {
        const int fd = ::open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        const bool written = fd >= 0 && osc::write_all(fd, tables);
        const int error = errno;
        if (fd >= 0 && ::close(fd) != 0 && written) return cannot_write(name, osc::reason(errno));
        return written ? 0 : cannot_write(name, osc::reason(error));
    }
    osc::Replacement file;
    if (file.open(program, options.table) && file.write(tables) && file.commit()) return 0;
    return cannot_write(name, osc::reason(file.error()));
}

int run(int argc, char **argv)
{
    Options options;
    const int status = parse(argc, argv, options);
    if (status >= 0) return status;
    if (options.help) return osc::answer(program, std::string(usage));
    if (options.version) return osc::answer_version(program);
    if (options.has_figure && options.terminal) return bad_usage("-o e -t não se combinam");
    if (options.has_figure && options.figure.empty())
        return bad_usage("o nome da figura depois de -o está vazio");
    if (options.has_table && options.table.empty())
        return bad_usage("o nome da tabela depois de --tabela está vazio");
    if (options.files.empty()) return bad_usage("nenhum ficheiro de dados");
    if (options.has_figure) {
        const std::string why = osc::why_not_replaceable(options.figure.c_str());
        if (!why.empty()) {
            cannot_write(options.figure, why);
            return 2;
        }
    }
    const std::string gnuplot = osc::gnuplot_on_path(program);
    if (gnuplot.empty()) return 3;
    const int drawn = options.terminal || options.has_figure ? draw_together(options, gnuplot)
                                                             : draw_each(options, gnuplot);
    return write_tables(options) != 0 ? 1 : drawn;
}

} // namespace

// Memory that runs out, reading a file too long to hold its rows say, ends the run with one
// line; each hidden file beside a figure goes as the run unwinds.
int main(int argc, char **argv)
try {
    if (!osc::keep_memory_for_failure()) return osc::out_of_memory(program);
    return run(argc, argv);
} catch (const std::bad_alloc &) {
    return osc::out_of_memory(program);
}
