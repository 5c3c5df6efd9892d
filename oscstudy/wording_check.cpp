// The wording unit's sentences for students' files and programs checked (verificar): from the
// findings of oscstudy/verify.hpp and checking/judge.hpp alone.
#include "oscstudy/wording.hpp"

#include "checking/catalogue.hpp"
#include "process/stepper_run.hpp"
#include "programs/rkstepper.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"

#include <algorithm>
#include <cmath>
#include <csignal>

namespace osc {

const char verify_csv_head[] = "ficheiro,veredicto,metodo,h,maior_erro,ordem\n";

namespace {

std::string g(double value, int digits = 6) { return format("%.*g", digits, value); }

// A number an answer gives, or what it is when not finite.
std::string number(double value, int digits = 6)
{
    return std::isfinite(value) ? g(value, digits)
                                : "um número que passa o maior double (inf ou nan)";
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

// The entries every row agrees with, "A, B ou C".
std::string matched_names(const FileCheck &check)
{
    const std::vector<std::size_t> matched = check.matched();
    std::string text;
    for (std::size_t i = 0; i < matched.size(); ++i)
        text += std::string(i == 0                   ? ""
                            : i + 1 < matched.size() ? ", "
                                                     : " ou ") +
                catalogue()[matched[i]].method.name;
    return text;
}

// The entries other than the programs' RK4 that every row agrees with as well.
std::string others_than_rk4(const FileCheck &check)
{
    std::string text;
    for (const std::size_t i : check.matched())
        if (!is_programs_rk4(catalogue()[i]))
            text += (text.empty() ? "" : "; ") + std::string(catalogue()[i].method.name);
    return text;
}

// Why a file is not one to read rows from.
std::string shape_text(const StudentShape &s)
{
    const std::string at = format("a linha %zu, ", s.line) + quoted(s.text) + ",";
    switch (s.fault) {
    case ShapeFault::none: break;
    case ShapeFault::unopened: return s.why;
    case ShapeFault::unreadable: return "não é possível ler: " + reason(s.error);
    case ShapeFault::no_row: return "não tem nenhuma linha de números";
    case ShapeFault::one_row: return "tem uma só linha de números: sem passo, nada a comparar";
    case ShapeFault::text_in_rows:
        return at + " não é de números: depois da primeira linha de números só vêm linhas de "
                    "números e comentários que começam por #";
    case ShapeFault::semicolons:
        return at + " separa os números com ';': separe-os com espaços, tabulações ou vírgulas";
    case ShapeFault::column_count:
        return at + format(" tem %d números, e cada linha tem t x v, n t x v ou t x v E", s.count) +
               (s.commas
                    ? "; com vírgulas entre as colunas, os decimais escrevem-se com ponto (0.5)"
                    : "");
    case ShapeFault::count_changes:
        return at +
               format(" tem %d números, e a primeira linha de números tem %d", s.count, s.expected);
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
    switch (c.time_fault) {
    case TimeFault::none: break;
    case TimeFault::not_finite:
        return "o t da primeira, da segunda ou da última linha não é um número finito";
    case TimeFault::start:
        return "a primeira linha tem t = " + text(s.first.t) +
               ": os tempos começam em 0, ou num passo quando a linha de t = 0 não se escreve";
    case TimeFault::step:
        return format("os tempos, de %s a %s em %.0f linhas, não são a soma de um passo constante",
                      text(s.first.t).c_str(), text(s.last.t).c_str(), s.rows);
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

// The w0 and β the rows imply, against those given; β within the fit's noise of 0 is 0.
std::string constants_text(const FileCheck &c, const Motion &given)
{
    const Constants &k = c.implied;
    if (!(std::isfinite(k.w0) && std::isfinite(k.beta))) return "";
    const auto beta = [](double b, double w0) { return std::fabs(b) < 1e-4 * w0 ? 0.0 : b; };
    return "lidas como RK4, implicam w0 = " + g(k.w0, 4) + " e β = " + g(beta(k.beta, k.w0), 3) +
           " (k/m = " + g(k.w0 * k.w0, 4) + ", b/m = " + g(2 * beta(k.beta, k.w0), 3) +
           "), e não w0 = " + g(given.w0, 4) + " e β = " + g(given.beta, 3);
}

// What a run of a student's program did wrong.
std::string run_text(const Checked &item)
{
    const Finished &run = item.finished;
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
        return std::string("acabou sem escrever o ") + rkstepper::layout.files[0] +
               ", onde devia deixar as suas linhas";
    if (item.file_full || run.signal == SIGXFSZ)
        return format("escreveu sem fim: o %s chegou a %.3g MiB, e foi terminado",
                      rkstepper::layout.files[0],
                      static_cast<double>(item.file_bound) / (1U << 20U));
    if (run.signal != 0) {
        const char *what = run.signal == SIGSEGV   ? " (acesso inválido à memória)"
                           : run.signal == SIGABRT ? " (abortou)"
                           : run.signal == SIGFPE  ? " (erro aritmético)"
                                                   : "";
        return format("foi terminado pelo sinal %d%s", run.signal, what);
    }
    std::string said = run.said.substr(0, run.said.find('\n'));
    return format("acabou com o estado %d", run.status) + (said.empty() ? "" : ": " + quoted(said));
}

// "h = 0.1, 201 linhas" and what was taken from the file.
std::string rows_text(const Checked &item)
{
    const FileCheck &c = item.check;
    std::string said = "h = " + g(c.h) + format(", %.0f linhas", c.shape.rows);
    if (c.start_from_file)
        said += ", x0 = " + g(c.x0) + " e v0 = " + g(c.v0) + " da primeira linha";
    if (item.choice != 0)
        said += format(", escolha = %d", item.choice) + (item.choice_named ? " do nome" : "");
    return said;
}

// The line of one file or run.
std::string item_line(const Checked &item, const Motion &given)
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
    switch (c.judgement) {
    case Judgement::rk4:
        said +=
            "RK4" +
            (matched > 1 ? " (nesta equação não se distingue de: " + others_than_rk4(c) + ")" : "");
        break;
    case Judgement::cut:
        said += "as linhas do RK4 até à última, cortada: " + departure_text(c.from_rk4());
        break;
    case Judgement::other_entries:
        said += "as linhas de " + matched_names(c) +
                (matched > 1 ? ", que aqui não se distinguem" : "") +
                ", não as do RK4: " + departure_text(c.from_rk4());
        break;
    case Judgement::other_constants:
        said += "nenhum método dá estas linhas com estas constantes; " + constants_text(c, given) +
                "; " + departure_text(c.from_rk4());
        break;
    default:
        said += "nenhum método do catálogo dá estas linhas: " + departure_text(c.from_rk4());
        if (c.free_motion && std::isfinite(c.implied.w0)) said += "; " + constants_text(c, given);
        break;
    }
    said += "; maior |x - x exato| = " + number(c.error.largest, 3) + " em t = " + g(c.error.at);
    if (!std::isnan(item.order)) said += format("; ordem observada %.2f", item.order);
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
        escaped(first.name, 120) + (program ? "" : " a " + escaped(last.name, 120)) + "): ";
    const Verdict &v = ladder.verdict;
    switch (v.outcome) {
    case Outcome::settled: said += format("%.2f", v.order); break;
    case Outcome::unsettled:
        said += format("%.2f, que ainda não se pode dar por assente", v.order);
        break;
    case Outcome::sign_change:
        return said + "indefinida: o erro muda de sinal entre os dois últimos passos";
    case Outcome::none:
        return said + format("nenhuma: os erros não passam %d vezes o arredondamento dos seis "
                             "algarismos; experimente um h maior",
                             order_margin);
    }
    const bool all_rk4 = std::all_of(ladder.files.begin(), ladder.files.end(), [&](std::size_t i) {
        return f.items[i].check.judgement == Judgement::rk4;
    });
    return said + (all_rk4 ? format(" (a do RK4 é %d)", programs_method.order) : "");
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

// A text cell of the table, quoted as spreadsheets read CSV.
std::string cell(const std::string &text)
{
    std::string quoted = "\"";
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
    switch (c.judgement) {
    case Judgement::other_entries:
        return "são as linhas de " + matched_names(c) + ", não as do RK4 dos programas";
    case Judgement::other_constants:
        return "são de outras constantes: " + constants_text(c, setup.motion);
    case Judgement::cut: return "a última linha está cortada";
    case Judgement::rk4: return "são as linhas do RK4 com outro início ou outro passo: " + names;
    case Judgement::none:
        return "nenhum método do catálogo dá estas linhas com estas constantes: " + names;
    default: break;
    }
    return "não são as linhas desta execução: " + names;
}

} // namespace

std::string file_fault_text(const Setup &setup, const FileFault &f)
{
    using Kind = FileFault::Kind;
    const Layout &layout = layout_of(setup.program);
    const std::string names = "dê " + names_text(setup.program) + " da execução que o escreveu";
    const char *const columns[] = {"t", "x", "v"};
    const double held[] = {f.held.t, f.held.x, f.held.v};
    const double computed[] = {f.computed.t, f.computed.x, f.computed.v};
    switch (f.kind) {
    case Kind::none: break;
    case Kind::shape: return said(f.shape);
    case Kind::being_written:
        return "um dos programas está a escrevê-lo agora, e faltam-lhe linhas: espere que acabe";
    case Kind::columns:
        return std::string("tem linhas \"") + column_names(f.columns) + "\", e as do " +
               layout.program + " são \"" + column_names(layout.columns) + "\"";
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
    case Kind::departs:
        return format("a linha %.0f tem %s = %s, e esta execução dá ", f.line, columns[f.column],
                      text(held[f.column]).c_str()) +
               number(computed[f.column]) + " (diferença " +
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
            named += (named.empty() ? "" : ", ") + found->first + " = " + g(found->second);
    head += named.empty() ? " com as constantes por omissão" : " com " + named;
    head += "; de cada ficheiro, o passo e o fim dos seus tempos";
    if (given.count("x0") == 0 && given.count("v0") == 0 && program != Program::rkstepper)
        head += ", e x0 e v0 da primeira linha quando é a de t = 0";
    std::string text = head + "\n";
    Setup setup;
    make_setup(program, given, setup);
    for (const Checked &item : f.items) text += item_line(item, setup.motion) + "\n";
    for (const Ladder &ladder : f.ladders) text += ladder_line(f, ladder) + "\n";
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
        table += (std::isnan(item.order) ? "" : format("%.2f", item.order)) + "\n";
    }
    return table;
}

} // namespace osc
