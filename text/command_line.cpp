#include "text/command_line.hpp"

#include "text/messages.hpp"

#include <cerrno>
#include <iostream>
#include <string>

namespace osc {

const char *version() { return OSC_VERSION; }

int answer_arguments(int argc, char **argv, const char *program, const char *usage)
{
    if (argc <= 1) return -1;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument != "--version") {
            std::cerr << program << ": argumento desconhecido '" << escaped(argument)
                      << "' (veja " << program << " --help)" << std::endl;
            return 2;
        }
    }
    errno = 0;
    if (help) std::cout << usage << std::flush;
    else std::cout << program << ' ' << version() << std::endl;
    if (!std::cout) return refuse_standard_output(program, errno);
    return 0;
}

} // namespace osc
