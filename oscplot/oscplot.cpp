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
#include "disk/replace.hpp"
#include "figures/figure.hpp"
#include "memory/memory.hpp"
#include "oscplot/data_rows.hpp"
#include "oscplot/side_by_side.hpp"
#include "oscplot_program.hpp"
#include "process/child.hpp"
#include "text/command_line.hpp"
#include "text/messages.hpp"
#include "thinning/thinning.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *program = "oscplot";

constexpr std::string_view usage = R"(uso: oscplot [-o FIGURA.png | -t] [--titulo TEXTO] [--tabela TABELA] FICHEIRO...
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
                  escrever nenhum ficheiro; recusa mais ficheiros do que a legenda leva
  --titulo TEXTO  põe TEXTO (as constantes da corrida, por exemplo) no título da figura,
                  tal como está; não com -t
  --tabela TABELA em vez de desenhar, escreve em TABELA os pontos que cada curva da figura
                  desenharia, tal como o gnuplot os recebe ("set table"); nenhuma figura
                  é escrita; uma TABELA que já existe só é substituída se for uma tabela
  --              o que se segue são nomes de ficheiros, mesmo que comecem por -

Uma figura é escrita primeiro num ficheiro temporário ao lado dela e só toma o seu nome
quando está completa: se o desenho falhar, a figura anterior fica como estava.

Estado de saída: 0 tudo desenhado; 1 algum ficheiro recusado (inexistente, vazio, sem
duas linhas de números finitos, ou que não é de dados), uma figura que não se pôde
escrever ou o gnuplot falhou; 2 argumentos inválidos (também -o FIGURA quando FIGURA
existe e não é uma imagem PNG, e --tabela TABELA quando TABELA existe e não é uma
tabela); 3 o gnuplot não está instalado (pacote gnuplot-nox).
)";

struct Options {
    std::string figure;
    bool has_figure = false;
    bool terminal = false;
    std::string table;
    bool has_table = false;
    std::string title;
    bool has_title = false;
    std::vector<std::string> files;
};

// What a run goes by: its options, the gnuplot it draws with, and the tables gnuplot wrote
// under --tabela, for all the figures of the run.
struct Run {
    const Options &options;
    std::string gnuplot;
    std::string tables;
};

int fail(const std::string &message) { return osc::refuse(program, message); }

// Says that `name` cannot be written, for the reason of `error`.
int cannot_write(const std::string &name, int error)
{
    return fail(osc::cannot_write(name, osc::reason(error)));
}

// A file's name at the head of a message about it.
int refuse_file(const std::string &file, const std::string &why)
{
    return fail(osc::about(file, why));
}

int bad_usage(const std::string &problem) { return osc::bad_usage(program, problem); }

// Writes all of `text` on standard output; false, with errno, when it does not take it.
bool put_out(std::string_view text) { return osc::write_all(1, text); }

// What gnuplot is given for one figure: datablocks $ti and $pi for each file i, and the names.
class Drawing {
public:
    void add(const std::string &name, const std::vector<osc::Row> &time, const osc::Runs &phase)
    {
        ++files_;
        const std::string number = std::to_string(files_);
        std::string block;
        // Runs of two segments, each starting on the row that ended the one before: cairo
        // strokes a run as one shape, in a time that grows faster than its points, and with
        // round caps the seams do not show.
        constexpr std::size_t chain = 2;
        for (std::size_t i = 0; i < time.size(); ++i) {
            row(block, time[i], true);
            if ((i + 1) % chain == 0) {
                block += '\n';
                row(block, time[i], true);
            }
        }
        blocks_.push_back({"$t" + number, std::move(block)});
        block.clear();
        for (std::size_t run = 0; run < phase.size(); ++run) {
            if (run > 0) block += '\n';
            for (const osc::Row &point : phase[run]) row(block, point, false);
        }
        blocks_.push_back({"$p" + number, std::move(block)});
        longest_ = std::max(longest_, hex_line(names_, name));
    }

    // A title over the figure, any text; it follows the names in $names.
    void title(const std::string &text)
    {
        title_.clear();
        hex_line(title_, text);
    }

    int files() const { return files_; }

    // The characters of the longest name, as the key counts them.
    std::size_t longest() const { return longest_; }

    // The quantity ("t", "x" or "v") whose span or values over the drawing no double holds
    // once multiplied by `headroom`, with its lowest and highest values; nullptr when none.
    const char *overflowing(double headroom, double &low, double &high) const
    {
        constexpr const char *names[] = {"t", "x", "v"};
        for (int q = 0; q < 3; ++q)
            if (!std::isfinite((highs_[q] - lows_[q]) * headroom) ||
                !std::isfinite(std::max(-lows_[q], highs_[q]) * headroom)) {
                low = lows_[q];
                high = highs_[q];
                return names[q];
            }
        return nullptr;
    }

    // gnuplot's settings and datablocks.
    std::vector<osc::Setting> settings(const char *layout, int columns, int lines, bool tables) const
    {
        return {{"layout", layout}, {"files", files_}, {"columns", columns}, {"lines", lines},
                {"tables", tables ? 1 : 0}, {"titled", title_.empty() ? 0 : 1}};
    }
    std::vector<osc::Datablock> blocks() const
    {
        std::vector<osc::Datablock> all{{"$names", names_ + title_}};
        all.insert(all.end(), blocks_.begin(), blocks_.end());
        return all;
    }

private:
    // Appends `text` to `into` hex-encoded, one line, as gnuplot is to show it: control
    // characters (a newline, say) as "?"; returns its characters.
    static std::size_t hex_line(std::string &into, const std::string &text)
    {
        constexpr char digits[] = "0123456789abcdef";
        std::size_t characters = 0;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c < 0x20 || c == 0x7f ? '?' : c);
            into += digits[byte >> 4U];
            into += digits[byte & 15U];
            if ((byte & 0xC0U) != 0x80U) ++characters;
        }
        into += '\n';
        return characters;
    }

    static void number(std::string &into, double value)
    {
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, value);
        into.append(text, written.ptr);
    }

    // A row as gnuplot reads it: "t x v" for the time panels, "x v" for the phase portrait.
    void row(std::string &into, const osc::Row &r, bool with_time)
    {
        if (with_time) {
            const double values[] = {r.t, r.x, r.v};
            for (int q = 0; q < 3; ++q) {
                lows_[q] = std::min(lows_[q], values[q]);
                highs_[q] = std::max(highs_[q], values[q]);
            }
            number(into, r.t);
            into += ' ';
        }
        number(into, r.x);
        into += ' ';
        number(into, r.v);
        into += '\n';
    }

    int files_ = 0;
    std::size_t longest_ = 0;
    double lows_[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                       std::numeric_limits<double>::max()};
    double highs_[3] = {std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest(),
                        std::numeric_limits<double>::lowest()};
    std::string names_;
    std::string title_; // a hex line, never empty once set
    std::vector<osc::Datablock> blocks_;
};

// The two thinnings side by side.
void thin(const std::vector<osc::Row> &rows, std::vector<osc::Row> &time, osc::Runs &phase)
{
    osc::side_by_side([&] { phase = osc::thin_phase(rows); }, [&] { time = osc::thin_time(rows); });
}

// The rows of `file`, open in `source`, thinned; says why and returns false when it cannot be
// drawn.
bool thinned(const std::string &file, const osc::DataSource &source, std::vector<osc::Row> &time,
             osc::Runs &phase)
try {
    std::vector<osc::Row> rows;
    const std::string why = osc::finite_rows_in_halves(source, rows);
    if (!why.empty()) {
        refuse_file(file, why);
        return false;
    }
    thin(rows, time, phase);
    return true;
} catch (const std::bad_alloc &) {
    // A file too long to hold its rows; what they took is free again for the next file.
    if (!osc::keep_memory_for_failure()) throw;
    refuse_file(file, osc::reason(ENOMEM));
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
bool open_source(const std::string &file, osc::DataSource &source)
{
    const std::string why = source.open(file);
    if (why.empty()) return true;
    refuse_file(file, why);
    return false;
}

// Runs gnuplot on the drawing; says why and returns false when it failed. `what` names the
// drawing in the message.
bool plot(Run &run, const Drawing &drawing, const char *layout, const std::string &what, std::string &out,
          int columns = 0, int lines = 0)
{
    // The terminal's tic steps are reckoned from up to 16 times a span or a value.
    double low = 0;
    double high = 0;
    const bool text = std::string_view(layout) == "text";
    if (const char *const quantity = drawing.overflowing(text ? 16 : 1, low, high)) {
        refuse_file(what, std::string("de ") + quantity + " = " + osc::text(low) + " a " + quantity + " = " +
                              osc::text(high) + " vai além do maior double; o gnuplot não o desenha");
        return false;
    }
    const bool tables = run.options.has_table;
    const osc::Kind kind = tables ? osc::Kind::table : text ? osc::Kind::text : osc::Kind::png;
    osc::Figure figure = osc::draw(run.gnuplot, osc::oscplot_program,
                                   drawing.settings(layout, columns, lines, tables), drawing.blocks(), kind);
    if (!figure.why.empty()) {
        refuse_file(what, figure.why);
        return false;
    }
    if (tables) run.tables += figure.bytes;
    out = std::move(figure.bytes);
    return true;
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

// Says on standard output which figure was written; every character shows, none is cut.
int announce(const std::string &figure)
{
    if (put_out(osc::escaped(figure, std::string::npos) + "\n")) return 0;
    return osc::refuse_standard_output(program, errno);
}

// The most files the key below a terminal drawing of `columns` by `lines` holds for names of
// `longest` characters, one row at least being left to the phase portrait above it.
int most_in_terminal(int columns, int lines, std::size_t longest)
{
    const int across = std::max(1, columns / (static_cast<int>(std::min<std::size_t>(longest, 1000)) + 12));
    return std::max(0, lines / 2 - 5) * across;
}

// All files in the terminal, one line fewer than it for the prompt that follows.
int draw_in_terminal(Run &run, const Drawing &drawing, const std::string &shown)
{
    const int columns = terminal_size("COLUMNS", true, 40, 100);
    const int lines = terminal_size("LINES", false, 20, 30) - 1;
    const int most = most_in_terminal(columns, lines, drawing.longest());
    if (drawing.files() > most)
        return fail("-t: os nomes de " + std::to_string(drawing.files()) + " ficheiros não cabem na legenda " +
                    "de um terminal de " + std::to_string(columns) + "x" + std::to_string(lines + 1) +
                    ", que leva até " + std::to_string(most) + "; desenhe-os com -o FIGURA.png");
    std::string out;
    if (!plot(run, drawing, "text", shown, out, columns, lines)) return 1;
    if (run.options.has_table || put_out(out)) return 0;
    return osc::refuse_standard_output(program, errno);
}

// All files in one drawing: in the terminal, or into one figure.
int draw_together(Run &run)
{
    const Options &options = run.options;
    osc::Replacement beside;
    if (options.has_figure && !options.has_table && !osc::open_beside(program, beside, options.figure)) return 1;
    int status = 0;
    Drawing drawing;
    if (options.has_title) drawing.title(options.title);
    std::string shown;
    for (const std::string &file : options.files) {
        osc::DataSource source;
        if (!open_source(file, source) || !prepare(file, source, drawing)) {
            status = 1;
            continue;
        }
        shown += (shown.empty() ? "" : " ") + file;
    }
    if (drawing.files() == 0) return status;
    if (options.terminal) return draw_in_terminal(run, drawing, shown) != 0 ? 1 : status;
    std::string out;
    if (!plot(run, drawing, "compare", options.figure, out)) return 1;
    if (options.has_table) return status;
    if (!osc::place(program, beside, options.figure, out)) return 1;
    return announce(options.figure) != 0 ? 1 : status;
}

// Each file into FILE.png beside it.
int draw_each(Run &run)
{
    const Options &options = run.options;
    int status = 0;
    for (const std::string &file : options.files) {
        osc::DataSource source;
        if (!open_source(file, source)) {
            status = 1;
            continue;
        }
        const std::string target = file + ".png";
        if (!osc::figure_replaceable(program, target)) {
            status = 1;
            continue;
        }
        osc::Replacement beside;
        Drawing drawing;
        if (options.has_title) drawing.title(options.title);
        std::string out;
        if ((!options.has_table && !osc::open_beside(program, beside, target)) ||
            !prepare(file, source, drawing) || !plot(run, drawing, "png", file, out)) {
            status = 1;
            continue;
        }
        if (options.has_table) continue;
        if (!osc::place(program, beside, target, out) || announce(target) != 0) status = 1;
    }
    return status;
}

// Writes the tables of the run to the --tabela file: a regular file is replaced whole or not
// at all; anything else (/dev/stdout, a pipe) is written into, never renamed over.
int write_tables(const Run &run)
{
    const std::string &name = run.options.table;
    if (!run.options.has_table || run.tables.empty()) return 0;
    struct stat status {};
    if (::stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        const int error = osc::write_file(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, run.tables);
        return error == 0 ? 0 : cannot_write(name, error);
    }
    osc::Replacement file;
    if (file.open(program, name) && file.write(run.tables) && file.commit()) return 0;
    return cannot_write(name, file.error());
}

int run(int argc, char **argv)
{
    Options options;
    const osc::CommandLine line = osc::read_command_line(
        argc, argv,
        {{"-o", &options.has_figure, &options.figure, "o nome da figura"},
         {"-t", &options.terminal},
         {"--tabela", &options.has_table, &options.table, "o nome da tabela"},
         {"--titulo", &options.has_title, &options.title, "o título"}},
        false);
    if (const int status = osc::answer_command_line(line, program, std::string(usage)); status >= 0)
        return status;
    options.files = line.operands;
    if (options.has_figure && options.terminal) return bad_usage("-o e -t não se combinam");
    if (options.has_title && options.terminal) return bad_usage("--titulo e -t não se combinam");
    if (options.files.empty()) return bad_usage("nenhum ficheiro de dados");
    if ((options.has_figure && !osc::figure_replaceable(program, options.figure)) ||
        (options.has_table && !osc::tables_replaceable(program, options.table)))
        return 2;
    Run run{options, osc::gnuplot_on_path(program), {}};
    if (run.gnuplot.empty()) return 3;
    const int drawn = options.terminal || options.has_figure ? draw_together(run) : draw_each(run);
    return write_tables(run) != 0 ? 1 : drawn;
}

} // namespace

// Memory that runs out, reading a file too long to hold its rows say, ends the run with one
// line; each hidden file beside a figure goes as the run unwinds.
int main(int argc, char **argv)
try {
    osc::start_tool();
    if (!osc::keep_memory_for_failure()) return osc::out_of_memory(program);
    return run(argc, argv);
} catch (const std::bad_alloc &) {
    return osc::out_of_memory(program);
}
