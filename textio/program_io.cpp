#include "textio/program_io.hpp"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
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
            std::cerr << program << ": argumento desconhecido '" << escaped(argument)
                      << "' (veja " << program << " --help)" << std::endl;
            return 2;
        }
    }
    errno = 0;
    if (help) std::cout << usage << std::flush;
    else std::cout << program << ' ' << OSC_VERSION << std::endl;
    if (!std::cout) return refuse(program, "não é possível escrever na saída padrão: " + reason(errno));
    return 0;
}

std::string escaped(const std::string &raw)
{
    // Walks the UTF-8 sequences: printable characters stay, the first `shown` of them; control
    // characters (C0, DEL, C1) and bytes that are not UTF-8 are written \xNN.
    constexpr std::size_t shown = 40;
    std::string out;
    std::size_t characters = 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(raw[i]); };
    for (std::size_t i = 0; i < raw.size(); ++characters) {
        if (characters == shown) return out + "…";
        const unsigned char lead = byte(i);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0             ? 3
                             : lead >= 0xF0 && lead < 0xF5             ? 4
                                                                       : 0;
        for (std::size_t k = 1; k < length; ++k)
            if (i + k >= raw.size() || (byte(i + k) & 0xC0U) != 0x80U) length = 0;
        const bool control = lead < 0x20 || lead == 0x7F || (lead == 0xC2 && length == 2 && byte(i + 1) < 0xA0);
        if (length == 0 || control) {
            const std::size_t bytes = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < bytes; ++k) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", byte(i + k));
                out += hex;
            }
            i += bytes;
        } else {
            out.append(raw, i, length);
            i += length;
        }
    }
    return out;
}

std::string quoted(const std::string &raw) { return "\"" + escaped(raw) + "\""; }

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
    case EMFILE:
    case ENFILE: return "demasiados ficheiros abertos";
    case EFBIG: return "o ficheiro excede o tamanho máximo permitido";
    case EIO: return "erro de entrada/saída no dispositivo";
    case ELOOP: return "demasiadas ligações simbólicas encadeadas";
    case ENAMETOOLONG: return "nome demasiado longo";
    case ENXIO: return "dispositivo inexistente";
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
        if (in) {
            // Some editors begin a UTF-8 text with a byte-order mark; it is not part of the
            // first number.
            char mark[3] = {};
            if (!in.read(mark, 3) || std::string(mark, 3) != "\xEF\xBB\xBF") {
                in.clear();
                in.seekg(0);
            }
            return true;
        }
        error = errno;
    }
    refuse_file(program, "não é possível ler", file, error);
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

    std::string why = quoted(token) + " não serve para " + what + where + ": esperado " +
                      expected(value);
    if (token.find(',') != std::string::npos) why += "; use ponto decimal, não vírgula";
    else if (reading == Reading::partial) why += "; só " + quoted(token.substr(0, used)) + " se lê";
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

bool read_choice(std::istream &in, int &choice, std::string *answer)
{
    std::string token;
    std::size_t used = 0;
    const bool read = (in >> token) && read_whole(token, choice, used) == Reading::whole;
    if (answer != nullptr) *answer = token;
    return read;
}

} // namespace textio
