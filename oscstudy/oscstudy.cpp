// oscstudy: the questions a student asks after a run, answered against the exact motion.
//
//   oscstudy PERGUNTA [PROGRAMA] [nome=valor ...] [-o FIGURA.png | -t]
//
// The rows come from runs with the program's own arithmetic, in full precision (or from a data
// file the student has); each question is answered in a short table on standard output and,
// with -o or -t, in a figure that gnuplot draws from datablocks on its standard input.
#include "disk/datafile.hpp"
#include "disk/replace.hpp"
#include "figures/figure.hpp"
#include "methods/methods.hpp"
#include "oscstudy/answers.hpp"
#include "oscstudy/verify.hpp"
#include "oscstudy/wording.hpp"
#include "oscstudy_program.hpp"
#include "process/child.hpp"
#include "text/command_line.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"
#include "text/reading.hpp"
#include "warnings/program_checks.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char *const program = "oscstudy";

const char *const usage_head =
    "uso: oscstudy PERGUNTA [PROGRAMA] [nome=valor ...] [-o FIGURA.png | -t]\n"
    "              [--tabela TABELA]\n"
    "     oscstudy verificar [PROGRAMA] [nome=valor ...] ficheiro=F... [--csv CSV]\n"
    "     oscstudy -h | --help | --version\n"
    "\n"
    "Responde, contra o movimento exato, às perguntas de quem acabou de correr um dos\n"
    "programas: uma tabela curta com o exato ao lado do calculado e uma última linha que\n"
    "responde por palavras; com -o ou -t também uma figura, com as constantes no título.\n"
    "Antes da resposta, na saída de erro, os avisos que o programa daria antes de correr.\n"
    "\n"
    "PERGUNTA (com ou sem acentos)\n"
    "  erro         x - x exato e v - v exato ao longo da execução: o maior, quando, no fim,\n"
    "               e como cresce (o exato é tomado na soma dos h, como o programa a faz)\n"
    "  energia      E = (v² + w0²·x²)/2 contra a exata; E/E0 - 1 no fim e, sem força nem\n"
    "               amortecimento, o fator de um passo, 1 - z⁶/72 + z⁸/576 (z = h·w0)\n"
    "  período      período e amplitude das linhas (passagens por zero, interpoladas) contra\n"
    "               2π/sqrt(w0² - β²) e o do método; com força, a amplitude e a fase do\n"
    "               regime estacionário contra as exatas e as da função de transferência\n"
    "  ressonância  a amplitude estacionária contra wf, de 0 a 3·w0 (ou de wmin a wmax):\n"
    "               exata, a do RK4 com o h da execução, e as frequências do programa medidas\n"
    "               nas suas linhas; o pico, a largura a meia potência e Q, como wr/largura\n"
    "               e como w0/(2β)\n";

// After the question metodos, which names the methods of their table.
const char *const usage_tail =
    "  verificar    o trabalho de um aluno ou de uma turma: em cada ficheiro (ficheiro=, uma\n"
    "               ou mais vezes, ou uma pasta) ou execução de um programa do aluno\n"
    "               (programa=), se as linhas são as do RK4 com estas constantes, aos\n"
    "               algarismos com que cada coluna está escrita, ou as de outro método ou de\n"
    "               um engano comum no RK4, a primeira linha que se afasta do RK4, o maior erro\n"
    "               contra o exato e, sem força, o k/m e o b/m com que o RK4 dá as linhas; a\n"
    "               ordem observada onde há ficheiros em h, h/2, h/4, ... até ao mesmo fim;\n"
    "               uma linha cada e um resumo\n"
    "\n"
    "PROGRAMA: harmosc (por omissão), drivenosc ou rkstepper, com o que cada um fixa (harmosc\n"
    "h = 0.1; drivenosc m = k = 1, λ = 0.5, F0 = 0.5; rkstepper também wf = 3) e os nomes do\n"
    "que cada um pergunta ou lê, cada um dado uma vez, com estes valores por omissão:\n"
    "  harmosc    k=1 m=1 b=0 x0=1 v0=0 tf=10\n"
    "  drivenosc  x0=1 v0=0 N=2000 h=0.05 escolha=2   (escolha 1, 2, 3: wf = w0/3, w0, 3·w0)\n"
    "  rkstepper  x0=1 v0=0 N=1000 h=0.01\n"
    "  ficheiro=F lê as linhas de F, um ficheiro de dados desta execução, em vez de as\n"
    "             calcular (erro, energia, periodo): os algarismos escritos limitam o que se\n"
    "             vê\n"
    "  wmin=, wmax=  o intervalo de wf da ressonância, 0 <= wmin < wmax\n"
    "Em verificar, o que se dá (h, tf, N, x0, v0, escolha) tem de estar em cada ficheiro; o que\n"
    "não se dá vem dele: o passo e o fim dos seus tempos, x0 e v0 da primeira linha quando é a\n"
    "de t = 0, a escolha do drivenosc do nome do ficheiro ou das suas linhas. Lê cabeçalhos,\n"
    "comentários com #, colunas separadas por espaços, tabulações ou vírgulas, fins de linha\n"
    "CRLF e linhas t x v, n t x v ou t x v E.\n"
    "  ficheiro=F    (verificar) um ficheiro, ou uma pasta: os seus ficheiros e, à parte, os\n"
    "                de cada pasta dentro dela (as ligações para pastas, a tabela CSV e as\n"
    "                das ferramentas ficam de fora); a ordem mede-se dentro de cada grupo\n"
    "  programa=P    (verificar) um programa que, como o rkstepper, lê x0 v0 N h de\n"
    "                parametros_sistema.txt e escreve RK_generico_1b.txt: corre com h, h/2,\n"
    "                h/4 e h/8 (por omissão h = 1, N = 10; N >= 2, h diferente de 0) numa pasta\n"
    "                temporária sua, com limites de tempo (tempo=S, por omissão 10 s), de\n"
    "                memória (1 GiB) e de ficheiros (1 MiB e 4 vezes o que as suas linhas\n"
    "                ocupam); não passa se deixar processos a correr ou se o ficheiro de dados\n"
    "                não for escrito por ele; no fim, os seus processos terminam e a pasta\n"
    "                temporária é apagada, mas corre com as permissões do utilizador: o que\n"
    "                escrever fora dela fica\n"
    "Uma execução vai até 1e7 passos (métodos: 1e6, pois corre cada método também com h/2,\n"
    "h/4 e h/8).\n"
    "\n"
    "  -o FIGURA.png   desenha a figura com o gnuplot; uma FIGURA que já existe só é\n"
    "                  substituída se for uma imagem PNG, e só quando a nova está completa\n"
    "  -t              desenha a figura no terminal (100x30)\n"
    "  --tabela TABELA em vez de desenhar, escreve em TABELA os pontos que cada curva da figura\n"
    "                  desenharia (a de -t, com -t), tal como o gnuplot os recebe, e depois\n"
    "                  dos de cada painel o título, a nota e os eixos com os seus limites; uma\n"
    "                  TABELA que já existe só é substituída se for uma tabela\n"
    "  --csv CSV       (verificar) escreve também em CSV uma linha por ficheiro ou execução:\n"
    "                  ficheiro, veredicto, método, h, maior erro, ordem e se está assente\n"
    "                  (sim, não) (em UTF-8, separado por vírgulas); um CSV que já existe só\n"
    "                  é substituído se for uma destas tabelas\n"
    "\n"
    "Nenhum ficheiro do diretório atual é escrito, além da FIGURA, da TABELA e do CSV.\n"
    "\n"
    "Estado de saída: 0 respondido; 1 ficheiro de dados recusado, figura que não se pôde\n"
    "escrever, o gnuplot falhou ou memória insuficiente; 2 argumentos inválidos (também uma\n"
    "FIGURA que existe e não é uma imagem PNG), valores que o programa recusaria ou uma execução\n"
    "sem linhas para estudar; 3 o gnuplot não está instalado (pacote gnuplot-nox). verificar:\n"
    "0 todos os ficheiros e execuções passam; 1 algum não passa, foi recusado ou o programa\n"
    "falhou, ou o CSV não se pôde escrever; 2 argumentos inválidos (também tempo= sem\n"
    "programa=), valores que o programa recusaria, uma execução sem linhas, ou um CSV que existe\n"
    "e não é uma destas tabelas.\n";

// The usage, with the methods named from their table and the line broken at spaces by 88
// columns, under the question's column as the other questions are.
std::string usage()
{
    std::string said;
    const std::size_t count = std::size(osc::methods);
    for (std::size_t i = 0; i < count; ++i)
        said += std::string(i == 0 ? "" : i + 1 < count ? ", " : " e ") + osc::methods[i].name;
    said += " no mesmo movimento: a ordem observada (h, h/2, h/4, h/8), a energia, o período e o "
            "maior h·w0 estável";
    const std::string indent(15, ' ');
    std::string text = usage_head;
    std::string line = "  métodos      ";
    bool fresh = true;
    std::istringstream words(said);
    for (std::string word; words >> word; fresh = false) {
        if (!fresh && osc::columns(line) + 1 + osc::columns(word) > 88) {
            text += line + "\n";
            line = indent;
            fresh = true;
        }
        line += (fresh ? "" : " ") + word;
    }
    return text + line + "\n" + usage_tail;
}

// The questions, and the names with accents that a student may write them with.
const char *const questions[] = {"erro",        "energia", "periodo",
                                 "ressonancia", "metodos", "verificar"};
const std::pair<const char *, const char *> accented[] = {
    {"período", "periodo"}, {"ressonância", "ressonancia"}, {"métodos", "metodos"}};

// `word` with Portuguese letters composed: a copy-paste may write "í" as "i" followed by the
// combining acute accent (U+0301), which looks the same.
std::string composed(std::string word)
{
    const std::pair<const char *, const char *> letters[] = {
        {"a\u0301", "á"}, {"a\u0300", "à"}, {"a\u0302", "â"}, {"a\u0303", "ã"}, {"e\u0301", "é"},
        {"e\u0302", "ê"}, {"i\u0301", "í"}, {"o\u0301", "ó"}, {"o\u0302", "ô"}, {"o\u0303", "õ"},
        {"u\u0301", "ú"}, {"c\u0327", "ç"}};
    for (const auto &[decomposed, letter] : letters)
        for (std::size_t at = word.find(decomposed); at != std::string::npos; at = word.find(decomposed, at))
            word.replace(at, std::char_traits<char>::length(decomposed), letter);
    return word;
}

struct CommandLine {
    bool terminal = false, drawing = false, tabulating = false;
    std::string figure, question, table, csv;
    osc::Program study_program = osc::Program::harmosc;
    std::vector<std::string> settings; // nome=valor
};

int bad_usage(const std::string &problem) { return osc::bad_usage(program, problem); }

bool program_named(const std::string &name, osc::Program &found)
{
    for (const osc::Program program : {osc::Program::harmosc, osc::Program::drivenosc, osc::Program::rkstepper}) {
        if (name != osc::layout_of(program).program) continue;
        found = program;
        return true;
    }
    return false;
}

// What is wrong with `word`, which is no nome=valor, where `named` says whether a PROGRAMA
// came right after the PERGUNTA.
std::string not_a_setting(const std::string &word, bool named, osc::Program study_program)
{
    osc::Program other{};
    const std::string quoted = "'" + osc::escaped(word) + "'";
    if (!program_named(word, other)) return quoted + " não é um programa nem nome=valor";
    if (named)
        return quoted + ": o programa já é o " + osc::layout_of(study_program).program +
               "; cada pergunta estuda um só";
    return quoted + " vem depois de nome=valor: o PROGRAMA vem logo a seguir à PERGUNTA";
}

// Reads the command line into `line`, answering help and version as the other tools do; -1
// when it holds, or the status to end with.
int parse(int argc, char **argv, CommandLine &line)
{
    const osc::CommandLine read =
        osc::read_command_line(argc, argv,
                               {{"-o", &line.drawing, &line.figure, "o nome da figura"},
                                {"-t", &line.terminal},
                                {"--tabela", &line.tabulating, &line.table, "o nome da tabela"},
                                {"--csv", nullptr, &line.csv, "o nome da tabela CSV"}},
                               false);
    if (const int answered = osc::answer_command_line(read, program, usage()); answered >= 0)
        return answered;
    const std::vector<std::string> &words = read.operands;
    if (words.empty())
        return bad_usage(
            "falta a PERGUNTA: erro, energia, periodo, ressonancia, metodos ou verificar");
    line.question = composed(words[0]);
    for (const auto &[with, without] : accented)
        if (line.question == with) line.question = without;
    const bool known = std::any_of(std::begin(questions), std::end(questions),
                                   [&](const char *question) { return line.question == question; });
    if (!known)
        return bad_usage("pergunta desconhecida '" + osc::escaped(words[0]) +
                         "': esperado erro, energia, periodo, ressonancia, metodos ou verificar");
    std::size_t next = 1;
    const bool named = words.size() > 1 && program_named(words[1], line.study_program);
    if (named) next = 2;
    // A student's program does rkstepper's work: its equation is rkstepper's.
    const auto program_given = [](const std::string &word) {
        return word.rfind("programa=", 0) == 0;
    };
    if (!named && line.question == "verificar" &&
        std::any_of(words.begin(), words.end(), program_given))
        line.study_program = osc::Program::rkstepper;
    if (line.study_program != osc::Program::rkstepper &&
        std::any_of(words.begin(), words.end(), program_given))
        return bad_usage("programa= corre um programa que faz o que o rkstepper faz: verifica-se "
                         "contra o rkstepper");
    for (std::size_t i = next; i < words.size(); ++i) {
        if (words[i].find('=') == std::string::npos)
            return bad_usage(not_a_setting(words[i], named, line.study_program));
        line.settings.push_back(words[i]);
    }
    if (line.drawing && line.terminal) return bad_usage("-o e -t não se combinam");
    const bool verifying = line.question == "verificar";
    if (verifying && (line.drawing || line.terminal))
        return bad_usage("verificar não desenha figura");
    if (verifying && line.tabulating)
        return bad_usage("verificar não desenha figura: a sua tabela é --csv");
    if (!verifying && !line.csv.empty()) return bad_usage("--csv é de verificar");
    return -1;
}

// What the settings give: the program's values, and what the study takes beside them.
struct Settings {
    std::map<std::string, double> values;
    std::vector<std::string> files; // one, but for verificar
    std::string student_program;    // verificar
    double low = NAN, high = NAN, seconds = 0;
};

// What follows a refusal of rkstepper's N, N=`N` beside the first h= given, where the two may
// have come swapped.
std::string swap_hint(const std::string &N, const std::vector<std::string> &settings)
{
    for (const std::string &setting : settings)
        if (setting.rfind("h=", 0) == 0) return osc::rkstepper_swap_hint(N, setting.substr(2), false);
    return "";
}

// Reads nome=valor with the program's names, each value one whole number as the program reads
// it, each name once; -1 when they hold, or the status to end with, having said why.
int read_settings(const CommandLine &line, Settings &settings)
{
    const auto &names = osc::names_of(line.study_program);
    const std::string program_text = osc::layout_of(line.study_program).program;
    std::string known;
    for (const osc::Name &name : names) known += (known.empty() ? "" : ", ") + std::string(name.name);
    std::map<std::string, std::string> given; // each name, as it was first given
    for (const std::string &setting : line.settings) {
        const std::string name = setting.substr(0, setting.find('='));
        const std::string value = setting.substr(setting.find('=') + 1);
        if (name.empty()) return bad_usage("falta o nome antes de '=' em '" + osc::escaped(setting) + "'");
        bool ours = false;
        for (const osc::Name &n : names) ours = ours || name == n.name;
        const bool range = line.question == "ressonancia" && (name == "wmin" || name == "wmax");
        const bool file = name == "ficheiro" && line.question != "ressonancia" && line.question != "metodos";
        const bool verifying = line.question == "verificar";
        const bool checks = verifying && (name == "programa" || name == "tempo");
        // A name of another question: the question is what does not read it.
        const std::string not_read = "a pergunta " + line.question + " não lê " + name + "=: só ";
        if (name == "ficheiro" && !file)
            return bad_usage(not_read + "erro, energia, periodo e verificar leem as linhas de um ficheiro");
        if ((name == "wmin" || name == "wmax") && !range) return bad_usage(not_read + "a ressonancia o lê");
        if ((name == "programa" || name == "tempo") && !checks) return bad_usage(not_read + "verificar o lê");
        if (!ours && !range && !file && !checks) {
            std::string problem = "o " + program_text + " não lê '" + osc::escaped(name) + "': conhece ";
            problem += known;
            if (line.question == "ressonancia") problem += ", wmin, wmax";
            else if (verifying) problem += ", ficheiro, programa, tempo";
            else if (line.question != "metodos") problem += ", ficheiro";
            return bad_usage(problem);
        }
        if (value.empty()) return bad_usage("falta o valor de " + name + " em '" + osc::escaped(setting) + "'");
        // verificar takes many files: a class's.
        if (const auto first = given.find(name); first != given.end() && !(verifying && file))
            return bad_usage(name + " dado duas vezes: '" + osc::escaped(first->second) + "' e '" +
                             osc::escaped(setting) + "'");
        given[name] = setting;
        if (file || name == "programa") {
            (file ? settings.files.emplace_back() : settings.student_program) = value;
            continue;
        }
        std::istringstream in(value);
        const bool whole = (line.study_program == osc::Program::rkstepper && name == "N") || name == "escolha";
        int integer = 0;
        double number = 0.0;
        const bool read = whole ? osc::read_number(in, integer, program, name.c_str(), nullptr,
                                                   name == "N" ? swap_hint(value, line.settings) : "")
                                : osc::read_number(in, number, program, name.c_str(), nullptr);
        if (!read) return 2;
        if (name == "escolha" && (integer < 1 || integer > 3))
            return bad_usage("escolha = " + osc::escaped(value) + " não serve: esperado 1, 2 ou 3 (wf = w0/3, w0 ou 3·w0)");
        if (in >> std::ws && !in.eof()) return bad_usage("'" + osc::escaped(value) + "' não é um só número para " + name);
        if (name == "tempo" && !(number > 0.0 && number <= osc::longest_bound))
            return bad_usage("tempo = " + osc::escaped(value) +
                             ": o limite de uma execução vai de 0 a " +
                             osc::text(osc::longest_bound) + " s");
        (name == "wmin"    ? settings.low
         : name == "wmax"  ? settings.high
         : name == "tempo" ? settings.seconds
                           : settings.values[name]) = whole ? integer : number;
    }
    return -1;
}

// Why the range of wf asked for draws no curve, or "".
std::string range_problem(const osc::Setup &setup, const Settings &settings)
{
    const osc::Range range = osc::resonance_range(setup, settings.low, settings.high);
    const std::string low = "wmin = " + osc::text(range.low) + (std::isnan(settings.low) ? " (por omissão)" : "");
    const std::string high = "wmax = " + osc::text(range.high) +
                             (std::isnan(settings.high) ? " (por omissão, 3·w0)" : "");
    if (range.low < 0.0) return low + " é negativo: wf vai de 0 para cima";
    if (!(range.low < range.high)) return low + " não é menor do que " + high;
    return "";
}

// The answer's figure, drawn by gnuplot (or its tables): its bytes, or false having said why
// not. The title goes as a datablock, data like the numbers.
bool draw(const CommandLine &line, const std::string &gnuplot, const osc::Answer &answer, std::string &out)
{
    std::vector<osc::Datablock> blocks = answer.blocks;
    blocks.push_back({"$title", answer.title + "\n"});
    std::vector<osc::Setting> settings = answer.settings;
    settings.insert(settings.end(), {{"question", answer.question}, {"text", line.terminal ? 1 : 0},
                                     {"tables", line.tabulating ? 1 : 0}, {"columns", 100}, {"lines", 30}});
    const osc::Kind kind = line.tabulating ? osc::Kind::table : line.terminal ? osc::Kind::text : osc::Kind::png;
    const osc::Figure figure = osc::draw(gnuplot, osc::oscstudy_program, settings, blocks, kind);
    if (!figure.why.empty()) {
        osc::refuse(program, osc::about(line.tabulating ? line.table : line.terminal ? "-t" : line.figure, figure.why));
        return false;
    }
    out = figure.bytes;
    return true;
}

// verificar: the files and runs judged, said, and tabled; the status says whether all passed.
int verify(const CommandLine &line, const Settings &settings)
{
    const osc::VerifyRequest request{line.study_program, settings.values, settings.files,
                                     settings.student_program, settings.seconds, line.csv};
    if (request.paths.empty() && request.student_program.empty())
        return bad_usage(
            "verificar precisa de ficheiro=F (um ficheiro ou uma pasta) ou de programa=P");
    if (request.seconds > 0 && request.student_program.empty())
        return bad_usage("tempo= é o limite de uma execução de programa=, que não foi dado");
    const char *const kind = "uma tabela do oscstudy verificar";
    if (!line.csv.empty() &&
        !osc::table_replaceable(program, line.csv, osc::verify_csv_signature, kind))
        return 2;
    osc::VerifyFinding found;
    if (const std::string why = osc::verify(request, found); !why.empty()) {
        osc::refuse(program, why);
        return 2;
    }
    errno = 0;
    std::cout << osc::verify_text(request.program, request.given, found) << std::flush;
    if (!std::cout) return osc::refuse_standard_output(program, errno);
    if (!line.csv.empty() && !osc::write_tables(program, line.csv, osc::verify_csv(found)))
        return 1;
    return found.passed() == found.items.size() ? 0 : 1;
}

int run(int argc, char **argv)
{
    CommandLine line;
    if (const int status = parse(argc, argv, line); status >= 0) return status;
    Settings settings;
    if (const int status = read_settings(line, settings); status >= 0) return status;
    const std::string &q = line.question;
    if (q == "verificar") return verify(line, settings);
    osc::Setup setup;
    const double most = q == "metodos" ? osc::most_methods_steps : osc::most_study_steps;
    // A file one of our runs is writing is refused before anything is taken from its rows so
    // far; an empty one, which drivenosc empties and holds, is refused as empty when read.
    std::error_code unknown;
    if (!settings.files.empty() && osc::being_written(settings.files.front()) &&
        std::filesystem::file_size(settings.files.front(), unknown) > 0)
        return osc::refuse(program, osc::about(settings.files.front(), osc::being_written_text()));
    // What a data file fixes and was not given is taken from it, never from a default.
    std::map<std::string, double> values = settings.values;
    const std::map<std::string, double> taken =
        settings.files.empty()
            ? std::map<std::string, double>{}
            : osc::values_of_file(line.study_program, settings.files.front(), values);
    values.insert(taken.begin(), taken.end());
    if (const std::string why = osc::make_setup(line.study_program, values, setup, most);
        !why.empty()) {
        osc::refuse(program, why);
        return 2;
    }
    for (const auto &name : taken) setup.from_file.push_back(name.first);
    if (q != "ressonancia" && setup.rows == 0.0) {
        osc::check_run(program, setup); // the program's own word on why
        osc::refuse(program, "esta execução não dá nenhuma linha: nada a estudar");
        return 2;
    }
    if (q == "ressonancia")
        if (const std::string why = range_problem(setup, settings); !why.empty()) return bad_usage(why);
    // Tables are written in place of the figure.
    const bool figure_file = line.drawing && !line.tabulating;
    const bool drawn = line.drawing || line.terminal || line.tabulating;
    if (figure_file && !osc::figure_replaceable(program, line.figure)) return 2;
    if (line.tabulating && !osc::tables_replaceable(program, line.table)) return 2;
    const std::string gnuplot = drawn ? osc::gnuplot_on_path(program) : "";
    if (drawn && gnuplot.empty()) return 3;
    osc::Replacement figure;
    if (figure_file && !osc::open_beside(program, figure, line.figure)) return 1;

    // What the program would say before its first step, said by this tool, which runs it
    // without writing its data file.
    osc::check_run(program, setup);
    const osc::Source source{setup, settings.files.empty() ? "" : settings.files.front()};
    osc::Answer answer;
    std::string why;
    if (q == "erro") why = osc::answer_error(source, answer);
    else if (q == "energia") why = osc::answer_energy(source, answer);
    else if (q == "periodo") why = osc::answer_period(source, answer);
    else if (q == "ressonancia") answer = osc::answer_resonance(setup, settings.low, settings.high);
    else answer = osc::answer_methods(setup);
    if (!why.empty()) return osc::refuse(program, osc::about(source.file, why));
    errno = 0;
    std::cout << answer.text << std::flush;
    if (!std::cout) return osc::refuse_standard_output(program, errno);
    if (!drawn) return 0;

    std::string out;
    if (!draw(line, gnuplot, answer, out)) return 1;
    if (line.tabulating) return osc::write_tables(program, line.table, out) ? 0 : 1;
    if (line.terminal) {
        std::cout << out << std::flush;
        return std::cout ? 0 : osc::refuse_standard_output(program, errno);
    }
    return osc::place(program, figure, line.figure, out) ? 0 : 1;
}

} // namespace

// A signal that ends the run ends gnuplot first and takes the figure's hidden file with it;
// memory that runs out ends it with one line, the hidden file going as the run unwinds.
int main(int argc, char **argv) { return osc::run_tool(program, argc, argv, run); }
