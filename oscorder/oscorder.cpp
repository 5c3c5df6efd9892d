// oscorder: the observed order of rkstepper's Runge-Kutta method. Runs rkstepper at a step h,
// then h/2, h/4 and h/8, all to the same final time T, and compares each final position with
// the exact solution of its equation (motion/). A method of order p divides the error by 2^p
// each time the step is halved, so log2 of the ratio of consecutive errors estimates p; only
// errors clear of the rounding of rkstepper's six digits count (order/verdict.hpp). With
// -o FIGURA.png the errors are also drawn against h by gnuplot (oscorder.gp).

#include "oscorder_program.hpp"
#include "motion/motion.hpp"
#include "order/verdict.hpp"

#include "dataformat/rows.hpp"
#include "disk/replace.hpp"
#include "figures/figure.hpp"
#include "process/child.hpp"
#include "process/stepper_run.hpp"
#include "process/work_directory.hpp"
#include "programs/rkstepper_definition.hpp"
#include "stepmath/rk4.hpp"
#include "text/command_line.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"
#include "text/reading.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <complex>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char *const program = "oscorder";
const char *const parameter_file = osc::rkstepper::layout.parameters;
const char *const data_file = osc::rkstepper::layout.files[0];

const char *const usage =
    "uso: oscorder [-o FIGURA.png] [--tabela TABELA] [h T [x0 v0]]\n"
    "     oscorder -h | --help | --version\n"
    "\n"
    "Mede a ordem do método de Runge-Kutta do rkstepper: executa-o com passo h, h/2, h/4 e h/8\n"
    "até ao mesmo instante final T, a partir de x0 e v0, e compara cada posição final com a\n"
    "solução exata de x'' = -x - 0.5·x' + 0.5·sin(3t) (transitório mais regime estacionário).\n"
    "Escreve uma tabela (h, x(T), erro, razão entre erros consecutivos, ordem = log2 da razão)\n"
    "e, na última linha, \"ordem observada: P\", dos dois passos mais pequenos cujos erros se\n"
    "medem.\n"
    "\n"
    "O rkstepper escreve seis algarismos significativos: cada x(T) vem arredondado até meia\n"
    "unidade do sexto algarismo. Um erro só se mede quando passa 16 vezes esse arredondamento;\n"
    "as linhas abaixo disso ficam marcadas \"(abaixo do arredondamento)\" e fora da ordem\n"
    "observada. Se nenhum par de passos seguidos tiver os dois erros medidos, a última linha\n"
    "diz \"ordem observada: nenhuma\" e sugere um h maior, ou outro T se h já é instável.\n"
    "\n"
    "Uma linha cujo erro tem o sinal contrário ao da anterior diz \"(o erro muda de sinal)\":\n"
    "perto de onde o erro passa por zero, a razão entre erros não dá a ordem. A última linha\n"
    "diz também quando P ainda não se pode dar por assente: quando é a única ordem da tabela,\n"
    "quando vem logo a seguir a uma mudança de sinal do erro, ou quando se afasta mais de 0.1\n"
    "da ordem do par anterior; sugere então outro T, um h maior ou um h menor.\n"
    "Um passo fora da região de estabilidade do método (h·w0 acima do limite que uma linha sob\n"
    "a tabela dá) fica marcado \"(instável)\": a solução calculada cresce em vez de amortecer.\n"
    "Sem dois passos seguidos estáveis, não há ordem, e a última linha sugere um h abaixo do\n"
    "limite.\n"
    "\n"
    "  -o FIGURA.png   desenha também, com o gnuplot, o erro contra o passo em escalas\n"
    "                  logarítmicas: os erros medidos (círculos cheios) e os que ficam\n"
    "                  abaixo do limiar de 16 vezes o arredondamento (vazios), uma reta de\n"
    "                  declive 4 e o arredondamento. Não substitui um ficheiro que exista e\n"
    "                  não seja uma imagem PNG.\n"
    "  --tabela TABELA em vez de desenhar a figura, escreve em TABELA os pontos que cada\n"
    "                  curva desenharia, tal como o gnuplot os recebe (\"set table\"), e\n"
    "                  depois deles o que a figura mostra: título, eixos com os seus limites,\n"
    "                  marcas do eixo dos passos e onde está a legenda. Não substitui um\n"
    "                  ficheiro que exista e não seja uma tabela.\n"
    "\n"
    "Por omissão h = 1, T = 10, x0 = 1, v0 = 0. T/h tem de ser inteiro. Executa o rkstepper (o\n"
    "que está ao lado do oscorder, ou o do PATH) num diretório temporário próprio: nenhum\n"
    "ficheiro do diretório atual é lido ou escrito, além da FIGURA e da TABELA. Os avisos do\n"
    "rkstepper só aparecem quando uma das suas execuções falha.\n"
    "\n"
    "Estado de saída: 0 ordem medida, assente ou não; 1 nenhum par de erros medidos, erro que\n"
    "muda de sinal no último par medido, x(T) que não é finito (nan ou inf), o rkstepper\n"
    "falhou, não deixou resultados que se possam ler ou não foi encontrado, o diretório\n"
    "temporário ou a saída padrão não aceitam o que se lhes escreve, ou a figura ou a tabela\n"
    "não se puderam escrever; 2 argumentos inválidos, FIGURA existe e não é uma imagem PNG,\n"
    "ou TABELA existe e não é uma tabela; 3 o gnuplot não está instalado (pacote\n"
    "gnuplot-nox).\n";

// The status of a run whose standard output was a pipe that nobody reads any more: oscorder
// then ends by SIGPIPE, as a program in a pipeline does, once its files are cleaned up.
constexpr int broken_pipe = -1;

using osc::format;

int refuse(const std::string &message) { return osc::refuse(program, message); }

int bad_usage(const std::string &problem) { return osc::bad_usage(program, problem); }

// A decimal number, as rkstepper reads one: [-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?
bool is_number(const std::string &text)
{
    const auto digits = [&](std::size_t &at) {
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        return at - start;
    };
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    std::size_t mantissa = digits(at);
    if (at < text.size() && text[at] == '.') mantissa += digits(++at);
    if (mantissa == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
        if (digits(at) == 0) return false;
    }
    return at == text.size();
}

// The number of steps at h to reach T, or 0 when T/h is not a whole, positive count that
// rkstepper can take eight times over.
long step_count(double h, double T)
{
    if (!(h > 0 && T > 0)) return 0;
    const double n = T / h;
    const double r = std::trunc(n + 0.5);
    if (r >= 1 && r * 8 <= 20000000 && n - r < 1e-9 * r && r - n < 1e-9 * r)
        return static_cast<long>(r);
    return 0;
}

// What one run of rkstepper gave: the run, the x(T) as it wrote it.
struct Measurement {
    osc::Run run;
    std::string position;
};

std::string fields(const std::string &row, std::size_t which)
{
    std::istringstream in(row);
    std::string field;
    for (std::size_t i = 0; i <= which; ++i) in >> field;
    return field;
}

// The last row of rkstepper's data file, or "" and why it has none that will do.
std::string last_row(const std::string &file, std::string &row)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string("não é possível ler ") + data_file + ", que o rkstepper devia ter " +
               "escrito: " + osc::reason(errno);
    struct stat status {};
    const off_t size = ::fstat(fd, &status) == 0 ? status.st_size : 0;
    // A row of three numbers takes some fifty bytes; the tail holds the last one whole.
    const off_t tail = size < 4096 ? size : 4096;
    std::string bytes(static_cast<std::size_t>(tail), '\0');
    const ssize_t got = ::pread(fd, bytes.data(), bytes.size(), size - tail);
    const int error = errno;
    ::close(fd);
    if (got < 0)
        return std::string("não é possível ler ") + data_file + ", que o rkstepper escreveu: " +
               osc::reason(error);
    bytes.resize(static_cast<std::size_t>(got));
    if (bytes.empty()) return std::string("o rkstepper deixou ") + data_file + " vazio";
    if (bytes.back() != '\n')
        return std::string("o ") + data_file + " do rkstepper acaba a meio de uma linha: " +
               osc::quoted(bytes.substr(bytes.rfind('\n') + 1));
    const std::size_t start = bytes.size() < 2 ? std::string::npos : bytes.rfind('\n', bytes.size() - 2);
    row = bytes.substr(start == std::string::npos ? 0 : start + 1);
    row.pop_back();
    return "";
}

// The lines of `text`, without their newlines.
std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) all.push_back(line);
    return all;
}

// What is measured: from x0 and v0 (as the user wrote them, for rkstepper to read) to T in
// `steps` steps of h, and then in twice, four and eight times as many.
struct Task {
    std::string x0;
    std::string v0;
    double h;
    double T;
    long steps;
    double exact; // x(T)
};

// One run of rkstepper at the step h / 2^halvings: its measurement, or false when it gives
// none, having said why.
bool measure(const osc::WorkDirectory &work, const std::string &rkstepper, const Task &task,
             int halvings, Measurement &measurement)
{
    const double step = task.h / std::pow(2.0, halvings);
    const std::string shown = format("%g", step);
    const std::string parameters = task.x0 + " " + task.v0 + " " +
                                   std::to_string(task.steps << halvings) + " " +
                                   format("%.17g", step) + "\n";
    osc::Finished run;
    if (const std::string why = osc::run_stepper(work, rkstepper, parameters, {}, run);
        !why.empty()) {
        refuse("não é possível escrever " + std::string(parameter_file) +
               " no diretório temporário " + osc::about(work.path(), why));
        return false;
    }
    // What rkstepper said is shown only when its run gives no measurement, each line escaped.
    const auto fail = [&](const std::string &why) {
        refuse(why);
        if (!run.overflowed)
            for (const std::string &said : lines(run.said)) std::cerr << osc::escaped(said, std::string::npos) << '\n';
        std::cerr << std::flush;
        return false;
    };
    if (const std::string why = osc::why_failed(run, "o rkstepper"); !why.empty())
        return fail(why + " com h = " + shown);

    std::string row;
    if (const std::string why = last_row(work.file(data_file), row); !why.empty())
        return fail("com h = " + shown + " " + why);
    osc::Row last{};
    if (!osc::row_of(row, osc::rkstepper::layout.columns, last))
        return fail("com h = " + shown + " a última linha do " + data_file + " do rkstepper não " +
                    "é \"t x v\", três números: " + osc::quoted(row));
    const double t = last.t;
    const double x = last.x;
    measurement.position = fields(row, 1);
    if (!std::isfinite(x))
        return fail("com h = " + shown + " o rkstepper escreveu x(T) = " + measurement.position +
                    ": a solução numérica deixou de ser finita (passo fora da região de "
                    "estabilidade, ou valores além do alcance de um double) e não há erro a medir");
    // Six digits of a running sum of h: within a few millionths of T when every row is there.
    if (!(std::fabs(t - task.T) <= 1e-5 * task.T))
        return fail("com h = " + shown + " a última linha do " + data_file + " do rkstepper é a " +
                    "de t = " + fields(row, 0) + ", não a de T = " + format("%g", task.T) +
                    ": faltam-lhe linhas");
    measurement.run = {step, x - task.exact, osc::rounding_of(x)};
    return true;
}

// Whether the step h makes rkstepper's damped oscillation grow: h·λ outside the method's
// stability region.
bool unstable(double h)
{
    const osc::Motion motion = osc::rkstepper::motion(0.0, 0.0);
    const std::vector<std::complex<double>> zs = osc::step_modes(h, motion.w0, motion.beta);
    return std::any_of(zs.begin(), zs.end(),
                       [](std::complex<double> z) { return osc::rk4_unstable(z); });
}

// The method's stability limit on h·w0 in rkstepper's equation; h·|λ| is h·w0 for a damped
// oscillation.
double stability_limit()
{
    const osc::Motion motion = osc::rkstepper::motion(0.0, 0.0);
    return osc::rk4_stability_limit(osc::step_modes(1.0, motion.w0, motion.beta)[0]);
}

// The limit on h cut, not rounded, to four digits: every step below it is stable.
double stable_below()
{
    const double limit = stability_limit() / osc::rkstepper::motion(0.0, 0.0).w0;
    const double unit = std::pow(10.0, std::floor(std::log10(limit)) - 3);
    return std::floor(limit / unit) * unit;
}

// What the mark of an unstable row means.
std::string unstable_note()
{
    const double limit = stability_limit();
    return format("(instável): h·w0 acima de %.4g, o limite de estabilidade do método nesta "
                  "equação: a solução calculada cresce em vez de amortecer e o erro não mede a "
                  "ordem\n",
                  limit);
}

// The runs as the order counts them: an unstable step's error, which grows with the steps, is
// none of the method's.
std::vector<osc::Run> counted_runs(const std::vector<Measurement> &measurements)
{
    std::vector<osc::Run> runs;
    for (const Measurement &measurement : measurements) {
        runs.push_back(measurement.run);
        if (unstable(measurement.run.h)) runs.back().error = NAN;
    }
    return runs;
}

// A row of the table: step, x(T), error, then the ratio and the order its pair of counted runs
// gives.
std::string table_row(const std::vector<Measurement> &measurements, const std::vector<osc::Run> &counted,
                      std::size_t i)
{
    const osc::Run &run = measurements[i].run;
    std::string line = format("%12g %14s %14.6g", run.h, measurements[i].position.c_str(), run.error);
    const osc::Pair pair = i == 0 ? osc::Pair::unmeasured : osc::pair_of(counted[i - 1], counted[i]);
    if (pair == osc::Pair::order) {
        const double ratio = measurements[i - 1].run.error / run.error;
        line += format(" %10.4g %8.2f", ratio, osc::order_of(measurements[i - 1].run, run));
    } else if (i > 0) {
        line += format(" %10s %8s", "-", "-");
    } else if (!osc::measured(run)) {
        line += format(" %10s %8s", "", "");
    }
    if (!osc::measured(run)) line += "  (abaixo do arredondamento)";
    if (pair == osc::Pair::sign_change) line += "  (o erro muda de sinal)";
    if (std::isnan(counted[i].error)) line += "  (instável)";
    return line + "\n";
}

// The last line, and the status it gives.
std::string verdict_line(const std::vector<Measurement> &measurements, const osc::Verdict &verdict,
                         int &status)
{
    const auto step = [&](std::size_t i) { return measurements[i].run.h; };
    // Larger errors, and another pair: a larger h, unless the largest is past the limit already.
    const std::string larger = unstable(step(0)) ? "outro T" : "um h maior";
    status = 1;
    switch (verdict.outcome) {
    case osc::Outcome::none:
        // With no two stable steps a smaller one is due; errors within the rounding grow with
        // h, unless the largest step is past the limit already, and only another T moves them.
        if (verdict.uncounted)
            return format("ordem observada: nenhuma: não há dois passos seguidos estáveis; "
                          "experimente um h abaixo de %g\n",
                          stable_below());
        return format("ordem observada: nenhuma: não há dois passos seguidos com erros acima de "
                      "%.2g (%d vezes o arredondamento de x(T)); experimente %s\n",
                      osc::order_margin * measurements.back().run.rounding, osc::order_margin,
                      larger.c_str());
    case osc::Outcome::sign_change:
        return format("ordem observada: indefinida (o erro muda de sinal entre h = %g e h = %g)\n",
                      step(verdict.last - 1), step(verdict.last));
    case osc::Outcome::settled:
        status = 0;
        return format("ordem observada: %.2f\n", verdict.order);
    case osc::Outcome::unsettled: break;
    }
    status = 0;
    std::string why;
    if (verdict.single_pair) why = "é a única ordem da tabela";
    if (verdict.after_sign_change)
        why += format("%svem logo a seguir a uma mudança de sinal do erro (entre h = %g e h = %g)",
                      why.empty() ? "" : " e ", step(verdict.last - 2), step(verdict.last - 1));
    if (verdict.moving)
        why = format("afasta-se mais de %g da ordem do par anterior (%.2f)", osc::settled_within,
                     verdict.previous_order);
    // More pairs clear of the rounding need larger errors. Orders that still move at the
    // smallest step settle further down, if its error leaves room for a smaller one; where it
    // does not, or the error changes sign, the errors at another T run otherwise.
    const bool room_below = verdict.last + 1 == measurements.size();
    std::string suggestion;
    if (verdict.after_sign_change || (verdict.moving && !room_below)) suggestion = "outro T";
    if (verdict.moving && room_below) suggestion = "um h menor";
    if (verdict.single_pair && suggestion != larger) suggestion += suggestion.empty() ? larger : " ou " + larger;
    return format("ordem observada: %.2f, que ainda não se pode dar por assente: %s; "
                  "experimente %s\n",
                  verdict.order, why.c_str(), suggestion.c_str());
}

// The figure: the rows, the rounding floor out to the figure's edges, and the smallest step
// measured and counted as the anchor of the line of slope 4, drawn by gnuplot and put in the
// figure's place once whole; or with a `table` name, its points written there.
bool draw(const std::string &gnuplot, osc::Replacement &figure, const std::string &name,
          const std::string &table, const std::vector<Measurement> &measurements,
          const std::vector<osc::Run> &counted, const std::string &title)
{
    const double edge = 1.6;
    std::string points;
    std::string floor = format("%.17e %.17e\n", measurements.front().run.h * edge,
                               measurements.front().run.rounding);
    int anchored = 0;
    double anchor_step = 0;
    double anchor_error = 0;
    for (std::size_t i = 0; i < measurements.size(); ++i) {
        const osc::Run &run = measurements[i].run;
        points += format("%.17e %.17e %d %.17e %d\n", run.h, std::fabs(run.error),
                         osc::measured(run) ? 1 : 0, run.rounding, std::isnan(counted[i].error) ? 1 : 0);
        floor += format("%.17e %.17e\n", run.h, run.rounding);
        if (osc::measured(counted[i])) {
            anchored = 1;
            anchor_step = run.h;
            anchor_error = std::fabs(run.error);
        }
    }
    floor += format("%.17e %.17e\n", measurements.back().run.h / edge,
                    measurements.back().run.rounding);
    const bool tables = !table.empty();
    const osc::Figure drawn =
        osc::draw(gnuplot, osc::oscorder_program,
                  {{"margin", static_cast<double>(osc::order_margin)},
                   {"anchored", anchored},
                   {"anchor_step", anchor_step},
                   {"anchor_error", anchor_error},
                   {"tables", tables ? 1 : 0}},
                  {{"$points", points}, {"$floor", floor}, {"$title", title + "\n"}},
                  tables ? osc::Kind::table : osc::Kind::png);
    if (!drawn.why.empty()) {
        refuse(osc::about(tables ? table : name, drawn.why));
        return false;
    }
    if (tables) return osc::write_tables(program, table, drawn.bytes);
    return osc::place(program, figure, name, drawn.bytes);
}

int run(int argc, char **argv)
{
    std::string figure_name;
    std::string table_name;
    const osc::CommandLine line =
        osc::read_command_line(argc, argv,
                               {{"-o", nullptr, &figure_name, "o nome da figura"},
                                {"--tabela", nullptr, &table_name, "o nome da tabela"}},
                               true);
    if (const int status = osc::answer_command_line(line, program, usage); status >= 0) return status;
    const std::size_t given = line.operands.size();
    if (given != 0 && given != 2 && given != 4)
        return bad_usage("esperados 0, 2 ou 4 números: h T [x0 v0]");
    std::vector<std::string> texts{"1", "10", "1", "0"};
    std::copy(line.operands.begin(), line.operands.end(), texts.begin());
    for (const std::string &text : texts)
        if (!is_number(text))
            return bad_usage("'" + osc::escaped(text) + "' não é um número" +
                             osc::comma_hint(text));
    const double h = std::strtod(texts[0].c_str(), nullptr);
    const double T = std::strtod(texts[1].c_str(), nullptr);
    const double x0 = std::strtod(texts[2].c_str(), nullptr);
    const double v0 = std::strtod(texts[3].c_str(), nullptr);
    const long steps = step_count(h, T);
    if (steps == 0)
        return bad_usage("h e T têm de ser positivos, com T/h inteiro e 8·T/h até 20000000");

    // An existing figure is replaced only by a new one, and tables by tables: whatever else has
    // the name stays.
    const bool tables = !table_name.empty();
    const bool drawing = !figure_name.empty() || tables;
    std::string gnuplot;
    if (!figure_name.empty() && !osc::figure_replaceable(program, figure_name)) return 2;
    if (tables && !osc::tables_replaceable(program, table_name)) return 2;
    if (drawing) {
        gnuplot = osc::gnuplot_on_path(program);
        if (gnuplot.empty()) return 3;
    }
    std::string rkstepper = osc::beside_self("rkstepper");
    if (rkstepper.empty()) rkstepper = osc::on_path("rkstepper");
    if (rkstepper.empty()) return refuse("rkstepper não encontrado (nem ao lado do oscorder nem no PATH)");

    const std::string base = osc::temporary_base();
    osc::WorkDirectory work;
    if (const std::string why = work.create(base, program, {parameter_file, data_file}); !why.empty())
        return refuse("não é possível criar um diretório temporário em " + osc::about(base, why));
    // The figure's file beside it, created now so that a directory that takes no file is
    // found before the runs.
    osc::Replacement figure;
    if (!figure_name.empty() && !tables && !osc::open_beside(program, figure, figure_name))
        return 1;

    const double exact = osc::exact_state(osc::rkstepper::motion(x0, v0), T).x;
    const Task task{texts[2], texts[3], h, T, steps, exact};
    std::vector<Measurement> measurements(4);
    for (int halvings = 0; halvings < 4; ++halvings)
        if (!measure(work, rkstepper, task, halvings, measurements[static_cast<std::size_t>(halvings)]))
            return 1;

    const std::string title = format("rkstepper até T = %g a partir de x0 = %g, v0 = %g", T, x0, v0);
    std::string table = format("%s; solução exata x(T) = %.9g\n", title.c_str(), task.exact);
    table += format("%12s %14s %14s %11s %8s\n", "h", "x(T)", "erro", "razão", "ordem");
    const std::vector<osc::Run> counted = counted_runs(measurements);
    for (std::size_t i = 0; i < measurements.size(); ++i) table += table_row(measurements, counted, i);
    if (unstable(measurements.front().run.h)) table += unstable_note();
    int status = 1;
    table += verdict_line(measurements, osc::judge(counted), status);
    errno = 0;
    std::cout << table << std::flush;
    if (!std::cout) {
        if (errno == EPIPE) return broken_pipe;
        return osc::refuse_standard_output(program, errno);
    }

    if (drawing && !draw(gnuplot, figure, figure_name, table_name, measurements, counted, title)) return 1;
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    // A file-size limit makes writes fail, and say so, instead of ending the writer; a reader
    // that goes away makes the write to it fail.
    osc::start_tool();
    std::signal(SIGPIPE, SIG_IGN);
    const int status = run(argc, argv);
    if (status == broken_pipe) {
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
    return status;
}
