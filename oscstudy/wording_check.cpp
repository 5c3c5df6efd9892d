// The wording unit's sentences for students' files and programs checked (verificar): from the
// findings of oscstudy/verify.hpp and checking/judge.hpp alone.
#include "oscstudy/wording.hpp"

#include "checking/catalogue.hpp"
#include "process/stepper_run.hpp"
#include "programs/rkstepper_definition.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>

namespace osc {

const char verify_csv_head[] = "ficheiro,veredicto,metodo,h,maior_erro,ordem,ordem_assente\n";
// Tables written before the last column was added begin so as well.
const std::string_view verify_csv_signature = "ficheiro,veredicto,metodo,h,maior_erro,ordem";

namespace {

std::string g(double value, int digits = 6) { return format("%.*g", digits, value); }

// A number as a student typed it: six digits, or as many more as give it back.
std::string typed(double value)
{
    int digits = 6;
    while (digits < 17 && std::strtod(g(value, digits).c_str(), nullptr) != value) ++digits;
    return g(value, digits);
}

// A number an answer gives, or what it is when not finite.
std::string number(double value, int digits = 6)
{
    if (std::isnan(value)) return "nan, que não é um número";
    return std::isfinite(value) ? g(value, digits) : g(value) + ", além do maior double";
}

// A file or a run as the lines name it: user's text made safe, a long path whole.
std::string name_of(const Checked &item)
{
    const std::string name = escaped(item.name, 120);
    return std::isnan(item.run_h) ? name : name + ", h = " + g(item.run_h);
}

// The verdicts, in the order the summary counts them: as an item's line begins and the table's
// column holds it, and as the summary counts one and more.
const char *const verdicts[][3] = {
    {"passa", "passa", "passam"},
    {"outro método", "de outro método", "de outro método"},
    {"outras constantes", "de outras constantes", "de outras constantes"},
    {"nenhum método", "de nenhum método", "de nenhum método"},
    {"cortado", "cortado", "cortados"},
    {"a ser escrito", "a ser escrito", "a ser escritos"},
    {"recusado", "recusado", "recusados"},
    {"o programa falhou", "em que o programa falhou", "em que o programa falhou"}};

// The verdict of an item, its row in `verdicts`.
std::size_t verdict_of(const Checked &item)
{
    if (!item.ran_well) return 7;
    switch (item.check.judgement) {
    case Judgement::rk4: return 0;
    case Judgement::other_entries: return 1;
    case Judgement::other_constants: return 2;
    case Judgement::none: return 3;
    case Judgement::cut: return 4;
    case Judgement::being_written: return 5;
    case Judgement::unreadable:
    case Judgement::times: break;
    }
    return 6;
}

const char *verdict_word(const Checked &item) { return verdicts[verdict_of(item)][0]; }

// The entries every row agrees with but `skip`, "A, B ou C" (or "A; B; C").
std::string matched_names(const FileCheck &check, bool (*skip)(const Entry &) = nullptr,
                          const char *between = ", ", const char *last = " ou ")
{
    std::vector<std::size_t> matched = check.matched();
    if (skip != nullptr)
        matched.erase(std::remove_if(matched.begin(), matched.end(),
                                     [&](std::size_t i) { return skip(catalogue()[i]); }),
                      matched.end());
    std::string text;
    for (std::size_t i = 0; i < matched.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 < matched.size() ? between : last) +
                catalogue()[matched[i]].method.name;
    return text;
}

// RK4's name as the rows show it, and what else gives them on this equation.
std::string rk4_text(const FileCheck &check)
{
    const bool summed = !check.from_rk4().departed();
    const std::string others =
        matched_names(check, summed ? is_programs_rk4 : is_rk4, "; ", "; ");
    const std::string name = summed ? "RK4" : "RK4 com t = i·h, que só muda o arredondamento de t";
    return name + (others.empty() ? "" : " (nesta equação não se distingue de: " + others + ")");
}

// Why a file is not one to read rows from.
std::string shape_text(const StudentShape &s)
{
    const std::string at = format("a linha %zu, ", s.line) + quoted(s.text) + ",";
    const auto numbers = [](int count) {
        return format(count == 1 ? "%d número" : "%d números", count);
    };
    switch (s.fault) {
    case ShapeFault::none: break;
    case ShapeFault::unopened: return s.why;
    case ShapeFault::empty:
        return s.emptied ? "está vazio: o drivenosc esvazia os ficheiros das outras frequências "
                           "quando corre numa delas"
                         : "está vazio";
    case ShapeFault::cr_line_ends:
        return format("a linha %zu acaba só em CR (\\r), sem LF: converta o ficheiro "
                      "(tr '\\r' '\\n')",
                      s.line);
    case ShapeFault::unreadable: return "não é possível ler: " + reason(s.error);
    case ShapeFault::no_row: return "não tem nenhuma linha de números";
    case ShapeFault::one_row: return "tem uma só linha de números: sem passo, nada a comparar";
    case ShapeFault::text_in_rows:
        return at + " não é de números: depois da primeira linha de números só vêm linhas de "
                    "números e comentários que começam por #";
    case ShapeFault::semicolons:
        return at + " separa os números com ';': separe-os com espaços, tabulações ou vírgulas";
    case ShapeFault::column_count:
        return at + " tem " + numbers(s.count) + ", e cada linha tem t x v, n t x v ou t x v E" +
               (s.commas
                    ? "; com vírgulas entre as colunas, os decimais escrevem-se com ponto (0.5)"
                    : "");
    case ShapeFault::count_changes:
        return at + " tem " + numbers(s.count) + ", e a primeira linha de números tem " +
               numbers(s.expected);
    case ShapeFault::too_long:
        return format("a linha %zu é mais longa do que qualquer linha de números: não é texto",
                      s.line);
    case ShapeFault::changed: return "as linhas mudaram enquanto eram lidas: está a ser escrito";
    }
    return "";
}

// Why the times of a file's rows give no step.
std::string times_text(const FileCheck &c)
{
    const StudentShape &s = c.shape;
    switch (c.step.fault) {
    case TimeFault::none: break;
    case TimeFault::not_finite:
        return "o t da primeira, da segunda ou da última linha não é um número finito";
    case TimeFault::start:
        return "a primeira linha tem t = " + text(s.first.t) +
               ": os tempos começam em 0, ou num passo quando a linha de t = 0 não se escreve";
    case TimeFault::step:
        return format("os tempos, de %s a %s em %.0f linhas, não são a soma de um passo constante",
                      text(s.first.t).c_str(), text(s.last.t).c_str(), s.rows);
    case TimeFault::coarse:
        return "os tempos, com os algarismos com que estão escritos, só dão o passo entre " +
               g(c.step.low, 8) + " e " + g(c.step.high, 8) +
               ", e nenhuma fração dele, nem de π, dá estas linhas: escreva t com mais algarismos";
    }
    return "";
}

// Where rows first depart from the programs' RK4, and by how much.
std::string departure_text(const Departure &d)
{
    const char *const columns[] = {"t", "x", "v"};
    std::string said = format("a linha %zu tem %s = %s, e o RK4 dá ", d.line, columns[d.column],
                              text(d.held).c_str()) +
                       number(d.computed);
    if (std::isfinite(d.held - d.computed))
        said += " (diferença " + g(d.held - d.computed, 3) + ")";
    return said;
}

// The k/m and b/m with which RK4 gives the rows, against those of `setup`.
std::string constants_text(const FileCheck &c, const Setup &setup)
{
    const bool harmosc = setup.program == Program::harmosc;
    const Motion &m = setup.motion;
    const double k = harmosc ? setup.values.at("k") / setup.values.at("m") : m.w0 * m.w0;
    const double b = harmosc ? setup.values.at("b") / setup.values.at("m") : 2 * m.beta;
    const double beta = c.fitted_b / 2;
    return "são as linhas do RK4 com k/m = " + typed(c.fitted_k) + " e b/m = " + typed(c.fitted_b) +
           " (w0 = " + g(std::sqrt(c.fitted_k), 4) + ", β = " + g(beta, 3) +
           "), e não com k/m = " + typed(k) + " e b/m = " + typed(b);
}

// The constants given that the file does not hold, "; "-separated; a program's run was given
// them in its parameter file.
std::string given_text(const Checked &item, const Equation &given)
{
    const FileCheck &c = item.check;
    const char *const by = std::isnan(item.run_h) ? " como foi dado" : " do parametros_sistema.txt";
    const std::string end = "o fim t = " + g(c.end) + by;
    std::string said;
    const auto add = [&](const std::string &clause) { said += (said.empty() ? "" : "; ") + clause; };
    if (item.given_choice != 0)
        add(format("são as linhas da escolha %d, e não da escolha %d", item.choice,
                   item.given_choice) +
            by);
    if (c.other_step)
        add((c.step.spread > 0 ? "os tempos dão um h entre " + g(c.step.low, 9) + " e " +
                                     g(c.step.high, 9)
                               : "os tempos dão h = " + typed(c.step.h)) +
            ", e não o h = " + typed(given.h) + by +
            (std::isnan(item.run_h) ? "" : ": o programa não o lê?"));
    if (c.other_start)
        add("a primeira linha tem x = " + text(c.shape.first.x) + " e v = " +
            text(c.shape.first.v) + ", e não x0 = " + text(given.motion.x0) + " e v0 = " +
            text(given.motion.v0) + by);
    if (c.end_fit == End::late)
        add("acaba em t = " + text(c.shape.last.t) + ", depois d" + end);
    return said;
}

// What a run of a student's program did wrong.
std::string run_text(const Checked &item)
{
    const Finished &run = item.finished;
    const char *const data = rkstepper::layout.files[0];
    if (!item.interpreter.empty()) {
        const bool windows = item.interpreter.back() == '\r';
        return "não é possível executá-lo: o programa da primeira linha, " +
               quoted("#!" + item.interpreter) + ", não existe" +
               (windows ? ": a linha acaba em CR, com o fim de linha do Windows; converta o "
                          "ficheiro (dos2unix)"
                        : "");
    }
    if (run.start != Start::done) return why_failed(run, "o programa");
    if (run.timed_out || run.signal == SIGXCPU)
        return "não acabou em " + g(run.seconds) +
               " s (parado, ou num ciclo sem fim), e foi terminado";
    if (run.overflowed)
        return format(
                   "escreveu mais de %zu MiB no terminal sem acabar, e foi terminado; começou por ",
                   kept_said >> 20U) +
               quoted(run.said.substr(0, run.said.find('\n')));
    if (item.no_file)
        return std::string("acabou sem escrever o ") + data + ", onde devia deixar as suas linhas";
    if (item.file_full || run.signal == SIGXFSZ)
        return format("escreveu sem fim: o %s chegou a %.3g MiB, e foi terminado", data,
                      static_cast<double>(item.file_bound) / (1U << 20U));
    if (run.signal != 0) {
        const char *what = run.signal == SIGSEGV   ? " (acesso inválido à memória)"
                           : run.signal == SIGABRT ? " (abortou)"
                           : run.signal == SIGFPE  ? " (erro aritmético)"
                                                   : "";
        return format("foi terminado pelo sinal %d%s", run.signal, what);
    }
    if (run.status != 0) {
        // The last line said is the error's own (a traceback ends with it).
        std::string said = run.said.substr(0, run.said.find_last_not_of("\r\n") + 1);
        said = said.substr(said.find_last_of('\n') + 1);
        return format("acabou com o estado %d", run.status) +
               (said.empty() ? "" : ": " + quoted(said));
    }
    if (run.left_running > 0)
        return format(run.left_running == 1
                          ? "acabou, mas deixou %d processo a correr, que foi terminado"
                          : "acabou, mas deixou %d processos a correr, que foram terminados",
                      run.left_running);
    return std::string("o ") + data + " que deixou não foi escrito por ele nesta execução: " +
           (item.origin == Origin::link ? "é uma ligação para outro ficheiro"
                                        : "é de antes dela");
}

// The steps a file lacks before the end: "falta-lhe um passo, até à linha de t = 10, a última
// até ao", or at least so many where the step or the count is not exact.
std::string short_text(const FileCheck &c)
{
    const bool exact = !std::isnan(c.last_due);
    const bool one = c.short_by == 1;
    return std::string(one ? "falta-lhe " : "faltam-lhe ") + (exact ? "" : "pelo menos ") +
           (one ? std::string("um passo") : format("%.0f passos", c.short_by)) +
           (exact ? ", até à linha de t = " + g(c.last_due) + ", a última" : ",") + " até ao";
}

// "h = 0.1, 201 linhas" and what was taken from the file.
std::string rows_text(const Checked &item)
{
    const FileCheck &c = item.check;
    std::string said = "h = " + g(c.h) + format(", %.0f linhas", c.shape.rows);
    if (c.start_from_file)
        said += ", x0 = " + g(c.x0) + " e v0 = " + g(c.v0) + " da primeira linha";
    if (item.choice != 0)
        said += format(", escolha = %d", item.choice) +
                (item.choice_named                                 ? " do nome"
                 : item.choice_from_rows || item.given_choice != 0 ? " das linhas"
                                                                   : "");
    return said;
}

// An observed order, and whether it may be taken as settled.
std::string order_text(double order, bool settled)
{
    return format("%.2f", order) + (settled ? "" : ", que ainda não se pode dar por assente");
}

// The line of one file or run.
std::string item_line(const Checked &item, const Setup &setup, const Equation &given)
{
    const std::string head = name_of(item) + ": " + verdict_word(item) + ": ";
    if (!item.ran_well) return head + run_text(item);
    const FileCheck &c = item.check;
    switch (c.judgement) {
    case Judgement::unreadable: return head + shape_text(c.shape);
    case Judgement::times: return head + times_text(c);
    case Judgement::being_written:
        return head + "uma execução de um dos programas está a escrevê-lo; espere que acabe";
    default: break;
    }
    std::string said = head + rows_text(item) + "; ";
    const std::size_t matched = c.matched().size();
    const std::string differs = given_text(item, given);
    switch (c.judgement) {
    case Judgement::rk4: said += rk4_text(c); break;
    case Judgement::cut:
        if (c.shape.cut)
            said += "as linhas do RK4 até à linha " + std::to_string(c.shape.last_line) +
                    "; a última, " + quoted(c.shape.text) + ", está cortada";
        else if (c.end_fit == End::early)
            said += "as linhas do RK4, mas acaba em t = " + text(c.shape.last.t) + ": " +
                    short_text(c) + " fim t = " + g(c.end) +
                    (std::isnan(item.run_h) ? " como foi dado" : " do parametros_sistema.txt");
        else
            said += "as linhas do RK4 até à última, cortada: " + departure_text(c.from_rk4());
        break;
    case Judgement::other_entries:
        said += "as linhas de " + matched_names(c) +
                (matched > 1 ? ", que aqui não se distinguem" : "") +
                ", não as do RK4: " + departure_text(c.from_rk4());
        break;
    case Judgement::other_constants:
        said += differs.empty() ? constants_text(c, setup) + "; " + departure_text(c.from_rk4())
                                : "as linhas do RK4, mas " + differs;
        break;
    default:
        said += "nenhum método do catálogo dá estas linhas: " + departure_text(c.from_rk4());
        break;
    }
    if (c.judgement != Judgement::other_constants && !differs.empty()) said += "; e " + differs;
    said += std::isnan(c.error.largest)
                ? "; em t = " + g(c.error.at) + " x não é um número, e daí em diante não há |x - x exato| a medir"
                : "; maior |x - x exato| = " + number(c.error.largest, 3) + " em t = " + g(c.error.at);
    if (!std::isnan(item.order))
        said += "; ordem observada " + order_text(item.order, item.order_settled);
    return said;
}

// The order a ladder of steps gives, as oscorder's rules judge it.
std::string ladder_line(const VerifyFinding &f, const Ladder &ladder)
{
    const Checked &first = f.items[ladder.files.front()];
    const Checked &last = f.items[ladder.files.back()];
    const auto h = [](const Checked &item) { return item.check.h; };
    const bool program = !std::isnan(first.run_h);
    std::string said =
        format("ordem observada, h = %s a %s (", g(h(first)).c_str(), g(h(last)).c_str()) +
        escaped(first.name, 120) + (program ? "" : " a " + escaped(last.name, 120)) + ")" +
        (ladder.before_end ? ", em t = " + g(ladder.at) + ", o último instante que todos têm" : "") + ": ";
    const Verdict &v = ladder.verdict;
    switch (v.outcome) {
    case Outcome::settled:
    case Outcome::unsettled: said += order_text(v.order, v.outcome == Outcome::settled); break;
    case Outcome::sign_change:
        return said + "indefinida: o erro muda de sinal entre os dois últimos passos";
    case Outcome::none:
        return said + format("nenhuma: os erros não passam %d vezes o arredondamento dos "
                             "algarismos escritos; experimente um h maior",
                             order_margin);
    }
    const bool all_rk4 = std::all_of(ladder.files.begin(), ladder.files.end(), [&](std::size_t i) {
        return f.items[i].check.judgement == Judgement::rk4;
    });
    return said + (all_rk4 ? format(" (a do RK4 é %d)", programs_method.order) : "");
}

// A path left out of a folder, and why.
std::string skipped_line(const Skipped &s)
{
    const char *const why[] = {"é a tabela que esta verificação escreve",
                               "é um ficheiro das ferramentas (uma tabela do verificar, uma "
                               "figura ou as suas tabelas)",
                               "é uma ligação para uma pasta, que não se segue: dê a pasta em "
                               "ficheiro="};
    return escaped(s.path, 120) + ": fica de fora: " + why[static_cast<int>(s.why)] + "\n";
}

// The counts of each verdict, in the summary's order.
std::string summary(const VerifyFinding &f)
{
    std::string counts;
    for (std::size_t verdict = 0; verdict < std::size(verdicts); ++verdict) {
        const auto count = std::count_if(f.items.begin(), f.items.end(), [&](const Checked &item) {
            return verdict_of(item) == verdict;
        });
        if (count > 0)
            counts += (counts.empty() ? "" : ", ") + format("%ld %s", static_cast<long>(count),
                                                            verdicts[verdict][count == 1 ? 1 : 2]);
    }
    const std::size_t all = f.items.size();
    const std::string end = f.passed() == all ? "todos passam" : "nem todos passam (estado 1)";
    return format("resumo: %zu %s: ", all, all == 1 ? "item" : "itens") + counts + "; " + end +
           "\n";
}

// A text cell of the table, quoted as spreadsheets read CSV; one that a spreadsheet would take
// for a formula (=, +, -, @ first) begins with ' and is shown as text.
std::string cell(const std::string &text)
{
    const bool formula = !text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos;
    std::string quoted = formula ? "\"'" : "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// The names a question takes of a run, for a refusal to ask for them.
std::string names_text(Program program)
{
    std::string text;
    const std::vector<Name> &names = names_of(program);
    for (std::size_t i = 0; i < names.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 < names.size() ? ", " : " e ") + names[i].name;
    return text;
}

// What rows that are not the run's are, from their judgement against the catalogue.
std::string cause_text(const Setup &setup, const FileCheck &c)
{
    const std::string names = "dê " + names_text(setup.program) + " da execução que o escreveu";
    const bool rk4 = c.rk4_matched();
    if (rk4 && c.step.spread > 0)
        return "são as linhas do RK4 com um passo que os tempos, com os seus algarismos, só dão "
               "entre " +
               g(c.step.low, 8) + " e " + g(c.step.high, 8) +
               ": dê h= com todos os algarismos com que foi escrito";
    switch (c.judgement) {
    case Judgement::other_entries:
        return "são as linhas de " + matched_names(c) + ", não as do RK4 dos programas";
    case Judgement::other_constants:
        if (!rk4) return constants_text(c, setup);
        break;
    case Judgement::cut: return "a última linha está cortada";
    case Judgement::none:
        return "nenhum método do catálogo dá estas linhas com estas constantes: " + names;
    default: break;
    }
    if (rk4) return "são as linhas do RK4 com outro início ou outro passo: " + names;
    return "não são as linhas desta execução: " + names;
}

} // namespace

std::string being_written_text()
{
    return "um dos programas está a escrevê-lo agora, e faltam-lhe linhas: espere que acabe";
}

std::string file_fault_text(const Setup &setup, const FileFault &f)
{
    using Kind = FileFault::Kind;
    const std::string names = "dê " + names_text(setup.program) + " da execução que o escreveu";
    const char *const columns[] = {"t", "x", "v"};
    const double held[] = {f.held.t, f.held.x, f.held.v};
    const double computed[] = {f.computed.t, f.computed.x, f.computed.v};
    // "a linha N tem x = A`said`, e esta execução dá ", before the run's own value.
    const auto held_against = [&](const char *said) {
        return format("a linha %.0f tem %s = %s%s, e esta execução dá ", f.line, columns[f.column],
                      text(held[f.column]).c_str(), said);
    };
    switch (f.kind) {
    case Kind::none: break;
    case Kind::shape: return shape_text(f.shape);
    case Kind::being_written: return being_written_text();
    case Kind::cut:
        return "a última linha, a " + std::to_string(f.shape.line) + ", " + quoted(f.shape.text) +
               ", está cortada: o programa que o escreveu não acabou";
    case Kind::more_rows:
        return format("tem mais linhas do que as %.0f desta execução: ", setup.rows) + names;
    case Kind::fewer_rows:
        return format(
                   "tem %.0f linhas, e esta execução dá %.0f: está cortado, ou é de outra execução (",
                   f.rows, setup.rows) +
               names + ")";
    case Kind::time: {
        std::string said = format(
            "a linha %.0f tem t = %s, e a soma dos passos de %s dá %s: não são as "
            "linhas desta execução",
            f.line, text(f.held.t).c_str(), text(setup.h).c_str(), text(f.computed.t).c_str());
        const double h = f.cause.h;
        if (!std::isfinite(h) || h == setup.h) return said;
        if (f.cause.step.spread > 0) return said + "; " + cause_text(setup, f.cause);
        said += "; o passo do ficheiro é " + g(h);
        return said +
               (setup.program == Program::harmosc
                    ? ", e o harmosc escreve sempre com h = 0.1: o oscstudy verificar lê qualquer passo"
                    : ": dê h=" + g(h));
    }
    case Kind::start:
        return "a primeira linha tem x = " + text(f.held.x) + " e v = " + text(f.held.v) +
               ", e não x0 = " + text(setup.motion.x0) + " e v0 = " + text(setup.motion.v0) +
               ": dê x0= e v0= da execução";
    case Kind::not_finite:
        return format(
            "a linha %.0f não tem só números finitos: as linhas passaram o maior double, e daí "
            "em diante não há erro a medir; a pergunta sem ficheiro= diz porquê",
            f.line);
    case Kind::not_number:
        return held_against(", que não é um número finito") + g(computed[f.column]) +
               ": não são as linhas desta execução";
    case Kind::departs:
        return held_against("") + number(computed[f.column]) + " (diferença " +
               g(held[f.column] - computed[f.column], 3) + "): " +
               (f.choice != 0
                    ? format("são as linhas da escolha %d: dê escolha=%d", f.choice, f.choice)
                    : cause_text(setup, f.cause));
    }
    return "";
}

std::string verify_text(Program program, const std::map<std::string, double> &given,
                        const VerifyFinding &f)
{
    std::string head = std::string("verificar contra o ") + layout_of(program).program;
    std::string named;
    for (const Name &name : names_of(program))
        if (const auto found = given.find(name.name); found != given.end())
            named += (named.empty() ? "" : ", ") + found->first + " = " + typed(found->second);
    head += named.empty() ? " com as constantes por omissão" : " com " + named;
    // What each file gives of what is not given.
    const auto is_given = [&](const char *name) { return given.count(name) != 0; };
    const bool harmosc = program == Program::harmosc;
    const bool step = harmosc || !is_given("h");
    const bool end = !is_given(harmosc ? "tf" : "N");
    std::vector<std::string> parts;
    if (step || end)
        parts.push_back(std::string(step ? "o passo" : "") + (step && end ? " e " : "") +
                        (end ? "o fim" : "") + " dos seus tempos");
    if (!is_given("x0") && !is_given("v0") && program != Program::rkstepper)
        parts.emplace_back("x0 e v0 da primeira linha quando é a de t = 0");
    if (program == Program::drivenosc && !is_given("escolha"))
        parts.emplace_back("a escolha do nome ou das linhas");
    for (std::size_t i = 0; i < parts.size(); ++i)
        head += (i == 0 ? "; de cada ficheiro, " : i + 1 < parts.size() ? ", " : ", e ") + parts[i];
    std::string text = head + "\n";
    Setup setup;
    make_setup(program, given, setup);
    const Equation equation = equation_of(setup, given);
    for (const Checked &item : f.items) {
        // A program's run was given its own step and end.
        Equation run = equation;
        if (!std::isnan(item.run_h)) run.h = item.run_h;
        text += item_line(item, setup, run) + "\n";
    }
    for (const Ladder &ladder : f.ladders) text += ladder_line(f, ladder) + "\n";
    for (const Skipped &skipped : f.skipped) text += skipped_line(skipped);
    return text + summary(f);
}

std::string verify_csv(const VerifyFinding &f)
{
    std::string table = verify_csv_head;
    for (const Checked &item : f.items) {
        const FileCheck &c = item.check;
        const bool judged = item.ran_well && c.judgement != Judgement::unreadable &&
                            c.judgement != Judgement::times &&
                            c.judgement != Judgement::being_written;
        table += cell(item.name) + "," + cell(verdict_word(item)) + "," +
                 cell(judged ? matched_names(c) : "") + ",";
        table += (judged ? g(c.h) : !std::isnan(item.run_h) ? g(item.run_h) : "") + ",";
        table += (judged && std::isfinite(c.error.largest) ? g(c.error.largest) : "") + ",";
        table += std::isnan(item.order)
                     ? ",\n"
                     : format("%.2f,", item.order) + (item.order_settled ? "sim\n" : "não\n");
    }
    return table;
}

} // namespace osc
