#include "text/command_line.hpp"

#include "text/messages.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

namespace osc {

const char *version() { return OSC_VERSION; }

int answer(const char *program, const std::string &text)
{
    errno = 0;
    std::cout << text << std::flush;
    if (!std::cout) return refuse_standard_output(program, errno);
    return 0;
}

int answer_version(const char *program)
{
    return answer(program, std::string(program) + ' ' + version() + '\n');
}

int bad_usage(const char *program, const std::string &problem)
{
    refuse(program, problem + " (veja " + program + " --help)");
    return 2;
}

std::string unknown_argument(const std::string &argument)
{
    return "argumento desconhecido '" + escaped(argument) + "'";
}

int answer_arguments(int argc, char **argv, const char *program, const char *usage)
{
    if (argc <= 1) return -1;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") help = true;
        else if (argument != "--version") return bad_usage(program, unknown_argument(argument));
    }
    return help ? answer(program, usage) : answer_version(program);
}

CommandLine read_command_line(int argc, char **argv, std::initializer_list<Option> options, bool numbers)
{
    CommandLine line;
    const auto problem = [&](const std::string &what) {
        if (line.problem.empty()) line.problem = what;
    };
    std::vector<const Option *> valued; // the options with a value given so far
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const Option *option = nullptr;
        for (const Option &candidate : options)
            if (argument == candidate.name) option = &candidate;
        if (argument == "-h" || argument == "--help") {
            line.help = true;
        } else if (argument == "--version") {
            line.version = true;
        } else if (option != nullptr && option->value == nullptr) {
            *option->given = true;
        } else if (option != nullptr) {
            if (i + 1 == argc) {
                problem(std::string("falta ") + option->what + " depois de " + option->name);
                continue;
            }
            if (std::find(valued.begin(), valued.end(), option) != valued.end())
                problem(std::string(option->name) + " dado duas vezes: '" + escaped(*option->value) +
                        "' e '" + escaped(argv[i + 1]) + "'");
            valued.push_back(option);
            *option->value = argv[++i];
            if (option->given != nullptr) *option->given = true;
            if (option->value->empty())
                problem(std::string(option->what) + " depois de " + option->name + " está vazio");
        } else if (argument == "--") {
            line.operands.insert(line.operands.end(), argv + i + 1, argv + argc);
            break;
        } else if (argument.size() > 1 && argument[0] == '-' &&
                   !(numbers && std::strchr("0123456789.", argument[1]) != nullptr)) {
            problem(unknown_argument(argument));
        } else {
            line.operands.push_back(argument);
        }
    }
    return line;
}

int answer_command_line(const CommandLine &line, const char *program, const std::string &usage)
{
    if (!line.problem.empty()) return bad_usage(program, line.problem);
    if (line.help) return answer(program, usage);
    if (line.version) return answer_version(program);
    return -1;
}

} // namespace osc
