// What the programs read and say, in-process: numbers and menu answers read as whole tokens with
// the reason for one that does not read, text made safe to show, and the answers to a command
// line. The programs' own tests keep a row or two each for the wiring.

#include "text/command_line.hpp"
#include "text/messages.hpp"
#include "text/reading.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// What a call writes on standard error (and output) while it runs.
class Captured {
public:
    explicit Captured(std::streambuf *out = nullptr)
        : err_(std::cerr.rdbuf(said_.rdbuf())), out_(std::cout.rdbuf(out ? out : shown_.rdbuf()))
    {
    }
    ~Captured()
    {
        std::cerr.rdbuf(err_);
        std::cout.rdbuf(out_);
        std::cout.clear();
    }
    Captured(const Captured &) = delete;
    Captured &operator=(const Captured &) = delete;
    std::string said() const { return said_.str(); }
    std::string shown() const { return shown_.str(); }

private:
    std::ostringstream said_, shown_;
    std::streambuf *err_, *out_;
};

// The one line read_number says for `input`, "" when it reads a number whole into `value`.
template <typename Number>
std::string refusal(const std::string &input, const char *source, Number &value)
{
    std::istringstream in(input);
    const Captured run;
    const bool read = osc::read_number(in, value, "p", "v", source);
    EXPECT_EQ(read, run.said().empty()) << run.said();
    return run.said();
}

// A token is a number only when the stream's extraction takes it whole; otherwise the message
// quotes it, names the value and where it came from, and says what would have done.
TEST(Reading, WholeTokensOrTheReasonWhyNot)
{
    const std::string number = "esperado um número (como 0.4 ou 1e-3)";
    const std::string integer = " em f.txt: esperado um número inteiro";
    const std::string wide = "; o valor está fora do alcance de um ";
    const std::string commas = "; separe os valores por espaços, não por vírgulas";
    struct Case {
        std::string input;
        bool as_int;
        const char *source;
        std::string said; // after "p: ", or the value read
    };
    const Case cases[] = {
        {"", false, nullptr, "falta o valor de v (a entrada terminou)"},
        {" \n", false, "f.txt", "falta o valor de v em f.txt (o ficheiro terminou)"},
        {"0.25 x", false, nullptr, "0.25"},
        {"-1e-3", false, "f.txt", "-0.001"},
        {"abc", false, nullptr, "\"abc\" não serve para v: " + number},
        // A lone comma between digits may be a decimal comma or a separator; several commas, or
        // one at an end or beside a point, separate numbers.
        {"0,4", false, nullptr,
         "\"0,4\" não serve para v: " + number +
             "; use ponto decimal, ou um espaço se são dois valores"},
        {"4,", false, nullptr, "\"4,\" não serve para v: " + number + commas},
        {"4,1,4", false, nullptr, "\"4,1,4\" não serve para v: " + number + commas},
        {"0.4,1", false, nullptr, "\"0.4,1\" não serve para v: " + number + commas},
        // Nothing of a refused token counts as read: what follows the number is named.
        {"20s", false, nullptr,
         "\"20s\" não serve para v: " + number + "; \"s\" não faz parte de um número"},
        {"0.05abc", false, "f.txt",
         "\"0.05abc\" não serve para v em f.txt: " + number +
             "; \"abc\" não faz parte de um número"},
        {"1e999", false, nullptr, "\"1e999\" não serve para v: " + number + wide + "double"},
        {"-1e400", false, nullptr, "\"-1e400\" não serve para v: " + number + wide + "double"},
        {"-2147483648", true, "f.txt", "-2147483648"},
        {"abc", true, "f.txt", "\"abc\" não serve para v" + integer},
        {"10.5", true, "f.txt", "\"10.5\" não serve para v" + integer + "; tem parte decimal"},
        {"1e12", true, "f.txt", "\"1e12\" não serve para v" + integer + wide + "int"},
        {"1e3", true, "f.txt",
         "\"1e3\" não serve para v" + integer + "; escreva-o só com algarismos"},
        {"10abc", true, "f.txt",
         "\"10abc\" não serve para v" + integer + "; \"abc\" não faz parte de um número"},
        {"2147483648", true, "f.txt", "\"2147483648\" não serve para v" + integer + wide + "int"},
        {"-2147483649", true, "f.txt", "\"-2147483649\" não serve para v" + integer + wide + "int"},
        {"99999999999", true, "f.txt", "\"99999999999\" não serve para v" + integer + wide + "int"},
        // DEL and bytes that are not UTF-8 are shown as text; a no-break space is a character.
        {"7\x7f\xc2\xa0\xf5\x80\x80\x80", true, "f.txt",
         "\"7\\x7f\xc2\xa0\\xf5\\x80\\x80\\x80\" não serve para v" + integer +
             "; \"\\x7f\xc2\xa0\\xf5\\x80\\x80\\x80\" não faz parte de um número"},
        // A long token is cut short and an escape sequence shown as text, not sent raw.
        {"\x1b[2J" + std::string(1000000, '7'), true, "f.txt",
         "\"\\x1b[2J" + std::string(36, '7') + "…\" não serve para v" + integer},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input.substr(0, 20));
        double real = 0.0;
        int whole = 0;
        const std::string said =
            c.as_int ? refusal(c.input, c.source, whole) : refusal(c.input, c.source, real);
        if (said.empty()) EXPECT_EQ(c.as_int ? std::to_string(whole) : osc::text(real), c.said);
        else EXPECT_EQ(said, "p: " + c.said + "\n");
    }
}

// A menu answer is an integer read whole; what was typed goes into the refusal, quoted.
TEST(Reading, MenuAnswers)
{
    const std::string ended = "a entrada terminou sem uma opção";
    const std::pair<std::string, std::string> cases[] = {
        {"2 x", ""}, {"0", "opção inválida \"0\""}, {"-1", "opção inválida \"-1\""},
        {"abc", "opção inválida \"abc\""}, {"", ended}, {" \n\n", ended},
        {"99999999999", "opção inválida \"99999999999\""}, {"1.5", "opção inválida \"1.5\""},
        {"2x", "opção inválida \"2x\""}, {"\x1b[2J", "opção inválida \"\\x1b[2J\""}};
    for (const auto &[input, said] : cases) {
        SCOPED_TRACE(input);
        std::istringstream in(input);
        int choice = 0;
        std::string answer;
        const bool read = osc::read_choice(in, choice, &answer) && choice >= 1 && choice <= 2;
        const Captured run;
        if (!read) osc::refuse_choice("p", answer, "1 ou 2");
        const std::string why = said + ": esperado 1 ou 2; nenhum ficheiro foi alterado\n";
        EXPECT_EQ(run.said(), said.empty() ? "" : "p: " + why);
    }
}

// A name or another program's words reach the terminal as text: every control or format
// character and every byte that is not UTF-8 as \xNN, cut at 40 characters in a message.
TEST(Messages, ShowEveryCharacterAndNoEscapeSequence)
{
    const std::string forty(40, 'a');
    const std::tuple<std::string, std::size_t, std::string> cases[] = {
        {"k=4 ção.dat", 40, "k=4 ção.dat"},
        {"\x1b]0;PWNED\a", 40, "\\x1b]0;PWNED\\x07"},
        {"a\nb", 40, "a\\x0ab"},
        {"\xc2\x9b" "2J", 40, "\\xc2\\x9b2J"},          // C1 control
        {"\xe2\x80\xae" "txt", 40, "\\xe2\\x80\\xaetxt"}, // right-to-left override
        {"\xff\xc3", 40, "\\xff\\xc3"},                 // not UTF-8, cut short
        {forty + "é", 40, forty + "…"},
        {forty + "é", std::string::npos, forty + "é"},
        // Characters that show nothing are written as their bytes; U+2010, a hyphen, is seen.
        {"\xef\xbb\xbf" "1", 40, "\\xef\\xbb\\xbf1"},
        {"\xc2\xad\xe2\x80\x8b\xe2\x80\x8f\xe2\x80\x90\xe2\x80\xa8\xe2\x81\xa0\xe2\x81\xa4"
         "\xe2\x81\xa6\xe2\x81\xa9", 40,
         "\\xc2\\xad\\xe2\\x80\\x8b\\xe2\\x80\\x8f\xe2\x80\x90\\xe2\\x80\\xa8\\xe2\\x81\\xa0"
         "\\xe2\\x81\\xa4\\xe2\\x81\\xa6\\xe2\\x81\\xa9"},
        // The Arabic letter mark, the Mongolian vowel separator and a tag are format ones too.
        {"\xd8\x9c\xe1\xa0\x8e\xf3\xa0\x81\x81", 40,
         "\\xd8\\x9c\\xe1\\xa0\\x8e\\xf3\\xa0\\x81\\x81"},
    };
    for (const auto &[raw, shown, expected] : cases)
        EXPECT_EQ(osc::escaped(raw, shown), expected) << raw;
}

// Help and version go to standard output, status 0, or status 1 when it does not take them; any
// other argument is one line on standard error, status 2, shown as text.
TEST(Arguments, HelpVersionOrOneLineWhy)
{
    const std::string bogus = "p: argumento desconhecido '";
    const std::string see = "' (veja p --help)\n";
    const std::string full = "p: não é possível escrever na saída padrão: não há espaço livre no "
                             "dispositivo\n";
    struct Case {
        std::vector<std::string> arguments;
        int status; // 1: standard output is /dev/full
        std::string shown, said;
    };
    const Case cases[] = {
        {{}, -1, "", ""},
        {{"--help"}, 0, "uso: p\n", ""},
        {{"-h"}, 0, "uso: p\n", ""},
        {{"--version", "-h"}, 0, "uso: p\n", ""},
        {{"--version"}, 0, std::string("p ") + OSC_VERSION + "\n", ""},
        {{"--bogus"}, 2, "", bogus + "--bogus" + see},
        {{"-h", "-x"}, 2, "", bogus + "-x" + see},
        {{"--\x1b[2J" + std::string(60, 'x')}, 2, "",
         bogus + "--\\x1b[2J" + std::string(34, 'x') + "…" + see},
        {{"--help"}, 1, "", full},
        {{"--version"}, 1, "", full},
    };
    // The programs answer with answer_arguments(), the tools, which have options, by reading
    // their command line first.
    for (const bool tool : {false, true})
        for (const Case &c : cases) {
            SCOPED_TRACE((tool ? "tool " : "") + (c.arguments.empty() ? "" : c.arguments.back()));
            std::vector<char *> argv = {const_cast<char *>("p")};
            for (const std::string &argument : c.arguments)
                argv.push_back(const_cast<char *>(argument.c_str()));
            const int argc = static_cast<int>(argv.size());
            std::filebuf device;
            if (c.status == 1) {
                ASSERT_NE(device.open("/dev/full", std::ios::out), nullptr);
            }
            const Captured run(c.status == 1 ? &device : nullptr);
            EXPECT_EQ(
                tool ? osc::answer_command_line(
                           osc::read_command_line(argc, argv.data(), {}, false), "p", "uso: p\n")
                     : osc::answer_arguments(argc, argv.data(), "p", "uso: p\n"),
                c.status);
            EXPECT_EQ(run.shown(), c.shown);
            EXPECT_EQ(run.said(), c.said);
        }
}

} // namespace
