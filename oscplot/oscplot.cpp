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
#include "oscplot/envelope.hpp"
#include "oscplot/side_by_side.hpp"
#include "oscplot_program.hpp"
#include "process/child.hpp"
#include "programs/programs.hpp"
#include "text/command_line.hpp"
#include "text/messages.hpp"
#include "text/reading.hpp"
#include "thinning/thinning.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <string_view>
#include <limits>
#include <new>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *program = "oscplot";

constexpr std::string_view usage =
    R"usage(uso: oscplot [-o FIGURA.png | -t] [--titulo TEXTO] [--janela INÍCIO:FIM]
             [--tabela TABELA] FICHEIRO...
     oscplot -h | --help | --version

Desenha os ficheiros de dados do harmosc, drivenosc e rkstepper com o gnuplot: a posição e
a velocidade contra o tempo e o retrato de fase (velocidade contra posição). Os ficheiros de
três colunas são "t x v"; os de quatro, "n t x v". As linhas com nan ou inf ficam de fora.
Cada ficheiro é nomeado com o programa que escreve um ficheiro com esse nome, se algum o
escreve: "Oscilador_Kutta.dat (harmosc)". Um ficheiro longo é desbastado antes de desenhado:
de cada coluna de píxeis ficam o primeiro, o último, o mais baixo e o mais alto ponto de cada
curva, e a figura é a mesma. Quando as oscilações são tantas que cada uma levaria menos de
duas colunas de píxeis (de carateres, com -t), a linha seria um bloco cheio: desenha-se a
envolvente, o mais baixo e o mais alto de x e de v em cada intervalo de tempo, e o título
do painel di-lo; --janela mostra algumas oscilações.

  sem opções      cada FICHEIRO em FICHEIRO.png, ao lado dele: a posição (eixo da esquerda)
                  e a velocidade (eixo da direita, com a sua escala) contra o tempo, os zeros
                  dos dois eixos à mesma altura, e por baixo o retrato de fase
  -o FIGURA.png   todos os ficheiros numa só figura, uma cor e uma legenda por ficheiro;
                  uma FIGURA que já existe só é substituída se for uma imagem PNG
  -t              desenha no terminal (tamanho de COLUMNS e LINES, ou 100x30), sem
                  escrever nenhum ficheiro; recusa mais ficheiros do que a legenda leva
  --titulo TEXTO  põe TEXTO (as constantes da corrida, por exemplo) no título da figura,
                  tal como está; não com -t
  --janela INÍCIO:FIM
                  desenha só as linhas com t de INÍCIO a FIM: 10:20, ou 10: até ao fim, ou
                  :20 desde o início; um ficheiro sem duas linhas na janela é recusado
  --tabela TABELA em vez de desenhar, escreve em TABELA os pontos que cada curva da figura
                  desenharia, tal como o gnuplot os recebe ("set table"), e depois dos de
                  cada painel o que ele mostra: título, eixos com os seus limites e onde
                  está a legenda; nenhuma figura é escrita; uma TABELA que já existe só é
                  substituída se for uma tabela
  --              o que se segue são nomes de ficheiros, mesmo que comecem por -

Uma figura é escrita primeiro num ficheiro temporário ao lado dela e só toma o seu nome
quando está completa: se o desenho falhar, a figura anterior fica como estava.

Estado de saída: 0 tudo desenhado; 1 algum ficheiro recusado (inexistente, vazio, sem
duas linhas de números finitos, na janela também, que não é de dados, ou de números grandes
ou pequenos demais para o gnuplot), uma figura que não se pôde escrever ou o gnuplot falhou; 2 argumentos inválidos (também -o FIGURA quando
FIGURA existe e não é uma imagem PNG, e --tabela TABELA quando TABELA existe e não é uma
tabela); 3 o gnuplot não está instalado (pacote gnuplot-nox).
)usage";

// The span of time drawn, --janela INÍCIO:FIM; an end not given is open.
struct Window {
    double from = -std::numeric_limits<double>::infinity();
    double to = std::numeric_limits<double>::infinity();
};

// What the command line asks for; an option with a value was given when its value is not
// empty.
struct Options {
    std::string figure;
    bool terminal = false;
    std::string table;
    std::string title;
    std::string window_text;
    Window window;
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

// A file's name at the head of a message about it.
int refuse_file(const std::string &file, const std::string &why)
{
    return fail(osc::about(file, why));
}

int bad_usage(const std::string &problem) { return osc::bad_usage(program, problem); }

// Writes all of `text` on standard output; false, with errno, when it does not take it.
bool put_out(std::string_view text) { return osc::write_all(1, text); }

// What the key calls a file: its name, and the program that writes a file of that name.
std::string label_of(const std::string &file)
{
    const osc::Layout *const layout = osc::layout_of_file(file);
    return layout == nullptr ? file : file + " (" + layout->program + ")";
}

// What gnuplot is given for one figure: datablocks $ti and $pi for each file i, and what the
// key calls each.
class Drawing {
public:
    // A drawing whose time panels are `columns` pixels wide, or characters in the terminal,
    // whose narrow key names the files alone.
    explicit Drawing(std::size_t columns, bool terminal = false)
        : columns_(columns), terminal_(terminal)
    {
    }

    std::size_t columns() const { return columns_; }

    // A file's curves: `time` its line, or its envelope when `oscillations` counts any.
    void add(const std::string &file, const osc::Runs &time, const osc::Runs &phase,
             const osc::Oscillations &oscillations)
    {
        ++files_;
        const std::string number = std::to_string(files_);
        std::string block;
        // Runs of two segments, each starting on the row that ended the one before: cairo
        // strokes a run as one shape, in a time that grows faster than its points, and with
        // round caps the seams do not show.
        constexpr std::size_t chain = 2;
        for (std::size_t run = 0; run < time.size(); ++run) {
            if (run > 0) block += '\n';
            for (std::size_t i = 0; i < time[run].size(); ++i) {
                row(block, time[run][i], true);
                if ((i + 1) % chain == 0) {
                    block += '\n';
                    row(block, time[run][i], true);
                }
            }
        }
        blocks_.push_back({"$t" + number, std::move(block)});
        block.clear();
        for (std::size_t run = 0; run < phase.size(); ++run) {
            if (run > 0) block += '\n';
            for (const osc::Row &point : phase[run]) row(block, point, false);
        }
        blocks_.push_back({"$p" + number, std::move(block)});
        oscillations_.push_back(
            {std::min<std::size_t>(oscillations.count, std::numeric_limits<int>::max()), oscillations.more});
        longest_ = std::max(longest_, hex_line(names_, terminal_ ? file : label_of(file)));
    }

    // A title over the figure, any text; it follows the names in $names.
    void title(const std::string &text)
    {
        title_.clear();
        hex_line(title_, text);
    }

    // The window of time drawn, in words, for the figure's title.
    void window(const std::string &words) { window_ = words; }

    int files() const { return files_; }

    // The characters of the longest name, as the key counts them.
    std::size_t longest() const { return longest_; }

    // The quantity ("t", "x" or "v") whose lowest and highest values over the drawing are
    // `outside(low, high)`, with them; nullptr when none.
    template <typename Outside>
    const char *quantity_where(Outside outside, double &low, double &high) const
    {
        constexpr const char *names[] = {"t", "x", "v"};
        for (int q = 0; q < 3; ++q)
            if (outside(lows_[q], highs_[q])) {
                low = lows_[q];
                high = highs_[q];
                return names[q];
            }
        return nullptr;
    }

    // gnuplot's settings, and its datablocks, which leave the drawing.
    std::vector<osc::Setting> settings(const char *layout, int columns, int lines, bool tables) const
    {
        std::vector<osc::Setting> all{
            {"layout", layout}, {"files", files_},          {"columns", columns},
            {"lines", lines},   {"tables", tables ? 1 : 0}, {"titled", title_.empty() ? 0 : 1},
            {"windowed", window_.empty() ? 0 : 1}};
        for (std::size_t i = 0; i < oscillations_.size(); ++i) {
            const std::string number = std::to_string(i + 1);
            all.emplace_back(("envelope" + number).c_str(), static_cast<int>(oscillations_[i].count));
            all.emplace_back(("more" + number).c_str(), oscillations_[i].more ? 1 : 0);
        }
        return all;
    }
    std::vector<osc::Datablock> take_blocks()
    {
        blocks_.insert(blocks_.begin(), {"$names", names_ + title_});
        blocks_.push_back({"$window", window_ + "\n"});
        return std::move(blocks_);
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

    std::size_t columns_;
    bool terminal_;
    int files_ = 0;
    std::vector<osc::Oscillations> oscillations_; // of each file drawn as its envelope, else none
    std::size_t longest_ = 0;
    double lows_[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                       std::numeric_limits<double>::max()};
    double highs_[3] = {std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest(),
                        std::numeric_limits<double>::lowest()};
    std::string names_;
    std::string title_; // a hex line, never empty once set
    std::string window_; // "t de 10 a 20", or "" for the whole run
    std::vector<osc::Datablock> blocks_;
};

// The window in words: "t de 10 a 20", "t de 10 em diante", "t até 20".
std::string described(const Window &window)
{
    if (!(window.to < std::numeric_limits<double>::infinity()))
        return "t de " + osc::text(window.from) + " em diante";
    if (!(window.from > -std::numeric_limits<double>::infinity()))
        return "t até " + osc::text(window.to);
    return "t de " + osc::text(window.from) + " a " + osc::text(window.to);
}

// Keeps the rows inside the window; says why when fewer than two are left, or "".
std::string keep_window(const Window &window, std::vector<osc::Row> &rows)
{
    const Window whole;
    if (window.from == whole.from && window.to == whole.to) return "";
    const auto [first, last] = std::minmax_element(
        rows.begin(), rows.end(), [](const osc::Row &a, const osc::Row &b) { return a.t < b.t; });
    const double earliest = first->t;
    const double latest = last->t;
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](const osc::Row &row) {
                                  return !(row.t >= window.from && row.t <= window.to);
                              }),
               rows.end());
    if (rows.size() >= 2) return "";
    const std::string span =
        "(o ficheiro vai de t = " + osc::text(earliest) + " a t = " + osc::text(latest) + ")";
    if (rows.empty()) return "nenhuma linha tem " + described(window) + " " + span;
    return "só uma linha tem " + described(window) + " " + span +
           "; são precisas pelo menos duas para desenhar";
}

// The curves of `rows`, side by side: the phase portrait thinned, and against time the line
// thinned, or its envelope over `columns` spans when an oscillation would take less than two
// columns. Returns the oscillations drawn as an envelope, or none.
osc::Oscillations curves(const std::vector<osc::Row> &rows, std::size_t columns, osc::Runs &time,
                         osc::Runs &phase)
{
    osc::Oscillations enveloped;
    osc::side_by_side([&] { phase = osc::thin_phase(rows); },
                      [&] {
                          const osc::Oscillations many = osc::oscillations(rows);
                          if (2 * many.count <= columns) {
                              time = {osc::thin_time(rows)};
                              return;
                          }
                          enveloped = many;
                          time = osc::envelope(rows, std::min(columns, many.count / 2));
                      });
    return enveloped;
}

// The curves of `file`, open in `source`, within the window, for a drawing of `columns`; says
// why and returns false when it cannot be drawn.
bool thinned(const std::string &file, const osc::DataSource &source, const Window &window,
             std::size_t columns, osc::Runs &time, osc::Runs &phase, osc::Oscillations &oscillations)
try {
    std::vector<osc::Row> rows;
    std::string why = osc::finite_rows_in_halves(source, rows);
    if (why.empty()) why = keep_window(window, rows);
    if (!why.empty()) {
        refuse_file(file, why);
        return false;
    }
    oscillations = curves(rows, columns, time, phase);
    return true;
} catch (const std::bad_alloc &) {
    // A file too long to hold its rows; what they took is free again for the next file.
    if (!osc::keep_memory_for_failure()) throw;
    refuse_file(file, osc::reason(ENOMEM));
    return false;
}

// The curves of `file`, open in `source`, into the drawing; on refusal says why and returns
// false.
bool prepare(const std::string &file, const osc::DataSource &source, const Window &window,
             Drawing &drawing)
{
    osc::Runs time;
    osc::Runs phase;
    osc::Oscillations oscillations;
    if (!thinned(file, source, window, drawing.columns(), time, phase, oscillations)) return false;
    drawing.add(file, time, phase, oscillations);
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

// Runs gnuplot on the drawing, whose blocks it takes; says why and returns false when it
// failed. `what` names the drawing in the message.
bool plot(Run &run, Drawing &drawing, const char *layout, const std::string &what, std::string &out,
          int columns = 0, int lines = 0)
{
    // The terminal's tic steps are reckoned from up to 16 times a span or a value.
    double low = 0;
    double high = 0;
    const bool text = std::string_view(layout) == "text";
    const double headroom = text ? 16 : 1;
    const auto overflows = [headroom](double least, double most) {
        return !std::isfinite((most - least) * headroom) || !std::isfinite(std::max(-least, most) * headroom);
    };
    const bool tables = !run.options.table.empty();
    // Values that are not all 0 but all below the least scale an image draws.
    const auto vanishes = [png = !text && !tables](double least, double most) {
        const double size = std::max(-least, most);
        return png && size > 0.0 && size < osc::least_drawn;
    };
    const auto range = [&](const char *quantity) {
        return std::string("de ") + quantity + " = " + osc::text(low) + " a " + quantity + " = " + osc::text(high);
    };
    if (const char *const quantity = drawing.quantity_where(overflows, low, high)) {
        refuse_file(what, range(quantity) + " vai além do maior double; o gnuplot não o desenha");
        return false;
    }
    if (const char *const quantity = drawing.quantity_where(vanishes, low, high)) {
        refuse_file(what, range(quantity) + " fica abaixo de " + osc::text(osc::least_drawn) + " em valor absoluto" +
                              "; o gnuplot não desenha uma escala tão pequena numa imagem (oscplot -t desenha-a)");
        return false;
    }
    const osc::Kind kind = tables ? osc::Kind::table : text ? osc::Kind::text : osc::Kind::png;
    osc::Figure figure =
        osc::draw(run.gnuplot, osc::oscplot_program,
                  drawing.settings(layout, columns, lines, tables), drawing.take_blocks(), kind);
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
// `longest` characters. Of the phase portrait's half of the lines, a title, two borders, a line
// of tic labels and one below them leave the rest to the key and the plot, and the plot keeps
// three rows: room for two tic steps, which a span across zero needs.
int most_in_terminal(int columns, int lines, std::size_t longest)
{
    const int across = std::max(1, columns / (static_cast<int>(std::min<std::size_t>(longest, 1000)) + 12));
    return std::max(0, lines / 2 - 7) * across;
}

// The terminal's size, one line fewer than it for the prompt that follows.
struct Terminal {
    int columns = terminal_size("COLUMNS", true, 40, 100);
    int lines = terminal_size("LINES", false, 20, 30) - 1;
};

// All files in the terminal.
int draw_in_terminal(Run &run, Drawing &drawing, const Terminal &terminal, const std::string &shown)
{
    const int most = most_in_terminal(terminal.columns, terminal.lines, drawing.longest());
    if (drawing.files() > most)
        return fail("-t: os nomes de " + std::to_string(drawing.files()) +
                    " ficheiros não cabem na legenda de um terminal de " +
                    std::to_string(terminal.columns) + "x" + std::to_string(terminal.lines + 1) +
                    ", que leva até " + std::to_string(most) + "; desenhe-os com -o FIGURA.png");
    std::string out;
    if (!plot(run, drawing, "text", shown, out, terminal.columns, terminal.lines)) return 1;
    if (!run.options.table.empty() || put_out(out)) return 0;
    return osc::refuse_standard_output(program, errno);
}

// What the figure's title says beside the files: the text of --titulo, and the window drawn.
void titled(const Options &options, Drawing &drawing)
{
    if (!options.title.empty()) drawing.title(options.title);
    if (!options.window_text.empty()) drawing.window(described(options.window));
}

// The width of the time panels in pixels: one file's, between its two axes, and several files'.
constexpr std::size_t one_file_columns = 760;
constexpr std::size_t files_columns = 800;

// All files in one drawing: in the terminal, or into one figure.
int draw_together(Run &run)
{
    const Options &options = run.options;
    const bool tables = !options.table.empty();
    osc::Replacement beside;
    if (!options.figure.empty() && !tables && !osc::open_beside(program, beside, options.figure))
        return 1;
    int status = 0;
    const Terminal terminal;
    // The terminal's time panel, between its tic labels and its right edge; one file is drawn
    // as it is into a figure of its own.
    Drawing drawing(options.terminal            ? static_cast<std::size_t>(terminal.columns - 10)
                    : options.files.size() == 1 ? one_file_columns
                                                : files_columns,
                    options.terminal);
    titled(options, drawing);
    std::string shown;
    for (const std::string &file : options.files) {
        osc::DataSource source;
        if (!open_source(file, source) || !prepare(file, source, options.window, drawing)) {
            status = 1;
            continue;
        }
        shown += (shown.empty() ? "" : " ") + file;
    }
    if (drawing.files() == 0) return status;
    if (options.terminal) return draw_in_terminal(run, drawing, terminal, shown) != 0 ? 1 : status;
    std::string out;
    if (!plot(run, drawing, drawing.files() == 1 ? "png" : "compare", options.figure, out)) return 1;
    if (tables) return status;
    if (!osc::place(program, beside, options.figure, out)) return 1;
    return announce(options.figure) != 0 ? 1 : status;
}

// Each file into FILE.png beside it.
int draw_each(Run &run)
{
    const Options &options = run.options;
    const bool tables = !options.table.empty();
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
        Drawing drawing(one_file_columns);
        titled(options, drawing);
        std::string out;
        if ((!tables && !osc::open_beside(program, beside, target)) ||
            !prepare(file, source, options.window, drawing) ||
            !plot(run, drawing, "png", file, out)) {
            status = 1;
            continue;
        }
        if (tables) continue;
        if (!osc::place(program, beside, target, out) || announce(target) != 0) status = 1;
    }
    return status;
}

// Reads --janela INÍCIO:FIM, either end left out; false when it is not two numbers, the first
// before the second.
bool read_window(const std::string &text, Window &window)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || text.size() == 1) return false;
    const auto end = [](const std::string &number, double &value) {
        std::size_t used = 0;
        return number.empty() || (osc::read_whole(number, value, used) == osc::Reading::whole &&
                                  std::isfinite(value));
    };
    return end(text.substr(0, colon), window.from) && end(text.substr(colon + 1), window.to) &&
           window.from < window.to;
}

int run(int argc, char **argv)
{
    Options options;
    const osc::CommandLine line =
        osc::read_command_line(argc, argv,
                               {{"-o", nullptr, &options.figure, "o nome da figura"},
                                {"-t", &options.terminal},
                                {"--tabela", nullptr, &options.table, "o nome da tabela"},
                                {"--titulo", nullptr, &options.title, "o título"},
                                {"--janela", nullptr, &options.window_text, "a janela"}},
                               false);
    if (const int status = osc::answer_command_line(line, program, std::string(usage)); status >= 0)
        return status;
    options.files = line.operands;
    const bool figure = !options.figure.empty();
    const bool tables = !options.table.empty();
    if (figure && options.terminal) return bad_usage("-o e -t não se combinam");
    if (!options.title.empty() && options.terminal)
        return bad_usage("--titulo e -t não se combinam");
    if (!options.window_text.empty() && !read_window(options.window_text, options.window))
        return bad_usage("--janela espera INÍCIO:FIM, dois números de t, o primeiro menor "
                         "(10:20, 10: ou :20), não '" + osc::escaped(options.window_text) + "'");
    if (options.files.empty()) return bad_usage("nenhum ficheiro de dados");
    if ((figure && !osc::figure_replaceable(program, options.figure)) ||
        (tables && !osc::tables_replaceable(program, options.table)))
        return 2;
    Run run{options, osc::gnuplot_on_path(program), {}};
    if (run.gnuplot.empty()) return 3;
    const int drawn = options.terminal || figure ? draw_together(run) : draw_each(run);
    if (!tables || run.tables.empty()) return drawn;
    return osc::write_tables(program, options.table, run.tables) ? drawn : 1;
}

} // namespace

// Memory that runs out, reading a file too long to hold its rows say, ends the run with one
// line; each hidden file beside a figure goes as the run unwinds.
int main(int argc, char **argv) { return osc::run_tool(program, argc, argv, run); }
