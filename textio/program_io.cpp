#include "textio/program_io.hpp"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace textio {

int answer_arguments(int argc, char **argv, const char *program, const char *usage)
{
    if (argc <= 1) return -1;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument != "--version") {
            std::cerr << program << ": argumento desconhecido '" << argument << "' (veja "
                      << program << " --help)" << std::endl;
            return 2;
        }
    }
    if (help) std::cout << usage << std::flush;
    else std::cout << program << ' ' << OSC_VERSION << std::endl;
    return 0;
}

std::string text(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

std::string reason(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return "permissão negada";
    case EROFS: return "sistema de ficheiros só de leitura";
    case ENOSPC: return "não há espaço livre no dispositivo";
    case EDQUOT: return "quota de disco excedida";
    case EISDIR: return "é um diretório";
    case ENOENT: return "ficheiro ou diretório inexistente";
    case ENOTDIR: return "parte do caminho não é um diretório";
    case 0: return "erro desconhecido";
    default: return std::strerror(error);
    }
}

int refuse_file(const char *program, const char *doing, const char *file, int error)
{
    return refuse(program, std::string(doing) + ' ' + file + ": " + reason(error));
}

int refuse(const char *program, const std::string &message)
{
    std::cerr << program << ": " << message << std::endl;
    return 1;
}

void warn(const char *program, const std::string &message)
{
    std::cerr << program << ": aviso: " << message << std::endl;
}

int writable_error(const char *file)
{
    int fd = ::open(file, O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return 0;
    }
    if (errno != ENOENT) return errno;
    // Not there yet: create it to see that it can be, and take it away again.
    fd = ::open(file, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? 0 : errno; // EEXIST: a link to a file yet to come
    ::close(fd);
    ::unlink(file);
    return 0;
}

bool open_to_read(std::ifstream &in, const char *program, const char *file)
{
    // The stream would open a directory and then find nothing in it; ask the system first.
    int error = 0;
    const int fd = ::open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
    } else {
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) error = EISDIR;
        ::close(fd);
    }
    if (error == 0) {
        errno = 0;
        in.open(file);
        if (in) return true;
        error = errno;
    }
    refuse_file(program, "não foi possível abrir", file, error);
    return false;
}

bool open_to_write(std::ofstream &out, const char *program, const char *file)
{
    errno = 0;
    out.open(file);
    if (out) return true;
    refuse_file(program, "não foi possível criar", file, errno);
    return false;
}

namespace {

// The token extracted as the stream extracts a number; it is whole when the extraction
// stopped at the token's end.
template <typename Number>
Reading read_whole_as(const std::string &token, Number &value, std::size_t &used)
{
    std::istringstream in(token);
    in >> value;
    if (in.fail()) {
        used = 0;
        return Reading::unreadable;
    }
    if (in.eof()) {
        used = token.size();
        return Reading::whole;
    }
    used = static_cast<std::size_t>(in.tellg());
    return Reading::partial;
}

// The stream leaves the largest value of the type in place of one beyond its range.
bool beyond_range(double value) { return std::fabs(value) == DBL_MAX; }
bool beyond_range(int value) { return value == INT_MAX || value == INT_MIN; }

const char *expected(double /*unused*/) { return "um número (como 0.4 ou 1e-3)"; }
const char *expected(int /*unused*/) { return "um número inteiro"; }

const char *range(double /*unused*/) { return "o valor está fora do alcance de um double"; }
const char *range(int /*unused*/) { return "o valor está fora do alcance de um int"; }

template <typename Number>
bool read_number_as(std::istream &in, Number &value, const char *program, const char *what,
                    const char *source)
{
    const std::string where = source == nullptr ? "" : std::string(" em ") + source;
    std::string token;
    if (!(in >> token)) {
        const char *const ended = source == nullptr ? " (a entrada terminou)" : " (o ficheiro terminou)";
        refuse(program, "falta o valor de " + std::string(what) + where + ended);
        return false;
    }
    std::size_t used = 0;
    const Reading reading = read_whole(token, value, used);
    if (reading == Reading::whole) return true;

    std::string why = "\"" + token + "\" não serve para " + what + where + ": esperado " +
                      expected(value);
    if (token.find(',') != std::string::npos) why += "; use ponto decimal, não vírgula";
    else if (reading == Reading::partial) why += "; só \"" + token.substr(0, used) + "\" se lê";
    else if (beyond_range(value)) why += std::string("; ") + range(value);
    refuse(program, why);
    return false;
}

} // namespace

Reading read_whole(const std::string &token, double &value, std::size_t &used)
{
    return read_whole_as(token, value, used);
}

Reading read_whole(const std::string &token, int &value, std::size_t &used)
{
    return read_whole_as(token, value, used);
}

bool read_number(std::istream &in, double &value, const char *program, const char *what,
                 const char *source)
{
    return read_number_as(in, value, program, what, source);
}

bool read_number(std::istream &in, int &value, const char *program, const char *what,
                 const char *source)
{
    return read_number_as(in, value, program, what, source);
}

bool read_choice(std::istream &in, int &choice)
{
    std::string token;
    std::size_t used = 0;
    return (in >> token) && read_whole(token, choice, used) == Reading::whole;
}

} // namespace textio
