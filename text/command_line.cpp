#include "text/command_line.hpp"

#include "text/messages.hpp"

#include <cerrno>
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

} // namespace osc
